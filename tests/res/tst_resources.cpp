// The image bundle as the scenes see it: every qrc:/res/ path written in the
// program's sources is in the bundle, and every image of the bundle decodes
// (the .ico through Qt's ico plugin) and shows something.

#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
#include <QtTest>

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void everyNamedPathIsInTheBundle()
    {
        static const QRegularExpression named(QStringLiteral(R"(qrc(:/res/[\w.]+))"));
        QStringList missing;
        int found = 0;
        QDirIterator sources(QStringLiteral(KESTRIX_SOURCE_DIR "/src"), {QStringLiteral("*.qml"), QStringLiteral("*.cpp")},
                             QDir::Files, QDirIterator::Subdirectories);
        while (sources.hasNext()) {
            QFile file(sources.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            auto matches = named.globalMatch(QString::fromUtf8(file.readAll()));
            for (; matches.hasNext(); ++found) {
                const QString path = matches.next().captured(1);
                if (!QFile::exists(path))
                    missing << file.fileName() + QStringLiteral(": ") + path;
            }
        }
        QVERIFY2(found > 25, qPrintable(QString::number(found)));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    }

    void everyImageDecodes_data()
    {
        QTest::addColumn<QString>("path");
        QDirIterator images(QStringLiteral(":/res"), QDir::Files);
        while (images.hasNext()) {
            const QString path = images.next();
            QTest::newRow(qPrintable(path)) << path;
        }
    }

    // At least 2 % of the pixels are solid.
    void everyImageDecodes()
    {
        QFETCH(QString, path);
        QImageReader reader(path);
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        int solid = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                solid += qAlpha(image.pixel(x, y)) >= 200 ? 1 : 0;
        }
        QVERIFY2(solid * 50 >= image.width() * image.height(), "(nearly) transparent");
    }
};

// Decoding images needs no GUI application (and no platform plugin).
QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
