#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace {

// A string value of a desktop entry: backslashes, line ends and tabs escaped.
QString escapeString(QString text)
{
    return text.replace('\\', QLatin1String("\\\\"))
        .replace('\n', QLatin1String("\\n"))
        .replace('\t', QLatin1String("\\t"))
        .replace('\r', QLatin1String("\\r"));
}

// What a string value stands for (also \s, a space).
QString unescapeString(const QString& text)
{
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const QChar next = text[++i];
        plain += next == 's' ? QChar(' ') : next == 'n' ? QChar('\n') : next == 't' ? QChar('\t')
                                          : next == 'r' ? QChar('\r') : next;
    }
    return plain;
}

// The Exec value that starts @p program hidden.
QString execValue(const QString& program)
{
    // Quoted whole, so that spaces and the other reserved characters are
    // safe; inside the quotes ", `, $ and \ take a backslash; a literal %
    // is written %%. Then the whole value is escaped as any string value.
    QString quoted = program;
    for (const char* reserved : {"\\", "\"", "`", "$"})
        quoted.replace(QLatin1String(reserved), QLatin1Char('\\') + QLatin1String(reserved));
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    return escapeString(QLatin1Char('"') + quoted + QLatin1Char('"')) + QStringLiteral(" -a");
}

// The arguments an Exec value stands for; none when it is malformed.
QStringList execArguments(const QString& value)
{
    const QString text = unescapeString(value);
    QStringList arguments;
    QString argument;
    bool started = false;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            argument += text[++i];
        } else if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
            if (started)
                arguments << argument.replace(QLatin1String("%%"), QLatin1String("%"));
            argument.clear();
            started = false;
        } else {
            argument += c;
            started = true;
        }
    }
    if (quoted)
        return {};
    if (started)
        arguments << argument.replace(QLatin1String("%%"), QLatin1String("%"));
    return arguments;
}

} // namespace

StartUp::StartUp(QObject* parent) : StartUp(QCoreApplication::applicationFilePath(), parent) {}

StartUp::StartUp(const QString& program, QObject* parent)
    : QObject(parent), m_program(program), m_entryPath(entryPath())
{
    m_enabled = readEntry();
}

StartUp::~StartUp() = default;

QString StartUp::entryPath()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/Kestrix.desktop");
}

bool StartUp::readEntry() const
{
    QFile file(m_entryPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    bool inEntry = false;
    bool disabled = false;
    QStringList arguments;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Exec"))
            arguments = execArguments(value);
        else if (key == QLatin1String("Hidden"))
            disabled |= value == QLatin1String("true");
        else if (key == QLatin1String("X-GNOME-Autostart-enabled"))
            disabled |= value == QLatin1String("false");
    }
    return !disabled && arguments == QStringList{m_program, QStringLiteral("-a")};
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
                   << "Exec=" << execValue(m_program) << "\n"
                   // Started from its own folder, the program finds its translations.
                   << "Path=" << escapeString(QFileInfo(m_program).absolutePath()) << "\n"
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
