#pragma once

#include <QApplication>
#include <QString>

#include <memory>

class NativeEventFilter;
class RestoreServer;

/// The application object: scales with the desktop, names the program's icon
/// and desktop entry, and hands the restore message of a second start to its
/// NativeEventFilter, which turns it into restoreWindow().
/// On Linux only the restore channel feeds it: no native event carries that message here.
class QWinApplication : public QApplication {
    Q_OBJECT

public:
    /// The restore message number: the first private window message plus 2.
    static constexpr quint32 kRestoreMessage = 1026;

    QWinApplication(int& argc, char** argv);
    ~QWinApplication() override;

    /// Starts listening on the restore channel @p name; what arrives there
    /// goes to the filter.
    void listenForRestore(const QString& name);

    NativeEventFilter* nativeFilter() const { return m_filter.get(); }

signals:
    void restoreWindow();

private:
    std::unique_ptr<NativeEventFilter> m_filter;
    std::unique_ptr<RestoreServer> m_restoreServer;
};
