// The command line of kestrix-service: what the options set, and what it refuses.

#include "options.h"

#include <QtTest>

#include <deque>
#include <string>
#include <vector>

using demo::Options;

namespace {

// Every field, so that a comparison also shows a field set by the wrong option.
QString describe(const Options& o)
{
    return QString::asprintf("%d %llu %d %d %d %d %d %d %g %g %d %g %u %u %d %d %d [%s] %o %d %d", o.demo,
                             static_cast<unsigned long long>(o.seed), o.apps, o.sites, o.churn, o.nicState,
                             o.vendor, o.fakeAdapter, o.stallHeartbeatAfter, o.offerUpdate, o.failUpdate,
                             o.downloadSeconds, o.downLimit, o.upLimit, o.active, o.heartbeatMs, o.tickMs,
                             o.iconDirectory.c_str(), o.mode, o.cleanup, o.help);
}

struct Parsed {
    bool ok = false;
    Options options;
    QString error;
};

Parsed parse(const QStringList& arguments)
{
    // getopt may keep pointers into the last argument vector: keep them all.
    static std::deque<std::vector<std::string>> kept;
    kept.emplace_back(1, "kestrix-service");
    for (const QString& argument : arguments)
        kept.back().push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& text : kept.back())
        argv.push_back(&text[0]);
    argv.push_back(nullptr);
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
    // Representative options of each kind; each row also proves that no other field changed.
    void optionsSetTheirField_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const QStringList& arguments, auto change) {
            Options options;
            change(options);
            QTest::newRow(name) << arguments << describe(options);
        };
        QTest::newRow("defaults, as --help has them")
                << QStringList() << "1 1 24 8 0 -1 -1 0 -1 -1 0 4 80000 20000 1 100 1000 [] 600 0 0";
        row("switches", {"--no-demo", "--churn", "--inactive", "--fake-adapter", "-h"},
            [](Options& o) { o.demo = o.active = false, o.churn = o.fakeAdapter = o.help = true; });
        row("seed beyond 32 bits", {"--seed", "123456789012"}, [](Options& o) { o.seed = 123456789012ull; });
        row("codes at their ends, one attached", {"--nic-state=0", "--vendor", "2147483647"},
            [](Options& o) { o.nicState = 0, o.vendor = 2147483647; });
        row("limits at their ends", {"--down-limit", "4294967295", "--up-limit", "0"},
            [](Options& o) { o.downLimit = 4294967295u, o.upLimit = 0; });
        row("fractions", {"--offer-update", "2.5", "--download-seconds", "0.5"},
            [](Options& o) { o.offerUpdate = 2.5, o.downloadSeconds = 0.5; });
        row("text", {"--icon-dir", "a folder/icons"}, [](Options& o) { o.iconDirectory = "a folder/icons"; });
        row("mode: octal, others may read", {"--mode", "664"}, [](Options& o) { o.mode = 0664; });
        row("last one wins", {"--apps", "5", "--apps", "6", "--no-demo", "--demo"},
            [](Options& o) { o.apps = 6; });
    }

    void optionsSetTheirField()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        const Parsed parsed = parse(arguments);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        QCOMPARE(describe(parsed.options), expected);
    }

    void refusalsNameTheCulprit_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << QStringList{"--seed", "abc"} << "invalid value 'abc' for --seed";
        QTest::newRow("trailing text") << QStringList{"--seed", "12x"} << "'12x' for --seed";
        QTest::newRow("empty") << QStringList{"--apps="} << "'' for --apps";
        QTest::newRow("above range") << QStringList{"--apps", "100001"} << "'100001' for --apps";
        QTest::newRow("negative") << QStringList{"--offer-update", "-1"} << "'-1' for --offer-update";
        QTest::newRow("beyond 32 bits") << QStringList{"--down-limit", "4294967296"} << "for --down-limit";
        // An int override where -1 means "from the host" must not wrap.
        QTest::newRow("nic-state > INT_MAX") << QStringList{"--nic-state", "2147483648"} << "for --nic-state";
        QTest::newRow("vendor > INT_MAX") << QStringList{"--vendor", "4294967295"} << "for --vendor";
        QTest::newRow("fraction: seed") << QStringList{"--seed", "1.5"} << "'1.5' for --seed";
        QTest::newRow("fraction: ms") << QStringList{"--heartbeat-ms", "50.5"} << "for --heartbeat-ms";
        // The mode must not let others write.
        QTest::newRow("mode 0602") << QStringList{"--mode", "0602"} << "invalid --mode '0602'";
        QTest::newRow("mode 1660") << QStringList{"--mode", "1660"} << "--mode '1660'";
        QTest::newRow("mode 0680") << QStringList{"--mode", "0680"} << "--mode '0680'";
        QTest::newRow("value missing") << QStringList{"--seed"} << "--seed needs a value";
        QTest::newRow("switch given a value") << QStringList{"--churn=yes"} << "--churn takes no value";
        QTest::newRow("unknown in a group") << QStringList{"-xh"} << "unknown option '-x'";
        QTest::newRow("unknown long") << QStringList{"--churn", "--bogus"} << "unknown option '--bogus'";
        QTest::newRow("stray argument") << QStringList{"extra", "--churn"} << "unexpected argument 'extra'";
    }

    void refusalsNameTheCulprit()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Parsed parsed = parse(arguments);
        QVERIFY(!parsed.ok);
        QVERIFY2(parsed.error.contains(message), qPrintable(parsed.error));
        // The next parse starts afresh: no "h" left over from "-xh", nor its own first argument skipped.
        const Parsed next = parse({"--churn"});
        QVERIFY2(next.ok && next.options.churn && !next.options.help, qPrintable(next.error));
    }

    void helpTextCoversTheOptions()
    {
        const QString text = QString::fromStdString(demo::usage("kx-prog"));
        QVERIFY2(text.startsWith("Usage: kx-prog"), qPrintable(text));
        for (const char* option :
             {"--demo", "--no-demo", "--seed", "--apps", "--sites", "--churn", "--nic-state", "--vendor",
              "--fake-adapter", "--down-limit", "--up-limit", "--inactive", "--offer-update", "--fail-update",
              "--download-seconds", "--stall-heartbeat-after", "--heartbeat-ms", "--tick-ms", "--icon-dir",
              "--mode", "--cleanup", "--help"}) {
            // Listed in the help, and known to the parser.
            QVERIFY2(text.contains(QLatin1String(option) + ' '), option);
            QVERIFY2(!parse({option, "1"}).error.startsWith("unknown option"), option);
        }
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
