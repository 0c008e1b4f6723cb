#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

/// The layout of a native window message as the "windows_generic_MSG" event
/// type delivers it (window handle, message number, two parameters, time,
/// cursor position).
struct NativeWindowMessage {
    void* window = nullptr;
    quint32 message = 0;
    quintptr wParam = 0;
    qintptr lParam = 0;
    quint32 time = 0;
    qint32 pointX = 0;
    qint32 pointY = 0;
};

/// Watches the native message stream for the restore message a second start
/// sends, and turns it into restoreWindow().
/// On Linux only the restore channel feeds it, through handleMessage(): no native event has that type here.
class NativeEventFilter : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit NativeEventFilter(QObject* parent = nullptr);
    ~NativeEventFilter() override;

    quint32 restoreMessage() const { return m_restoreMessage; }
    void setRestoreMessage(quint32 message) { m_restoreMessage = message; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

    /// What the restore message does, wherever it arrives from: one debug
    /// line and restoreWindow(). Returns false for any other message number.
    bool handleMessage(quint32 message);

signals:
    void restoreWindow();

private:
    quint32 m_restoreMessage = 0;
};
