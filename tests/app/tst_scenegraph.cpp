// The scene graph: the renderer's name decides unless the option or an environment variable does.

#include "app/scenegraph.h"

#include <QtTest>

using scenegraph::Backend;
Q_DECLARE_METATYPE(Backend)

class TestSceneGraph : public QObject {
    Q_OBJECT

private slots:
    void decide_data()
    {
        QTest::addColumn<QStringList>("forced");   // the option, KESTRIX_SCENE_GRAPH, QT_QUICK_BACKEND
        QTest::addColumn<QString>("renderer");     // "-": no OpenGL context at all
        QTest::addColumn<Backend>("expected");
        const QString llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)", intel = "Mesa Intel(R) UHD Graphics 620 (KBL GT2)";
        const QStringList none{"", "", ""};
        QTest::newRow("llvmpipe") << none << llvmpipe << Backend::Software;
        QTest::newRow("softpipe") << none << "softpipe" << Backend::Software;
        QTest::newRow("swrast") << none << "Software Rasterizer" << Backend::Software;
        QTest::newRow("no OpenGL") << none << "-" << Backend::Software;
        QTest::newRow("Intel") << none << intel << Backend::OpenGL;
        QTest::newRow("AMD, built with LLVM") << none << "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)" << Backend::OpenGL;
        QTest::newRow("option: OpenGL") << QStringList{"opengl", "", ""} << llvmpipe << Backend::OpenGL;
        QTest::newRow("environment: software") << QStringList{"", "Software", ""} << intel << Backend::Software;
        QTest::newRow("option before environment") << QStringList{"OpenGL", "software", ""} << llvmpipe << Backend::OpenGL;
        QTest::newRow("unknown option") << QStringList{"vulkan", "", ""} << llvmpipe << Backend::Software;
        QTest::newRow("QT_QUICK_BACKEND") << QStringList{"", "", "software"} << intel << Backend::LeftToQt;
        QTest::newRow("ours before Qt's") << QStringList{"", "opengl", "software"} << llvmpipe << Backend::OpenGL;
    }
    void decide()
    {
        QFETCH(QStringList, forced);
        QFETCH(QString, renderer);
        QFETCH(Backend, expected);
        const auto found = renderer == "-" ? scenegraph::Renderer() : scenegraph::Renderer(renderer);
        QCOMPARE(scenegraph::decide(forced[0], forced[1], forced[2], found).backend, expected);
    }
};

QTEST_GUILESS_MAIN(TestSceneGraph)
#include "tst_scenegraph.moc"
