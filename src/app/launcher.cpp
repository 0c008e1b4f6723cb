#include "app/launcher.h"

#include "app/logging.h"

Launcher::Launcher(QObject* parent) : QObject(parent), m_process(new QProcess(this)) {}

Launcher::~Launcher() = default;

QString Launcher::launch(QString command)
{
    qCDebug(lcApp) << "Launcher::launch execute command " << command;
    QStringList arguments = QProcess::splitCommand(command);
    if (!arguments.isEmpty()) {
        const QString program = arguments.takeFirst();
        QProcess::startDetached(program, arguments);
    }
    const QString output = QString::fromLocal8Bit(m_process->readAllStandardOutput());
    qCDebug(lcApp) << "Launcher::launch output " << output;
    return output;
}
