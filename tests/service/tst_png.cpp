// The service draws its icons itself and writes them as PNG files with
// stored deflate blocks. What it writes is decoded with Qt's PNG reader and
// zlib (through qUncompress), so the encoder is checked by code not ours.

#include "icons.h"
#include "png.h"

#include <QtTest>
#include <QImage>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace demo;

namespace {

QImage load(const std::string& path)
{
    return QImage(QString::fromStdString(path), "PNG").convertToFormat(QImage::Format_ARGB32);
}

std::uint32_t bigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16
           | std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// Every pixel its own pseudo-random colour and alpha.
Canvas noiseCanvas(int width, int height)
{
    Canvas canvas(width, height);
    std::mt19937 random(unsigned(width * 1000 + height));
    for (int i = 0; i < width * height; ++i) {
        const std::uint32_t v = random();
        canvas.blend(i % width, i / width, {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                            std::uint8_t(v >> 24)});
    }
    return canvas;
}

const Rgba kRed{0xFF, 0x00, 0x00, 0xFF};
const Rgba kBlue{0x00, 0x00, 0xFF, 0xFF};

} // namespace

class TestPng : public QObject {
    Q_OBJECT

private slots:
    void crcOfKnownTexts()
    {
        const auto* text = reinterpret_cast<const std::uint8_t*>("123456789");
        QCOMPARE(crc32(text, 9), 0xCBF43926u);
        QCOMPARE(crc32(text + 4, 5, crc32(text, 4)), 0xCBF43926u);   // continued over pieces
    }

    void shapesCoverTheirArea()
    {
        Canvas canvas(64, 48);
        canvas.fillRoundedRect(10, 8, 20, 16, 0, kRed);
        canvas.fillCircle(48, 24, 10, kBlue);
        // The rectangle's corner pixels are covered, those just outside untouched.
        QCOMPARE(canvas.pixel(10, 8).r, kRed.r);
        QCOMPARE(canvas.pixel(29, 23).a, kRed.a);
        for (const QPoint& outside : {QPoint(9, 16), QPoint(30, 16), QPoint(20, 7), QPoint(20, 24)})
            QCOMPARE(canvas.pixel(outside.x(), outside.y()).a, std::uint8_t(0));
        // The circle: its centre, not the corner of its box.
        QCOMPARE(canvas.pixel(39, 15).a, std::uint8_t(0));
        QVERIFY(canvas.pixel(48, 24).b == 0xFF && canvas.pixel(48, 24).a == 0xFF);
    }

    void imageSurvivesEncoding_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1x1") << 1 << 1;
        // 255 rows of 1 + 64 * 4 bytes: exactly one 65535-byte stored block.
        QTest::newRow("64x255, one full block") << 64 << 255;
        QTest::newRow("64x256, one byte into a second block") << 64 << 256;
        QTest::newRow("300x300, six blocks") << 300 << 300;
    }

    void imageSurvivesEncoding()
    {
        // Decoded by Qt; the IDAT inflated by zlib, which also checks the Adler-32 sum.
        QFETCH(int, width);
        QFETCH(int, height);
        const Canvas canvas = noiseCanvas(width, height);
        const std::vector<std::uint8_t> png = canvas.encodePng();
        const QImage image =
                QImage::fromData(png.data(), int(png.size()), "PNG").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(width, height));
        QByteArray raw;   // each row: filter 0, then RGBA
        for (int i = 0; i < width * height; ++i) {
            const Rgba p = canvas.pixel(i % width, i / width);
            const QRgb decoded = image.pixel(i % width, i / width);
            QVERIFY2(decoded == qRgba(p.r, p.g, p.b, p.a), qPrintable(QString::number(i)));
            if (i % width == 0)
                raw.append('\0');
            raw.append(char(p.r)).append(char(p.g)).append(char(p.b)).append(char(p.a));
        }
        // IHDR (13 bytes), IDAT, IEND.
        const std::size_t idat = 8 + 12 + 13, length = bigEndian(png, idat);
        QVERIFY(std::memcmp(png.data() + idat + 4, "IDAT", 4) == 0);
        QCOMPARE(png.size(), idat + 12 + length + 12);
        QByteArray compressed(4, '\0');
        qToBigEndian<quint32>(quint32(raw.size()), compressed.data());
        compressed.append(reinterpret_cast<const char*>(png.data() + idat + 8), int(length));
        QVERIFY(qUncompress(compressed) == raw);
    }

    void blendMixesAndStaysOnTheCanvas()
    {
        Canvas canvas(4, 2);
        canvas.blend(0, 0, kRed, 0.5);
        QVERIFY(canvas.pixel(0, 0).a == 128 && canvas.pixel(0, 0).r == 255);
        // Half blue over opaque red mixes.
        canvas.blend(1, 0, kRed);
        canvas.blend(1, 0, kBlue, 0.5);
        const Rgba mixed = canvas.pixel(1, 0);
        QVERIFY(mixed.a == 255 && qAbs(mixed.r - 128) <= 1 && qAbs(mixed.b - 128) <= 1 && mixed.g == 0);
        // Past the end of a row is not the start of the next one, nor the other way round.
        for (const QPoint& outside : {QPoint(4, 0), QPoint(-1, 1), QPoint(0, 2), QPoint(0, -1)})
            canvas.blend(outside.x(), outside.y(), kRed);
        canvas.fillRoundedRect(-10, -10, 8, 8, 0, kRed);
        canvas.fillRoundedRect(4, 0, 3, 2, 0, kRed);
        for (int i = 2; i < 8; ++i)
            QCOMPARE(int(canvas.pixel(i % 4, i / 4).a), 0);
    }

    void ensureIconDrawsAppsAndSitesInItsFolder()
    {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        const std::string app = ensureIcon(folder, "firefox", false);
        const std::string site = ensureIcon(folder, "firefox", true);
        // A name trying to leave the folder stays in it.
        const std::string escape = ensureIcon(folder, "../../escape/x", false);
        QVERIFY(!app.empty() && !site.empty() && !escape.empty() && app != site);
        // Three files, written whole: no partial file left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);

        const QImage appImage = load(app), siteImage = load(site);
        QCOMPARE(load(escape).size(), QSize(64, 64));
        for (const QImage& image : {appImage, siteImage}) {
            QCOMPARE(image.size(), QSize(64, 64));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image.pixel(63, 63)), 0);
            QCOMPARE(qAlpha(image.pixel(32, 4)), 255);   // inside either shape
        }
        // A rounded square reaches further into the corner than a badge.
        QCOMPARE(qAlpha(appImage.pixel(6, 6)), 255);
        QCOMPARE(qAlpha(siteImage.pixel(6, 6)), 0);

        // Whatever is there under the icon's name is kept.
        QFile kept(QString::fromStdString(app));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept") == 4);
        kept.close();
        QCOMPARE(ensureIcon(folder, "firefox", false), app);
        QVERIFY(load(app).isNull());
        QCOMPARE(ensureIcon(dir.filePath("missing").toStdString(), "firefox", true), std::string());
    }

    void makeDirectoriesCreatesNestedFolders()
    {
        QTemporaryDir dir;
        QVERIFY(makeDirectories(dir.filePath("a/bb/ccc").toStdString()));
        // Again, when it exists already, and with a trailing slash.
        QVERIFY(makeDirectories(dir.filePath("a/bb/ccc").toStdString()));
        QVERIFY(makeDirectories(dir.filePath("a/bb/d/").toStdString()));
        // Relative, as --icon-dir may be, with a first component of one letter.
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const bool madeRelative = makeDirectories("x/y/z");
        QDir::setCurrent(saved);
        QVERIFY(madeRelative);
        for (const char* made : {"a/bb/ccc", "a/bb/d", "x/y/z"})
            QVERIFY2(QFileInfo(dir.filePath(made)).isDir(), made);
        // A plain file in the way.
        QVERIFY(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
        QVERIFY(!makeDirectories(dir.filePath("plain").toStdString()));
        QVERIFY(!makeDirectories(dir.filePath("plain/sub").toStdString()));
    }
};

// QImage reads PNG without a platform plugin: no GUI application needed.
QTEST_GUILESS_MAIN(TestPng)
#include "tst_png.moc"
