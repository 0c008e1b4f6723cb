#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

StartUp::StartUp(QObject* parent) : QObject(parent), m_entryPath(entryPath())
{
    m_enabled = readExecValue(m_entryPath) == expectedCommand();
}

StartUp::~StartUp() = default;

QString StartUp::entryPath()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/Kestrix.desktop");
}

QString StartUp::expectedCommand()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath()) + QStringLiteral(" -a");
}

QString StartUp::readExecValue(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    bool inEntry = false;
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line.trimmed() == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return QString();
}

void StartUp::setEnable(bool enable)
{
    if (enable == m_enabled)
        return;
    if (enable) {
        QDir().mkpath(QFileInfo(m_entryPath).absolutePath());
        QSaveFile file(m_entryPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            QTextStream stream(&file);
            stream.setCodec("UTF-8");
            stream << "[Desktop Entry]\n"
                   << "Type=Application\n"
                   << "Name=Kestrix Command Center\n"
                   << "Comment=Starts the Kestrix Command Center in the tray and switches stream control on\n"
                   << "Exec=" << expectedCommand() << "\n"
                   // Started from its own folder, the program finds its translations.
                   << "Path=" << QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) << "\n"
                   << "Icon=kestrix\n"
                   << "Terminal=false\n"
                   << "X-GNOME-Autostart-enabled=true\n";
            stream.flush();
            file.commit();
        }
    } else {
        QFile::remove(m_entryPath);
    }
    // Like the registry it stands for: a failed write is not reported.
    m_enabled = enable;
    emit enableChanged(enable);
}
