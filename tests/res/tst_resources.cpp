// The image bundle as the scenes see it: the paths under :/res/ that the QML
// names, decoded with Qt's readers (the .ico through the ico plugin).

#include <QtTest>
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <iterator>

namespace {

// Every image of the bundle and the pixel size it is rendered at.
struct Expected {
    const char* name;
    int width;
    int height;
};

constexpr Expected kPngs[] = {
    {"background.png", 1260, 880},
    {"velmora_command_center.png", 756, 106},
    {"adapter_model_bg.png", 1108, 112},
    {"adapter_model_bg_wide.png", 1108, 112},
    {"settings.png", 42, 42},
    {"settings_hovered.png", 42, 42},
    {"minimize.png", 42, 42},
    {"minimize_hovered.png", 42, 42},
    {"close.png", 42, 42},
    {"close_hovered.png", 42, 42},
    {"grid_view.png", 56, 56},
    {"list_view.png", 56, 56},
    {"sort.png", 30, 30},
    {"help.png", 50, 50},
    {"pin_on.png", 50, 50},
    {"pin_off.png", 50, 50},
    {"arrow_up.png", 70, 70},
    {"arrow_down.png", 70, 70},
    {"arrow_left.png", 16, 32},
    {"arrow_right.png", 16, 32},
    {"rate_arrow.png", 20, 30},
    {"rearrange.png", 20, 20},
    {"default_app_icon.png", 96, 96},
    {"velmora_logo.png", 328, 96},
    {"asus_logo.png", 328, 96},
    {"asrock_logo.png", 328, 96},
    {"gigabyte_logo.png", 328, 96},
    {"sonnet_logo.png", 328, 96},
    {"supermicro_logo.png", 328, 96},
    {"dell_logo.png", 328, 96},
    {"msi_logo.png", 328, 96},
    {"caldigit_logo.png", 328, 96},
    {"inxtron_logo.png", 328, 96},
    {"synology_logo.png", 328, 96},
};

// The icon's entries in file order: the largest first, so that a plain
// image reader (the about window's Image) gets the sharpest one.
constexpr int kIcoSizes[] = {256, 128, 64, 48, 32, 24, 16};

// The vendor keys whose logos the footer shows ("qrc:/res/" + key + "_logo.png").
constexpr const char* kVendorKeys[] = {
    "velmora", "asus", "asrock", "gigabyte", "sonnet", "supermicro",
    "dell", "msi", "caldigit", "inxtron", "synology",
};

QString resourcePath(const char* name)
{
    return QStringLiteral(":/res/") + QLatin1String(name);
}

// Pixels that are at least nearly opaque.
int solidPixels(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            count += qAlpha(line[x]) >= 200 ? 1 : 0;
        }
    }
    return count;
}

// Sum of the light that the image puts on a black background.
double light(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = line[x];
            sum += qAlpha(p) / 255.0 * (0.2126 * qRed(p) + 0.7152 * qGreen(p) + 0.0722 * qBlue(p));
        }
    }
    return sum;
}

QImage load(const QString& path)
{
    QImageReader reader(path);
    return reader.read();
}

}  // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void bundleHoldsExactlyTheImages()
    {
        QStringList expected;
        for (const Expected& png : kPngs) {
            expected << QLatin1String(png.name);
        }
        expected << QStringLiteral("kestrix.ico");
        expected.sort();
        QStringList present = QDir(QStringLiteral(":/res")).entryList(QDir::Files);
        present.sort();
        QCOMPARE(present, expected);
    }

    void pngDecodesAtItsSize_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        for (const Expected& png : kPngs) {
            QTest::newRow(png.name) << resourcePath(png.name) << QSize(png.width, png.height);
        }
    }

    void pngDecodesAtItsSize()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        // Something is drawn: at least 2 % of the pixels are solid.
        QVERIFY2(solidPixels(image) * 50 >= image.width() * image.height(),
                 qPrintable(QStringLiteral("%1 is (nearly) transparent").arg(path)));
    }

    void backgroundCoversTheMainArea()
    {
        const QImage image = load(QStringLiteral(":/res/background.png"));
        QCOMPARE(image.size(), QSize(1260, 880));
        // Opaque all over except for its rounded corners.
        const QImage inner = image.copy(10, 10, 1240, 860);
        QCOMPARE(solidPixels(inner), inner.width() * inner.height());
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }

    void iconHoldsEverySize()
    {
        const QString path = QStringLiteral(":/res/kestrix.ico");
        QVERIFY(QFile::exists(path));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("ico"));
        QCOMPARE(reader.imageCount(), int(std::size(kIcoSizes)));
        for (int i = 0; i < int(std::size(kIcoSizes)); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
            QCOMPARE(image.size(), QSize(kIcoSizes[i], kIcoSizes[i]));
            QVERIFY(image.hasAlphaChannel());
            QVERIFY2(solidPixels(image) * 4 >= image.width() * image.height(),
                     qPrintable(QStringLiteral("icon entry %1 is mostly empty").arg(kIcoSizes[i])));
        }
    }

    void iconReadsLargestFirst()
    {
        // What a QML Image or QImage of the path gets.
        const QImage image(QStringLiteral(":/res/kestrix.ico"));
        QCOMPARE(image.size(), QSize(256, 256));
    }

    void everyVendorHasItsLogo_data()
    {
        QTest::addColumn<QString>("key");
        for (const char* key : kVendorKeys) {
            QTest::newRow(key) << QString::fromLatin1(key);
        }
    }

    void everyVendorHasItsLogo()
    {
        QFETCH(QString, key);
        const QImage image = load(QStringLiteral(":/res/") + key + QStringLiteral("_logo.png"));
        QVERIFY(!image.isNull());
        // A wordmark: wider than high, light text on a transparent ground.
        QVERIFY(image.width() > 2 * image.height());
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QVERIFY(light(image) / std::max(1, solidPixels(image)) > 150);
    }

    void hoveredButtonsAreBrighter_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("settings") << QStringLiteral("settings");
        QTest::newRow("minimize") << QStringLiteral("minimize");
        QTest::newRow("close") << QStringLiteral("close");
    }

    void hoveredButtonsAreBrighter()
    {
        QFETCH(QString, button);
        const QImage normal = load(QStringLiteral(":/res/") + button + QStringLiteral(".png"));
        const QImage hovered =
            load(QStringLiteral(":/res/") + button + QStringLiteral("_hovered.png"));
        QVERIFY(!normal.isNull());
        QVERIFY(!hovered.isNull());
        QCOMPARE(hovered.size(), normal.size());
        QVERIFY2(light(hovered) > 1.2 * light(normal),
                 qPrintable(QStringLiteral("%1: hovered %2, normal %3")
                                .arg(button)
                                .arg(light(hovered))
                                .arg(light(normal))));
    }
};

// Decoding images needs no GUI application (and no platform plugin).
QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
