// The command line of kestrix-service: defaults, what each option sets,
// and the messages for what it refuses.

#include "options.h"

#include <QtTest>

#include <deque>
#include <string>
#include <vector>

using demo::Options;

namespace {

const char kProgram[] = "kestrix-service";

// Every field, so that a comparison shows exactly what differs.
QString describe(const Options& o)
{
    return QStringList{
            QString("demo=%1").arg(o.demo),
            QString("seed=%1").arg(qulonglong(o.seed)),
            QString("apps=%1").arg(o.apps),
            QString("sites=%1").arg(o.sites),
            QString("churn=%1").arg(o.churn),
            QString("nicState=%1").arg(o.nicState),
            QString("vendor=%1").arg(o.vendor),
            QString("fakeAdapter=%1").arg(o.fakeAdapter),
            QString("stallHeartbeatAfter=%1").arg(o.stallHeartbeatAfter),
            QString("offerUpdate=%1").arg(o.offerUpdate),
            QString("failUpdate=%1").arg(o.failUpdate),
            QString("downloadSeconds=%1").arg(o.downloadSeconds),
            QString("downLimit=%1").arg(o.downLimit),
            QString("upLimit=%1").arg(o.upLimit),
            QString("active=%1").arg(o.active),
            QString("heartbeatMs=%1").arg(o.heartbeatMs),
            QString("tickMs=%1").arg(o.tickMs),
            QString("iconDirectory=%1").arg(QString::fromStdString(o.iconDirectory)),
            QString("mode=%1").arg(o.mode, 0, 8),
            QString("cleanup=%1").arg(o.cleanup),
            QString("help=%1").arg(o.help),
    }.join(' ');
}

struct Parsed {
    bool ok = false;
    Options options;
    QString error;
};

// getopt keeps pointers into the argument vector it last saw, so every
// vector handed to parseOptions stays alive until the test ends.
std::vector<char*> argumentVector(const QStringList& arguments)
{
    static std::deque<std::vector<std::string>> kept;
    std::vector<std::string> strings{kProgram};
    for (const QString& argument : arguments)
        strings.push_back(argument.toStdString());
    kept.push_back(std::move(strings));
    std::vector<char*> pointers;
    for (std::string& text : kept.back())
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

Parsed parse(const QStringList& arguments)
{
    std::vector<char*> argv = argumentVector(arguments);
    Parsed parsed;
    std::string error;
    parsed.ok = demo::parseOptions(int(argv.size() - 1), argv.data(), parsed.options, error);
    parsed.error = QString::fromStdString(error);
    return parsed;
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        const Parsed parsed = parse({});
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        QVERIFY(parsed.error.isEmpty());
        const Options& o = parsed.options;
        // The defaults the help text promises.
        QVERIFY(o.demo);
        QCOMPARE(o.seed, std::uint64_t(1));
        QCOMPARE(o.apps, 24);
        QCOMPARE(o.sites, 8);
        QVERIFY(!o.churn);
        QVERIFY(o.nicState < 0);   // from the host
        QVERIFY(o.vendor < 0);
        QVERIFY(!o.fakeAdapter);
        QCOMPARE(o.downLimit, 80000u);
        QCOMPARE(o.upLimit, 20000u);
        QVERIFY(o.active);
        QVERIFY(o.offerUpdate < 0);   // no update on offer
        QVERIFY(!o.failUpdate);
        QCOMPARE(o.downloadSeconds, 4.0);
        QVERIFY(o.stallHeartbeatAfter < 0);   // never
        QCOMPARE(o.heartbeatMs, 100);
        QCOMPARE(o.tickMs, 1000);
        QVERIFY(o.iconDirectory.empty());
        QCOMPARE(o.mode, 0600u);
        QVERIFY(!o.cleanup);
        QVERIFY(!o.help);
    }

    void eachOptionTakesEffect_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const QStringList& arguments, auto change) {
            Options options;
            change(options);
            QTest::newRow(name) << arguments << describe(options);
        };
        row("--demo", {"--no-demo", "--demo"}, [](Options&) {});
        row("--no-demo", {"--no-demo"}, [](Options& o) { o.demo = false; });
        row("--seed", {"--seed", "123456789012"}, [](Options& o) { o.seed = 123456789012ull; });
        row("--seed=", {"--seed=77"}, [](Options& o) { o.seed = 77; });
        row("--seed 0", {"--seed", "0"}, [](Options& o) { o.seed = 0; });
        row("--apps", {"--apps", "1000"}, [](Options& o) { o.apps = 1000; });
        row("--apps 0", {"--apps", "0"}, [](Options& o) { o.apps = 0; });
        row("--sites", {"--sites", "200"}, [](Options& o) { o.sites = 200; });
        row("--churn", {"--churn"}, [](Options& o) { o.churn = true; });
        row("--nic-state", {"--nic-state", "3"}, [](Options& o) { o.nicState = 3; });
        row("--nic-state 0", {"--nic-state", "0"}, [](Options& o) { o.nicState = 0; });
        row("--vendor", {"--vendor", "11"}, [](Options& o) { o.vendor = 11; });
        row("--fake-adapter", {"--fake-adapter"}, [](Options& o) { o.fakeAdapter = true; });
        row("--down-limit", {"--down-limit", "0"}, [](Options& o) { o.downLimit = 0; });
        row("--down-limit max", {"--down-limit", "4294967295"}, [](Options& o) { o.downLimit = 4294967295u; });
        row("--up-limit", {"--up-limit", "1500"}, [](Options& o) { o.upLimit = 1500; });
        row("--inactive", {"--inactive"}, [](Options& o) { o.active = false; });
        row("--offer-update", {"--offer-update", "2.5"}, [](Options& o) { o.offerUpdate = 2.5; });
        row("--offer-update 0", {"--offer-update", "0"}, [](Options& o) { o.offerUpdate = 0; });
        row("--fail-update", {"--fail-update"}, [](Options& o) { o.failUpdate = true; });
        row("--download-seconds", {"--download-seconds", "0.5"}, [](Options& o) { o.downloadSeconds = 0.5; });
        row("--stall-heartbeat-after", {"--stall-heartbeat-after", "3"},
            [](Options& o) { o.stallHeartbeatAfter = 3; });
        row("--heartbeat-ms", {"--heartbeat-ms", "50"}, [](Options& o) { o.heartbeatMs = 50; });
        row("--tick-ms", {"--tick-ms", "250"}, [](Options& o) { o.tickMs = 250; });
        row("--icon-dir", {"--icon-dir", "some folder/icons"},
            [](Options& o) { o.iconDirectory = "some folder/icons"; });
        row("--mode", {"--mode", "0660"}, [](Options& o) { o.mode = 0660; });
        row("--mode without 0", {"--mode", "640"}, [](Options& o) { o.mode = 0640; });
        row("--cleanup", {"--cleanup"}, [](Options& o) { o.cleanup = true; });
        row("--help", {"--help"}, [](Options& o) { o.help = true; });
        row("-h", {"-h"}, [](Options& o) { o.help = true; });
        row("several", {"--no-demo", "--seed", "5", "--churn", "--tick-ms=20", "--inactive"},
            [](Options& o) {
                o.demo = false;
                o.seed = 5;
                o.churn = true;
                o.tickMs = 20;
                o.active = false;
            });
        row("last one wins", {"--apps", "5", "--apps", "6"}, [](Options& o) { o.apps = 6; });
    }

    void eachOptionTakesEffect()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        const Parsed parsed = parse(arguments);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        QCOMPARE(describe(parsed.options), expected);
    }

    void badNumbersNameTheOption_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::newRow("seed: letters") << "seed" << "abc";
        QTest::newRow("seed: negative") << "seed" << "-1";
        QTest::newRow("seed: trailing text") << "seed" << "12x";
        QTest::newRow("seed: empty") << "seed" << "";
        QTest::newRow("seed: infinite") << "seed" << "inf";
        QTest::newRow("apps: too many") << "apps" << "100001";
        QTest::newRow("apps: negative") << "apps" << "-3";
        QTest::newRow("sites: too many") << "sites" << "1e9";
        QTest::newRow("nic-state: letters") << "nic-state" << "ready";
        QTest::newRow("vendor: negative") << "vendor" << "-1";
        QTest::newRow("down-limit: beyond 32 bits") << "down-limit" << "4294967296";
        QTest::newRow("up-limit: comma") << "up-limit" << "1,5";
        QTest::newRow("offer-update: negative") << "offer-update" << "-1";
        QTest::newRow("download-seconds: over an hour") << "download-seconds" << "3601";
        QTest::newRow("stall-heartbeat-after: nan") << "stall-heartbeat-after" << "nan";
        QTest::newRow("heartbeat-ms: zero") << "heartbeat-ms" << "0";
        QTest::newRow("tick-ms: too fast") << "tick-ms" << "5";
    }

    void badNumbersNameTheOption()
    {
        QFETCH(QString, option);
        QFETCH(QString, value);
        const Parsed parsed = parse({"--" + option, value});
        QVERIFY(!parsed.ok);
        QVERIFY2(parsed.error.contains("--" + option), qPrintable(parsed.error));
        if (!value.isEmpty())
            QVERIFY2(parsed.error.contains(value), qPrintable(parsed.error));
        // The same with the value attached.
        const Parsed attached = parse({"--" + option + "=" + value});
        QVERIFY(!attached.ok);
        QVERIFY2(attached.error.contains("--" + option), qPrintable(attached.error));
    }

    void codesBeyondTheFieldAreNotMisread_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::newRow("nic-state 3000000000") << "nic-state" << "3000000000";
        QTest::newRow("vendor 4294967295") << "vendor" << "4294967295";
    }

    void codesBeyondTheFieldAreNotMisread()
    {
        // The override is kept in an int where -1 means "from the host": a
        // code the int cannot hold must be refused, not turned into another.
        QFETCH(QString, option);
        QFETCH(QString, value);
        const Parsed parsed = parse({"--" + option, value});
        if (parsed.ok) {
            const qint64 stored = option == "nic-state" ? parsed.options.nicState : parsed.options.vendor;
            QCOMPARE(stored, value.toLongLong());
        } else {
            QVERIFY2(parsed.error.contains("--" + option), qPrintable(parsed.error));
        }
    }

    void unknownOptionsAreNamed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        QTest::newRow("long") << QStringList{"--bogus"} << "--bogus";
        QTest::newRow("long with value") << QStringList{"--bogus=1"} << "--bogus";
        QTest::newRow("after good ones") << QStringList{"--churn", "--seed", "3", "--frobnicate"}
                                         << "--frobnicate";
        QTest::newRow("short") << QStringList{"-x"} << "-x";
        QTest::newRow("ambiguous prefix") << QStringList{"--d"} << "--d";
        QTest::newRow("value missing") << QStringList{"--seed"} << "--seed";
        QTest::newRow("switch given a value") << QStringList{"--churn=yes"} << "--churn";
    }

    void unknownOptionsAreNamed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const Parsed parsed = parse(arguments);
        QVERIFY(!parsed.ok);
        QVERIFY2(parsed.error.contains(named), qPrintable(parsed.error));
    }

    void unknownOptionInAShortGroupIsNamed()
    {
        const Parsed grouped = parse({"-xh"});
        // A complete parse, so that getopt is not left inside the group for
        // the tests that follow, whatever the checks below find.
        parse({"--churn"});
        QVERIFY(!grouped.ok);
        QVERIFY2(grouped.error.contains("-x"), qPrintable(grouped.error));
        QVERIFY2(!grouped.error.contains(kProgram), qPrintable(grouped.error));
    }

    void parsingStartsAfreshAfterAnAbortedGroup()
    {
        // The first parse stops at the unknown "x" with "h" still to come;
        // the next one must not pick that "h" up, nor skip its own first
        // argument.
        const Parsed grouped = parse({"-xh"});
        const Parsed next = parse({"--churn"});
        QVERIFY(!grouped.ok);
        QVERIFY2(next.ok, qPrintable(next.error));
        QVERIFY(next.options.churn);
        QVERIFY(!next.options.help);
    }

    void strayArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        QTest::newRow("alone") << QStringList{"extra"} << "extra";
        QTest::newRow("after options") << QStringList{"--churn", "extra"} << "extra";
        QTest::newRow("before options") << QStringList{"extra", "--churn"} << "extra";
        QTest::newRow("after --") << QStringList{"--churn", "--", "--seed"} << "--seed";
    }

    void strayArgumentsAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const Parsed parsed = parse(arguments);
        QVERIFY(!parsed.ok);
        QVERIFY2(parsed.error.contains(named), qPrintable(parsed.error));
    }

    void modeMustNotLetOthersWrite_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<uint>("mode");
        QTest::newRow("0660") << "0660" << true << 0660u;
        QTest::newRow("0600") << "0600" << true << 0600u;
        QTest::newRow("0664, others read") << "0664" << true << 0664u;
        QTest::newRow("0") << "0" << true << 0u;
        QTest::newRow("0666") << "0666" << false << 0u;
        QTest::newRow("0602") << "0602" << false << 0u;
        QTest::newRow("0777") << "0777" << false << 0u;
        QTest::newRow("1660, beyond permissions") << "1660" << false << 0u;
        QTest::newRow("0680, not octal") << "0680" << false << 0u;
        QTest::newRow("rw") << "rw" << false << 0u;
        QTest::newRow("empty") << "" << false << 0u;
        QTest::newRow("negative") << "-1" << false << 0u;
    }

    void modeMustNotLetOthersWrite()
    {
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        QFETCH(uint, mode);
        const Parsed parsed = parse({"--mode", value});
        QCOMPARE(parsed.ok, accepted);
        if (accepted) {
            QCOMPARE(parsed.options.mode, unsigned(mode));
        } else {
            QVERIFY2(parsed.error.contains("--mode"), qPrintable(parsed.error));
            QCOMPARE(parsed.options.mode, 0600u);   // left as it was
        }
    }

    void helpTextCoversTheOptions()
    {
        const Parsed parsed = parse({"--help"});
        QVERIFY(parsed.ok);
        QVERIFY(parsed.options.help);
        const QString text = QString::fromStdString(demo::usage("kx-prog"));
        QVERIFY2(text.startsWith("Usage: kx-prog"), qPrintable(text));
        for (const char* option :
             {"--demo", "--no-demo", "--seed", "--apps", "--sites", "--churn", "--nic-state", "--vendor",
              "--fake-adapter", "--down-limit", "--up-limit", "--inactive", "--offer-update",
              "--fail-update", "--download-seconds", "--stall-heartbeat-after", "--heartbeat-ms",
              "--tick-ms", "--icon-dir", "--mode", "--cleanup", "--help"}) {
            QVERIFY2(text.contains(QLatin1String(option) + ' '), option);
            // Each option listed in the help is one the parser knows.
            QVERIFY2(!parse({option, "1"}).error.startsWith("unknown option"), option);
        }
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
