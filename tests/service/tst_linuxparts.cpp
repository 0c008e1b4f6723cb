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
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("key");
        const QString user = "user.slice/user-1000.slice/user@1000.service/";
        QTest::newRow("gnome launch") << user + "app.slice/app-gnome-firefox\\x2desr-4242.scope" << 0 << "app:firefox-esr";
        QTest::newRow("flatpak") << user + "app.slice/app-flatpak-org.mozilla.firefox-2727.scope" << 0 << "app:org.mozilla.firefox";
        QTest::newRow("no launcher") << user + "app.slice/app-org.kde.konsole-1a2b3c.scope" << 0 << "app:org.kde.konsole";
        QTest::newRow("service instance") << user + "app.slice/app-org.kde.dolphin@f00d.service" << 0 << "app:org.kde.dolphin";
        QTest::newRow("terminal tab") << user + "app.slice/app-org.gnome.Terminal.slice/vte-spawn-5f2c-81.scope" << 0 << "app:org.gnome.Terminal";
        QTest::newRow("login session") << "user.slice/user-1000.slice/session-3.scope" << 3 << "session:session-3@1000";
        QTest::newRow("user service") << user + "session.slice/pipewire.service" << 2 << "user-service:pipewire@1000";
        QTest::newRow("system service, escaped") << "system.slice/system-getty.slice/getty@tty1.service" << 1 << "system:getty@tty1";
        QTest::newRow("system service") << "system.slice/systemd\\x2dresolved.service" << 1 << "system:systemd-resolved";
        QTest::newRow("not a unit") << "kxtest/worker" << 4 << "other:worker";
    }

    void unitNames()
    {
        QFETCH(QString, path);
        QFETCH(int, kind);
        QFETCH(QString, key);
        const UnitIdentity identity = identifyCgroup(path.toStdString());
        QCOMPARE(int(identity.kind), kind);
        QCOMPARE(QString::fromStdString(identity.key), key);
        QCOMPARE(identity.uid, path.startsWith("user.slice") ? 1000L : -1L);
    }

    // Desktop files from the first data directory that has one; icons from the
    // theme, its parent, hicolor (scalable first, else the size nearest 64), pixmaps.
    void desktopEntriesAndIcons_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("icon");   // relative to the tree; empty: none
        QTest::newRow("user's own entry first") << "org.kx.Mail" << "Kx Mail" << "home/icons/hicolor/48x48/apps/kxmail.png";
        QTest::newRow("theme's parent before hicolor") << "org.kx.Chat" << "Chat" << "sys/icons/Parent/64x64/apps/kxchat.png";
        QTest::newRow("scalable before sizes") << "org.kx.Tube" << "Tube" << "sys/icons/hicolor/scalable/apps/kxtube.svg";
        QTest::newRow("pixmaps last") << "org.kx.Old" << "Old" << "sys/pixmaps/kxold.xpm";
        QTest::newRow("no entry") << "org.kx.None" << "" << "";
    }

    void desktopEntriesAndIcons()
    {
        QFETCH(QString, appId);
        QFETCH(QString, name);
        QFETCH(QString, icon);
        QTemporaryDir tree;
        const auto write = [&](const QString& path, const QString& text) {
            QDir().mkpath(QFileInfo(tree.filePath(path)).path());
            QFile file(tree.filePath(path));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.size());
        };
        const QString sizes = "[Icon Theme]\nDirectories=48x48/apps,64x64/apps,scalable/apps\n[48x48/apps]\nSize=48\n"
                              "[64x64/apps]\nSize=64\n[scalable/apps]\nSize=64\nType=Scalable\n";
        write("sys/icons/Mine/index.theme", "[Icon Theme]\nInherits=Parent\nDirectories=\n");
        write("sys/icons/Parent/index.theme", sizes);
        write("sys/icons/hicolor/index.theme", sizes);
        write("home/icons/hicolor/index.theme", sizes);
        write("home/applications/org.kx.Mail.desktop", "[Desktop Entry]\nName=Kx Mail\nIcon=kxmail\n");
        write("sys/applications/org.kx.Mail.desktop", "[Desktop Entry]\nName=Old Mail\nIcon=other\n");
        write("home/icons/hicolor/48x48/apps/kxmail.png", "x");
        write("sys/applications/org.kx.Chat.desktop", "[Desktop Entry]\nName=Chat\nName[de]=Plaudern\nIcon=kxchat\n");
        write("sys/icons/Parent/64x64/apps/kxchat.png", "x");
        write("sys/icons/hicolor/scalable/apps/kxchat.svg", "x");
        write("sys/applications/org.kx.Tube.desktop", "[Desktop Entry]\nIcon=kxtube\nName=Tube\n");
        write("sys/icons/hicolor/64x64/apps/kxtube.png", "x");
        write("sys/icons/hicolor/scalable/apps/kxtube.svg", "x");
        write("sys/applications/org.kx.Old.desktop", "[Desktop Entry]\nName=Old\nIcon=kxold\n");
        write("sys/pixmaps/kxold.xpm", "x");
        write("config/gtk-3.0/settings.ini", "[Settings]\ngtk-icon-theme-name=Mine\n");
        const std::vector<std::string> dirs{tree.filePath("home").toStdString(), tree.filePath("sys").toStdString()};
        const xdg::DesktopEntry entry = xdg::findDesktopEntry(appId.toStdString(), dirs);
        QCOMPARE(QString::fromStdString(entry.name), name);
        const std::string theme = xdg::configuredIconTheme({tree.filePath("config").toStdString()});
        const QString found = QString::fromStdString(xdg::findIcon(entry.icon, theme, dirs));
        QCOMPARE(found, icon.isEmpty() ? QString() : tree.filePath(icon));
    }

    void speedsFromCounters_data()
    {
        QTest::addColumn<QList<qulonglong>>("counters");   // one reading a second
        QTest::addColumn<QList<uint>>("speeds");           // kbit/s
        QTest::newRow("steady") << QList<qulonglong>{0, 125000, 250000} << QList<uint>{0, 1000, 1000};
        QTest::newRow("first reading counts from zero") << QList<qulonglong>{12500} << QList<uint>{100};
        QTest::newRow("reset: counts from zero again") << QList<qulonglong>{500000, 512500, 2500} << QList<uint>{4000, 100, 20};
        QTest::newRow("beyond 32 bits") << QList<qulonglong>{0x1'0000'0000ull, 0x1'0000'0000ull + 1250} << QList<uint>{34359738, 10};
        QTest::newRow("saturates") << QList<qulonglong>{0, 0xFFFF'FFFF'FFFFull} << QList<uint>{0, 0xFFFFFFFFu};
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
        QCOMPARE(kbitPerSecond(1000, 0), 0u);
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
