#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

/// Starts an external command (the downloaded installer) as a detached process.
class Launcher : public QObject {
    Q_OBJECT

public:
    explicit Launcher(QObject* parent = nullptr);
    ~Launcher() override;

    /// Starts @p command, split by the usual rules for one command string;
    /// does not wait. Returns the (always empty) output of its own process object.
    Q_INVOKABLE QString launch(QString command);

private:
    QProcess* m_process;   // a child of the launcher
};
