// The Kestrix Command Center: start-up and tear-down of the process.

#include "app/instanceguard.h"
#include "app/logging.h"
#include "app/qmlregistration.h"
#include "app/quitsignals.h"
#include "app/qwinapplication.h"
#include "app/restorechannel.h"
#include "app/scenegraph.h"

#include "models/appcontroller.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QTranslator>

#include <memory>

namespace {

const int kVersion[4] = {1, 0, 54, 0};

QString softwareVersion()
{
    return QStringLiteral("%1.%2.%3.%4").arg(kVersion[0]).arg(kVersion[1]).arg(kVersion[2]).arg(kVersion[3]);
}

} // namespace

int main(int argc, char* argv[])
{
    // 1-2. One instance per user: a second start raises the first and ends.
    const QString applicationName = QStringLiteral("Kestrix Command Center");
    InstanceGuard guard(applicationName);
    if (!guard.tryStart()) {
        restorechannel::sendRestoreMessage(guard.restoreChannelName(), QWinApplication::kRestoreMessage);
        guard.release();
        return 0;
    }

    // Which scene graph: decided before the application object exists, since
    // the OpenGL probe forks and the scale rounding follows the choice.
    scenegraph::Chooser sceneGraph(argc, argv);

    // 3-5. The application object (which follows the desktop's scale factor
    // instead of assuming 96 dpi) and its identity.
    QWinApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velmora.example"));
    QCoreApplication::setApplicationName(applicationName);
    QCoreApplication::setApplicationVersion(softwareVersion());
    app.listenForRestore(guard.restoreChannelName());
    // A session that ends (SIGTERM), Ctrl+C or a closed terminal quits as cleanly as Quit.
    const QuitSignals quitSignals;

    // 6. The translation, from translations/ under the working directory;
    // failing that, from translations/ beside the executable, so that the
    // installed program started from anywhere (a terminal, a launcher
    // without a working folder) speaks the user's language too.
    QTranslator translator;
    qCDebug(lcApp) << "Locale is " << QLocale::system().name();
    const auto loadFrom = [&translator](const QString& folder) {
        return translator.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"), folder, QStringLiteral(".qm"));
    };
    if (loadFrom(QStringLiteral("translations"))
        || loadFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/translations")))
        qCDebug(lcApp) << "Tranlation loaded";
    QCoreApplication::installTranslator(&translator);

    // 7-9. The command line.
    QCommandLineParser parser;
    QCommandLineOption logOption(QStringLiteral("d"));
    QCommandLineOption autostartOption(QStringLiteral("a"));
    parser.addOption(logOption);
    parser.addOption(autostartOption);
    const QCommandLineOption sceneGraphOption = scenegraph::option();
    parser.addOption(sceneGraphOption);
    parser.process(app);
    if (parser.isSet(logOption))
        logging::setUp();
    sceneGraph.apply();
    const bool startedAtLogon = parser.isSet(autostartOption);

    int exitCode = 0;
    {
        // 10-12. The engine, the QML module and the controller.
        QQmlApplicationEngine engine;
        registerQmlTypes();
        auto controller = std::make_unique<AppController>();

        // 13-14. Restore requests reach the scene; the context properties.
        QObject::connect(&app, &QWinApplication::restoreWindow, controller.get(), &AppController::restoreWindow);
        QQmlContext* context = engine.rootContext();
        context->setContextProperty(QStringLiteral("applicationPath"),
                                    QStringLiteral("file://") + QCoreApplication::applicationDirPath() + QStringLiteral("/"));
        context->setContextProperty(QStringLiteral("appController"), controller.get());
        context->setContextProperty(QStringLiteral("isNeedWindowHide"), startedAtLogon);
        context->setContextProperty(QStringLiteral("swVersion"), softwareVersion());
        context->setContextProperty(QStringLiteral("needServiceEnable"), startedAtLogon);

        // 15-16. The main scene and the event loop.
        engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
        if (engine.rootObjects().isEmpty()) {
            exitCode = -1;
        } else {
            exitCode = QCoreApplication::exec();
            logging::tearDown();
        }

        // 17. The controller goes before the engine.
        controller.reset();
    }
    return exitCode;
}
