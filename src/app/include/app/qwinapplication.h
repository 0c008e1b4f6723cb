#pragma once

#include <QApplication>
#include <QString>

#include <memory>

class NativeEventFilter;
class RestoreServer;

/// The application object: watches the native message stream (and the
/// restore channel) for the restore message of a second start and turns it
/// into restoreWindow().
class QWinApplication : public QApplication {
    Q_OBJECT

public:
    /// The restore message number: the first private window message plus 2.
    static constexpr quint32 kRestoreMessage = 1026;

    QWinApplication(int& argc, char** argv);
    ~QWinApplication() override;

    /// Starts listening on the restore channel @p name.
    void listenForRestore(const QString& name);

    NativeEventFilter* nativeFilter() const { return m_filter.get(); }

signals:
    void restoreWindow();

private:
    std::unique_ptr<NativeEventFilter> m_filter;
    std::unique_ptr<RestoreServer> m_restoreServer;
};
