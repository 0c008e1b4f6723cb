// The image bundle as the scenes see it: every qrc:/res/ path written in the
// program's sources is in the bundle, every image decodes (the .ico through
// Qt's ico plugin), shows something and stays sharp on a screen scaled by 2.

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

    // Sharp on a screen scaled by 2: every image is rendered at twice the
    // size it is shown at, or has an @2x variant of exactly twice its size.
    void everyImageIsSharpAtTwice()
    {
        QFile manifest(QStringLiteral(KESTRIX_SOURCE_DIR "/src/res/images.txt"));
        QVERIFY(manifest.open(QIODevice::ReadOnly | QIODevice::Text));
        static const QRegularExpression line(QStringLiteral(R"(^(\S+)\.png\s*\|[^|]*\|\s*(\d+)x(\d+)\s*(@2x)?\s*\|\s*([\d.]+)x([\d.]+))"));
        int checked = 0;
        for (const QString& text : QString::fromUtf8(manifest.readAll()).split(QLatin1Char('\n'))) {
            const auto match = line.match(text);
            if (!match.hasMatch())
                continue;
            ++checked;
            const QSize own = QImage(QStringLiteral(":/res/%1.png").arg(match.captured(1))).size(),
                        twice = QImage(QStringLiteral(":/res/%1@2x.png").arg(match.captured(1))).size();
            const bool rendered2x = match.captured(2).toInt() >= 2 * match.captured(5).toDouble() - 1 && match.captured(3).toInt() >= 2 * match.captured(6).toDouble() - 1;
            QVERIFY2(rendered2x || twice == own * 2, qPrintable(text));
            QVERIFY2(twice.isEmpty() == match.captured(4).isEmpty(), qPrintable(text));
        }
        QVERIFY(checked > 30);
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
