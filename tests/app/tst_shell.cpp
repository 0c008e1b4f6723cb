// The shell's pieces in this process, on a QWinApplication as in the program:
// log lines of two threads, the restore channel, the desktop entry, autostart.

#include "app/logging.h"
#include "app/qwinapplication.h"
#include "app/restorechannel.h"
#include "app/startup.h"

#include <QLocalSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList readLines(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class Shell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        QVERIFY(QDir::setCurrent(m_runtime.path()));   // where the log file goes
    }

    // Two threads write at once, one through a category: every line of the
    // minute's file is whole, in the fixed format.
    void logLinesStayWholeAcrossThreads()
    {
        const QString minute = logging::logFileName(QDateTime::currentDateTime());
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        const int savedErr = ::dup(2);   // the standard-error copies go nowhere
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::close(null);
        const bool installed = logging::setUp();
        const QString payload(300, 'x');
        std::thread a([&] {
            for (int i = 0; i < 20000; ++i)
                qCDebug(lcApp, "A %d %s", i, qPrintable(payload));
        });
        for (int i = 0; i < 20000; ++i)
            qWarning("B %d %s", i, qPrintable(payload));
        a.join();
        logging::tearDown();
        qInstallMessageHandler(testHandler);
        ::dup2(savedErr, 2);
        ::close(savedErr);
        QVERIFY(installed);

        const QStringList files = QDir("logs").entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0] == minute || files[0] == logging::logFileName(QDateTime::currentDateTime()));
        const QStringList lines = readLines("logs/" + files[0]);
        QCOMPARE(lines.size(), 40000);
        const QRegularExpression whole("^\\d\\d\\.\\d\\d\\.\\d\\d\\.\\d{3} (Debug: A|Warning: B) \\d+ x{300}$");
        for (const QString& line : lines)
            QVERIFY2(whole.match(line).hasMatch(), qPrintable(line.left(80)));
    }

    // A later server leaves a live instance's channel alone (tst_startup: a killed one's is replaced).
    void aLiveInstancesChannelIsLeftAlone()
    {
        const QString name = m_runtime.filePath("restore.sock");
        RestoreServer live(name);
        QVERIFY(live.isListening() && !RestoreServer(name).isListening());
        QLocalSocket probe;
        probe.connectToServer(name);
        QVERIFY(probe.waitForConnected(10000));
    }

    // Docks and task switchers group the window with the desktop entry of this name.
    void desktopEntryNamed()
    {
        QVERIFY(QFile::exists(KESTRIX_PACKAGING_DIR "/" + QGuiApplication::desktopFileName() + ".desktop.in"));
    }

    // What an entry found at the start reads as; switching on writes the
    // program's command, quoted and escaped, switching off removes the entry.
    void autostartEntry_data()
    {
        const QString opt = "/opt/kestrix/kestrix";
        const QString spaced = "/home/a b/Kestrix Apps/kestrix";
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("existing");   // the lines after [Desktop Entry]
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("exec");       // the Exec value afterwards
        QTest::newRow("none") << opt << QString() << false << "\"/opt/kestrix/kestrix\" -a";
        QTest::newRow("spaces") << spaced << QString() << false << "\"/home/a b/Kestrix Apps/kestrix\" -a";
        QTest::newRow("reserved") << "/tmp/it's $5 \"50%\" \\x/k" << QString() << false
                                  << "\"/tmp/it's \\\\$5 \\\\\"50%%\\\\\" \\\\\\\\x/k\" -a";
        QTest::newRow("unquoted") << opt << "Exec=/opt/kestrix/kestrix -a" << true << "/opt/kestrix/kestrix -a";
        QTest::newRow("spaces unquoted") << spaced << "Exec=" + spaced + " -a" << false << "\"/home/a b/Kestrix Apps/kestrix\" -a";
        QTest::newRow("without -a") << opt << "Exec=" + opt << false << "\"/opt/kestrix/kestrix\" -a";
        QTest::newRow("other path") << opt << "Exec=/usr/bin/kestrix -a" << false << "\"/opt/kestrix/kestrix\" -a";
        QTest::newRow("other options") << opt << "Exec=" + opt + " -a -d" << false << "\"/opt/kestrix/kestrix\" -a";
        QTest::newRow("hidden") << opt << "Exec=" + opt + " -a\nHidden=true" << false << "\"/opt/kestrix/kestrix\" -a";
        QTest::newRow("GNOME disabled") << opt << "Exec=" + opt + " -a\nX-GNOME-Autostart-enabled=false" << false
                                        << "\"/opt/kestrix/kestrix\" -a";
    }
    void autostartEntry()
    {
        QFETCH(QString, program);
        QFETCH(QString, existing);
        QFETCH(bool, on);
        QFETCH(QString, exec);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString entry = config.filePath("autostart/Kestrix.desktop");
        QDir(config.path()).mkpath("autostart");
        QFile file(entry);
        if (!existing.isNull() && file.open(QIODevice::WriteOnly))
            file.write("[Desktop Entry]\nType=Application\n" + existing.toUtf8() + '\n');
        file.close();

        StartUp startUp(program, nullptr);
        QCOMPARE(startUp.enable(), on);
        startUp.setEnable(true);
        QCOMPARE(readLines(entry).filter(QRegularExpression("^Exec=")), QStringList{"Exec=" + exec});
        QVERIFY(StartUp(program, nullptr).enable());
        startUp.setEnable(false);
        QVERIFY(!QFileInfo::exists(entry) && !StartUp(program, nullptr).enable());
    }

private:
    QTemporaryDir m_runtime;
};

int main(int argc, char* argv[])
{
    QWinApplication app(argc, argv);
    Shell shell;
    return QTest::qExec(&shell, argc, argv);
}

#include "tst_shell.moc"
