#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

/// Ends the event loop cleanly when the process is asked to stop: SIGTERM
/// (a session that logs out, systemd, kill), SIGINT (Ctrl+C in a terminal)
/// and SIGHUP (the terminal closed). The signal handler only writes the
/// signal's number into a socket pair; the event loop reads it and quits,
/// so the program tears down as after its own Quit: the link unregisters and
/// the single-instance guard releases its shared memory and semaphore, which
/// would otherwise stay behind in the system.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    /// False when the socket pair or a handler could not be set up.
    bool isActive() const { return m_notifier != nullptr; }

private:
    void readSignal();

    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
