// The Linux backend's pure parts: unit names, desktop files and icons on
// small XDG trees, speeds from counters, the shaper's class rates.

#include "meter.h"
#include "unitname.h"
#include "xdg.h"

#include <QtTest>

using namespace linuxbackend;

class TestLinuxParts : public QObject {
    Q_OBJECT

private slots:
    void unitNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("key");   // its prefix names the kind
        const QString user = "user.slice/user-1000.slice/user@1000.service/";
        QTest::newRow("gnome launch") << user + "app.slice/app-gnome-firefox\\x2desr-4242.scope" << "app:firefox-esr";
        QTest::newRow("flatpak") << user + "app.slice/app-flatpak-org.mozilla.firefox-2727.scope" << "app:org.mozilla.firefox";
        QTest::newRow("no launcher") << user + "app.slice/app-org.kde.konsole-1a2b3c.scope" << "app:org.kde.konsole";
        QTest::newRow("service instance") << user + "app.slice/app-org.kde.dolphin@f00d.service" << "app:org.kde.dolphin";
        QTest::newRow("terminal tab") << user + "app.slice/app-org.gnome.Terminal.slice/vte-spawn-5f2c-81.scope" << "app:org.gnome.Terminal";
        QTest::newRow("login session") << "user.slice/user-1000.slice/session-3.scope" << "session:session-3@1000";
        QTest::newRow("user service") << user + "session.slice/pipewire.service" << "user-service:pipewire@1000";
        QTest::newRow("system service, escaped") << "system.slice/system-getty.slice/getty@tty1.service" << "system:getty@tty1";
        QTest::newRow("system service") << "system.slice/systemd\\x2dresolved.service" << "system:systemd-resolved";
        QTest::newRow("not a unit") << "kxtest/worker" << "other:worker";
    }

    void unitNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, key);
        const UnitIdentity identity = identifyCgroup(path.toStdString());
        QCOMPARE(QString::fromStdString(identity.key), key);
        QCOMPARE(identity.uid, path.startsWith("user.slice") ? 1000L : -1L);
    }

    // Desktop files from the first data directory that has one; icons from the
    // theme, its parent, hicolor (scalable first, else the size nearest 64), pixmaps.
    void desktopEntriesAndIcons_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QStringList>("files");   // path=content, below the tree
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("icon");        // empty: none
        const QString entry = "applications/org.kx.%1.desktop=[Desktop Entry]\nName=%2\nIcon=%3\n";
        QTest::newRow("user's own entry first") << "org.kx.Mail" << QStringList{"home/" + entry.arg("Mail", "Kx Mail", "kxmail"),
            "sys/" + entry.arg("Mail", "Old Mail", "other"), "home/icons/hicolor/48x48/apps/kxmail.png="} << "Kx Mail" << "home/icons/hicolor/48x48/apps/kxmail.png";
        QTest::newRow("theme's parent before hicolor") << "org.kx.Chat" << QStringList{"sys/" + entry.arg("Chat", "Chat", "kxchat"),
            "sys/icons/Parent/64x64/apps/kxchat.png=", "sys/icons/hicolor/scalable/apps/kxchat.svg="} << "Chat" << "sys/icons/Parent/64x64/apps/kxchat.png";
        QTest::newRow("scalable before sizes") << "org.kx.Tube" << QStringList{"sys/" + entry.arg("Tube", "Tube", "kxtube"),
            "sys/icons/hicolor/64x64/apps/kxtube.png=", "sys/icons/hicolor/scalable/apps/kxtube.svg="} << "Tube" << "sys/icons/hicolor/scalable/apps/kxtube.svg";
        QTest::newRow("pixmaps last") << "org.kx.Old" << QStringList{"sys/" + entry.arg("Old", "Old", "kxold"), "sys/pixmaps/kxold.xpm="}
                                      << "Old" << "sys/pixmaps/kxold.xpm";
        QTest::newRow("no entry") << "org.kx.None" << QStringList{"sys/pixmaps/kxnone.xpm="} << "" << "";
    }

    void desktopEntriesAndIcons()
    {
        QFETCH(QString, appId);
        QFETCH(QStringList, files);
        QFETCH(QString, name);
        QFETCH(QString, icon);
        QTemporaryDir tree;
        const QString sizes = "[Icon Theme]\nDirectories=48x48/apps,64x64/apps,scalable/apps\n[48x48/apps]\nSize=48\n"
                              "[64x64/apps]\nSize=64\n[scalable/apps]\nSize=64\nType=Scalable\n";
        files << "sys/icons/Mine/index.theme=[Icon Theme]\nInherits=Parent\n" << "sys/icons/Parent/index.theme=" + sizes
              << "sys/icons/hicolor/index.theme=" + sizes << "home/icons/hicolor/index.theme=" + sizes
              << "config/gtk-3.0/settings.ini=[Settings]\ngtk-icon-theme-name=Mine\n";
        for (const QString& file : files) {
            const QString path = tree.filePath(file.section('=', 0, 0)), text = file.section('=', 1);
            QDir().mkpath(QFileInfo(path).path());
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) == text.toUtf8().size());
        }
        const std::vector<std::string> dirs{tree.filePath("home").toStdString(), tree.filePath("sys").toStdString()};
        const xdg::DesktopEntry entry = xdg::findDesktopEntry(appId.toStdString(), dirs);
        QCOMPARE(QString::fromStdString(entry.name), name);
        const std::string theme = xdg::configuredIconTheme({tree.filePath("config").toStdString()});
        QCOMPARE(QString::fromStdString(xdg::findIcon(entry.icon, theme, dirs)), icon.isEmpty() ? QString() : tree.filePath(icon));
    }

    void speedsFromCounters_data()
    {
        QTest::addColumn<QList<qulonglong>>("counters");   // one reading a second
        QTest::addColumn<QList<uint>>("speeds");           // kbit/s
        QTest::newRow("steady") << QList<qulonglong>{0, 125000, 250000} << QList<uint>{0, 1000, 1000};
        QTest::newRow("first reading counts from zero") << QList<qulonglong>{12500} << QList<uint>{100};
        QTest::newRow("reset: counts from zero again") << QList<qulonglong>{500000, 512500, 2500} << QList<uint>{4000, 100, 20};
        QTest::newRow("beyond 32 bits") << QList<qulonglong>{0x1'0000'0000ull, 0x1'0000'0000ull + 1250} << QList<uint>{34359738, 10};
    }

    void speedsFromCounters()
    {
        QFETCH(QList<qulonglong>, counters);
        QFETCH(QList<uint>, speeds);
        SpeedMeter meter;
        for (int i = 0; i < counters.size(); ++i) {
            QCOMPARE(meter.read(7, counters[i], 1.0), speeds[i]);
            QCOMPARE(meter.read(8, counters[i] * 2, 2.0), speeds[i]);   // keys apart; twice the bytes in twice the time
        }
    }

    void classRatesFromLimits_data()
    {
        QTest::addColumn<uint>("limit");
        QTest::addColumn<bool>("prioritised");
        QTest::addColumn<bool>("fairLeaves");
        QTest::addColumn<QList<uint>>("rates");   // critical, high, normal, low, then ceil
        QTest::newRow("10 Mbit/s, on") << 10000u << true << false << QList<uint>{6000, 2500, 1000, 500, 10000};
        QTest::newRow("off, fq_codel") << 10000u << false << true << QList<uint>{8, 8, 9976, 8, 10000};
        QTest::newRow("off, pfifo: four equal classes") << 10000u << false << false << QList<uint>{2500, 2500, 2500, 2500, 10000};
        QTest::newRow("tiny limit") << 20u << true << false << QList<uint>{19, 8, 8, 8, 32};
        QTest::newRow("4 Gbit/s, no overflow") << 4000000000u << true << false
                                              << QList<uint>{2400000000u, 1000000000u, 400000000u, 200000000u, 4000000000u};
    }

    void classRatesFromLimits()
    {
        QFETCH(uint, limit);
        QFETCH(bool, prioritised);
        QFETCH(bool, fairLeaves);
        QFETCH(QList<uint>, rates);
        const ClassRates got = classRates(limit, prioritised, fairLeaves);
        QCOMPARE((QList<uint>{got.rate[0], got.rate[1], got.rate[2], got.rate[3], got.ceil}), rates);
        QCOMPARE(got.prio[3], prioritised ? 3u : 0u);
    }
};

QTEST_GUILESS_MAIN(TestLinuxParts)
#include "tst_linuxparts.moc"
