// A bare Qt Quick window for comparison with the program's own figures: it
// loads one QML file with the same application class, the same graphics
// stack and the same choice of scene graph, so window_bench.py can tell what
// the platform costs before any of our scenes draw a pixel.
//
//   build/bench/reference_view bench/reference_window.qml [--animate]
#include "app/scenegraph.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>

int main(int argc, char* argv[])
{
    scenegraph::Chooser sceneGraph(argc, argv);
    QApplication app(argc, argv);
    sceneGraph.apply();
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        qWarning("usage: reference_view FILE.qml [--animate]");
        return 2;
    }
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("animate"),
                                             arguments.contains(QStringLiteral("--animate")));
    engine.load(QUrl::fromLocalFile(arguments.at(1)));
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}
