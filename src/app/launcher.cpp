#include "app/launcher.h"

#include <QDebug>

Launcher::Launcher(QObject* parent) : QObject(parent), m_process(new QProcess(this)) {}

Launcher::~Launcher() = default;

QString Launcher::launch(QString command)
{
    qDebug() << "Launcher::launch execute command " << command;
    QStringList arguments = QProcess::splitCommand(command);
    if (!arguments.isEmpty()) {
        const QString program = arguments.takeFirst();
        QProcess::startDetached(program, arguments);
    }
    const QString output = QString::fromLocal8Bit(m_process->readAllStandardOutput());
    qDebug() << "Launcher::launch output " << output;
    return output;
}
