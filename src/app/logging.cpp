#include "app/logging.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTextStream>

#include <cstdio>
#include <memory>

Q_LOGGING_CATEGORY(lcApp, "kestrix.app")

namespace logging {
namespace {

// The process-wide log file and the lock that keeps each line whole when two
// threads write at once.
QMutex& lineLock()
{
    static QMutex lock;
    return lock;
}

std::unique_ptr<QFile>& logFile()
{
    static std::unique_ptr<QFile> file;
    return file;
}

} // namespace

QString logFileName(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM-dd__hh-mm")) + QStringLiteral(".log");
}

QString formatLine(QtMsgType type, const QTime& time, const QString& text)
{
    const QString stamp = time.toString(QStringLiteral("hh.mm.ss.zzz"));
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("%1 Debug: %2").arg(stamp, text);
    case QtWarningMsg:
        return QStringLiteral("%1 Warning: %2").arg(stamp, text);
    case QtCriticalMsg:
        return QStringLiteral("%1 Critical: %2").arg(stamp, text);
    case QtFatalMsg:
        return QStringLiteral("%1 Fatal: %2").arg(stamp, text);
    default:
        return QStringLiteral("%1 Unknown: %2").arg(stamp, text);
    }
}

void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const QString line = formatLine(type, QTime::currentTime(), text);
    QMutexLocker lock(&lineLock());
    QFile* file = logFile().get();
    if (file != nullptr && file->isOpen() && file->isWritable()) {
        QTextStream stream(file);
        stream.setCodec("System");
        stream << line << '\n';
        stream.flush();
    }
    const QByteArray latin = line.toLatin1() + '\n';
    std::fwrite(latin.constData(), 1, static_cast<std::size_t>(latin.size()), stderr);
    std::fflush(stderr);
}

bool setUp()
{
    const QDir working = QDir::current();
    working.mkpath(QStringLiteral("logs"));
    const QString path = working.absoluteFilePath(QStringLiteral("logs/") + logFileName(QDateTime::currentDateTime()));
    {
        QMutexLocker lock(&lineLock());
        logFile() = std::make_unique<QFile>(path);
        if (!logFile()->open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
    }
    qInstallMessageHandler(messageHandler);
    return true;
}

void tearDown()
{
    QMutexLocker lock(&lineLock());
    logFile().reset();
}

} // namespace logging
