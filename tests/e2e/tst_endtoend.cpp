// kestrix-service and kestrix -d -a under a real X display, as at a logon,
// checked from outside: the service's printed take-overs and the program's log.

#include "kestrixrun.h"

#include "servicelink/protocol.h"
#include "servicelink/velcomm.h"

#include <QRegularExpression>
#include <QTemporaryDir>

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void theProgramBesideTheService()
    {
        QTemporaryDir dir;
        User user(dir.path(), "user");
        user.env.remove("QT_QPA_PLATFORM");   // the real display
        user.env.remove("QT_QUICK_BACKEND");
        // The scene graph logs every frame it renders: whether the window was ever on the screen.
        user.env.insert("QT_LOGGING_RULES", "qt.scenegraph.time.renderloop.debug=true");
        Run service(user, user.dir("service"),
                    {"--demo", "--fake-adapter", "--inactive", "--heartbeat-ms", "50", "--tick-ms", "250",
                     "--offer-update", "0", "--download-seconds", "1", "--stall-heartbeat-after", "30"},
                    KESTRIX_SERVICE);
        QVERIFY(service.waitFor("kestrix-service: serving"));
        // The desktop's scale factor is 2, as GNOME or Xfce set it on X11.
        QCOMPARE(QProcess::execute("xprop", {"-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER", "Xft.dpi:\t192\n"}), 0);

        // Started at logon, after the service and its update offer: it registers at
        // its first attempt and switches stream control on; its stored update choice
        // (updates on) leaves the standing offer alone.
        Run program(user, user.dir("work"), {"-d", "-a"});
        QVERIFY(program.waitFor("controlCenterActiveStateChanged requested 1  actual  1  heartbeat  true"));
        QVERIFY(service.waitFor("took parameter 0 (requested active state) value 1\n"));
        QVERIFY(program.log().contains("Register success") && program.log().count("Register ") == 1);

        // The offer accepted as the window's "Download and install" would: the
        // program starts the installer once, disables updates.
        QVERIFY(program.waitFor("Update state  1"));
        QVERIFY(!service.output().contains("took parameter 10 (update state) value 0"));
        servicelink::Client other;
        other.setObjectDirectory(user.dir("ipc").toStdString());
        QCOMPARE(other.vlcommRegister(nullptr), 0);
        QCOMPARE(other.controlCenterSetParameter(servicelink::kParameterUpdateState,
                                                 servicelink::kUpdateNewVersionAccepted), 0);
        QVERIFY(service.waitFor("took parameter 10 (update state) value 5\n"));
        QFile installed(user.dir("cache") + "/kestrix-service/update/installed.log");
        QTRY_VERIFY_WITH_TIMEOUT(installed.exists(), kStartMs);
        QTest::qWait(1000);   // a second start of the installer would show by now
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll().count('\n'), 1);
        QCOMPARE(program.output().count("Launcher::launch execute command"), 1);

        QVERIFY(program.waitFor("heartbeat  false"));   // it stops 30 s after the service started

        // Hidden all along: not one frame drawn, until a second start raises it.
        QVERIFY2(!program.output().contains("Frame rendered"), "the window hidden at logon was drawn");
        Run second(user, user.dir("second"), {"-d"});
        QVERIFY(second.exits());
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(second.work + "/logs"));
        QVERIFY(program.waitFor("window restore message  1026"));
        QVERIFY2(program.waitFor("Frame rendered"), "the raised window was not drawn");

        // The window: twice its size, with the program's icon and the class
        // "kestrix" (the desktop entry's name) for docks and task switchers.
        QProcess tree;
        tree.start("xwininfo", {"-root", "-tree"});
        QVERIFY(tree.waitForFinished());
        const auto window = QRegularExpression(R"((0x\w+) .*\("kestrix" "Kestrix Command Center"\)  (\d+)x(\d+))").match(tree.readAll());
        QVERIFY2(window.hasMatch() && window.captured(2).toInt() >= 2560 && window.captured(3).toInt() >= 1800, qPrintable(window.captured(0)));
        QProcess icon;
        icon.start("xprop", {"-len", "1000000", "-id", window.captured(1), "_NET_WM_ICON"});
        QVERIFY(icon.waitForFinished());
        QVERIFY(icon.readAll().contains("Icon (256 x 256)"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
