// The service draws its icons itself and writes them as PNG files with
// stored deflate blocks. These tests decode what it writes with Qt's PNG
// reader and zlib (through qUncompress), so the encoder is checked by code
// that is not ours.

#include "icons.h"
#include "png.h"

#include <QtTest>
#include <QImage>

#include <sys/stat.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace demo;

namespace {

QImage decode(const std::vector<std::uint8_t>& png)
{
    return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()), "PNG")
            .convertToFormat(QImage::Format_ARGB32);
}

QImage load(const std::string& path)
{
    QImage image(QString::fromStdString(path), "PNG");
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QRgb rgba(const Rgba& p)
{
    return qRgba(p.r, p.g, p.b, p.a);
}

std::uint32_t crcOf(const char* text)
{
    return crc32(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

std::uint32_t bigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16
           | std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// A canvas with every pixel set to its own pseudo-random colour.
Canvas noiseCanvas(int width, int height, unsigned seed)
{
    Canvas canvas(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = random();
            canvas.blend(x, y, {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                std::uint8_t(v >> 24)});
        }
    }
    return canvas;
}

struct Chunk {
    std::string type;
    std::vector<std::uint8_t> data;
};

// Splits a PNG into its chunks; empty when the signature or a length is wrong.
std::vector<Chunk> chunksOf(const std::vector<std::uint8_t>& png)
{
    static const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0)
        return {};
    std::vector<Chunk> chunks;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = bigEndian(png, at);
        if (at + 12 + length > png.size())
            return {};
        Chunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(png.data() + at + 4), 4);
        chunk.data.assign(png.begin() + long(at + 8), png.begin() + long(at + 8 + length));
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    if (at != png.size())
        return {};
    return chunks;
}

ino_t inodeOf(const std::string& path, timespec* modified = nullptr)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    if (modified != nullptr)
        *modified = info.st_mtim;
    return info.st_ino;
}

// Puts the working directory back when a test changed it.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : m_saved(QDir::currentPath()) {}
    ~CurrentDirectoryGuard() { QDir::setCurrent(m_saved); }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    QString m_saved;
};

const Rgba kRed{0xFF, 0x00, 0x00, 0xFF};
const Rgba kBlue{0x00, 0x00, 0xFF, 0xFF};

} // namespace

class TestPng : public QObject {
    Q_OBJECT

private slots:
    void crcOfKnownTexts()
    {
        QCOMPARE(crcOf("123456789"), 0xCBF43926u);
        QCOMPARE(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
        QCOMPARE(crcOf(""), 0u);
    }

    void crcContinuesOverPieces()
    {
        const char text[] = "123456789";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
        const std::uint32_t first = crc32(bytes, 4);
        QCOMPARE(crc32(bytes + 4, 5, first), 0xCBF43926u);
    }

    void shapesDecodeWithTheirSizeAndColours()
    {
        Canvas canvas(64, 48);   // not square: width and height must not swap
        canvas.fillRoundedRect(10, 8, 20, 16, 0, kRed);
        canvas.fillCircle(48, 24, 10, kBlue);
        canvas.fillRoundedRect(0, 40, 8, 8, 0, {0x00, 0xFF, 0x00, 0x80});

        const QImage image = decode(canvas.encodePng());
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), 64);
        QCOMPARE(image.height(), 48);
        QVERIFY(image.hasAlphaChannel());

        // The rectangle: its centre and its four corner pixels are red,
        // the pixels just outside are untouched.
        QCOMPARE(image.pixel(20, 16), qRgba(0xFF, 0, 0, 0xFF));
        QCOMPARE(image.pixel(10, 8), qRgba(0xFF, 0, 0, 0xFF));
        QCOMPARE(image.pixel(29, 23), qRgba(0xFF, 0, 0, 0xFF));
        QCOMPARE(qAlpha(image.pixel(9, 16)), 0);
        QCOMPARE(qAlpha(image.pixel(30, 16)), 0);
        QCOMPARE(qAlpha(image.pixel(20, 7)), 0);
        QCOMPARE(qAlpha(image.pixel(20, 24)), 0);

        // The circle.
        QCOMPARE(image.pixel(48, 24), qRgba(0, 0, 0xFF, 0xFF));
        QCOMPARE(qAlpha(image.pixel(48, 12)), 0);
        QCOMPARE(qAlpha(image.pixel(39, 15)), 0);   // outside, in the box's corner

        // Half-transparent green keeps its alpha and its colour.
        QCOMPARE(image.pixel(4, 44), qRgba(0, 0xFF, 0, 0x80));

        // Transparent corners.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(63, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(63, 47)), 0);
    }

    void everyPixelSurvivesEncoding_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1x1") << 1 << 1;
        QTest::newRow("64x48") << 64 << 48;
        // 255 rows of 1 + 64 * 4 bytes: exactly one 65535-byte stored block.
        QTest::newRow("64x255, one full block") << 64 << 255;
        QTest::newRow("64x256, one byte into a second block") << 64 << 256;
        QTest::newRow("64x510, exactly two blocks") << 64 << 510;
        QTest::newRow("300x300, six blocks") << 300 << 300;
    }

    void everyPixelSurvivesEncoding()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const Canvas canvas = noiseCanvas(width, height, unsigned(width * 1000 + height));
        const QImage image = decode(canvas.encodePng());
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(width, height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgba expected = canvas.pixel(x, y);
                const QRgb got = image.pixel(x, y);
                const QByteArray where = QByteArray::number(x) + "," + QByteArray::number(y);
                QVERIFY2(qAlpha(got) == expected.a, where);
                if (expected.a != 0)
                    QVERIFY2(got == rgba(expected), where);
            }
        }
    }

    void imageDataIsAValidZlibStream()
    {
        // Inflated by zlib itself, which also checks the Adler-32 sum.
        const Canvas canvas = noiseCanvas(300, 300, 7);
        const std::vector<Chunk> chunks = chunksOf(canvas.encodePng());
        QCOMPARE(chunks.size(), std::size_t(3));
        QCOMPARE(chunks[0].type, std::string("IHDR"));
        QCOMPARE(chunks[1].type, std::string("IDAT"));
        QCOMPARE(chunks[2].type, std::string("IEND"));
        QVERIFY(chunks[2].data.empty());

        const std::vector<std::uint8_t>& header = chunks[0].data;
        QCOMPARE(header.size(), std::size_t(13));
        QCOMPARE(bigEndian(header, 0), 300u);
        QCOMPARE(bigEndian(header, 4), 300u);
        QCOMPARE(int(header[8]), 8);   // bits per channel
        QCOMPARE(int(header[9]), 6);   // RGBA

        const std::size_t rowBytes = 1 + 300 * 4;
        const std::size_t rawSize = 300 * rowBytes;
        QByteArray compressed;
        compressed.append(char(rawSize >> 24)).append(char(rawSize >> 16));
        compressed.append(char(rawSize >> 8)).append(char(rawSize));
        compressed.append(reinterpret_cast<const char*>(chunks[1].data.data()), int(chunks[1].data.size()));
        const QByteArray raw = qUncompress(compressed);
        QCOMPARE(std::size_t(raw.size()), rawSize);
        for (int y = 0; y < 300; ++y) {
            const char* row = raw.constData() + std::size_t(y) * rowBytes;
            QCOMPARE(int(row[0]), 0);   // filter type
            for (int x = 0; x < 300; x += 37) {
                const Rgba p = canvas.pixel(x, y);
                const auto* px = reinterpret_cast<const std::uint8_t*>(row + 1 + 4 * x);
                QVERIFY(px[0] == p.r && px[1] == p.g && px[2] == p.b && px[3] == p.a);
            }
        }
    }

    void blendMixesOverExistingPixels()
    {
        Canvas canvas(4, 2);
        canvas.blend(0, 0, kRed, 0.5);
        QCOMPARE(int(canvas.pixel(0, 0).a), 128);
        QCOMPARE(int(canvas.pixel(0, 0).r), 255);
        // Opaque over opaque replaces; half blue over opaque red mixes.
        canvas.blend(1, 0, kRed);
        canvas.blend(1, 0, kBlue, 0.5);
        const Rgba mixed = canvas.pixel(1, 0);
        QCOMPARE(int(mixed.a), 255);
        QVERIFY(qAbs(int(mixed.r) - 128) <= 1);
        QVERIFY(qAbs(int(mixed.b) - 128) <= 1);
        QCOMPARE(int(mixed.g), 0);
    }

    void blendOutsideTheCanvasDrawsNothing()
    {
        Canvas canvas(4, 2);
        // Past the end of a row is not the start of the next one, and
        // before the start of a row is not the end of the previous one.
        canvas.blend(4, 0, kRed);
        canvas.blend(-1, 1, kRed);
        canvas.blend(0, 2, kRed);
        canvas.blend(0, -1, kRed);
        canvas.fillRoundedRect(-10, -10, 8, 8, 0, kRed);
        canvas.fillRoundedRect(4, 0, 3, 2, 0, kRed);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 4; ++x)
                QCOMPARE(int(canvas.pixel(x, y).a), 0);
        }
    }

    void savePngWritesALoadableFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Canvas canvas(20, 10);
        canvas.fillRoundedRect(0, 0, 20, 10, 0, kBlue);
        const std::string path = dir.filePath("blue.png").toStdString();
        QVERIFY(canvas.savePng(path));
        const QImage image = load(path);
        QCOMPARE(image.size(), QSize(20, 10));
        QCOMPARE(image.pixel(19, 9), qRgba(0, 0, 0xFF, 0xFF));
        // Only the finished file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"blue.png"});

        QVERIFY(!canvas.savePng(dir.filePath("missing/blue.png").toStdString()));
    }

    void ensureIconWritesAppAndSiteIcons()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string folder = dir.path().toStdString();
        const std::string app = ensureIcon(folder, "firefox", false);
        const std::string site = ensureIcon(folder, "youtube.com", true);
        QVERIFY(!app.empty());
        QVERIFY(!site.empty());
        QVERIFY(app != site);
        QCOMPARE(QFileInfo(QString::fromStdString(app)).absolutePath(), dir.path());
        QCOMPARE(QFileInfo(QString::fromStdString(site)).absolutePath(), dir.path());

        const QImage appImage = load(app);
        const QImage siteImage = load(site);
        QCOMPARE(appImage.size(), QSize(64, 64));
        QCOMPARE(siteImage.size(), QSize(64, 64));
        for (const QImage* image : {&appImage, &siteImage}) {
            QCOMPARE(qAlpha(image->pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image->pixel(63, 63)), 0);
            QCOMPARE(qAlpha(image->pixel(32, 4)), 255);   // inside either shape
        }
        // A rounded square reaches further into the corner than a badge.
        QCOMPARE(qAlpha(appImage.pixel(6, 6)), 255);
        QCOMPARE(qAlpha(siteImage.pixel(6, 6)), 0);

        // The same name as an application and as a site: two files.
        const std::string sameNameSite = ensureIcon(folder, "firefox", true);
        QVERIFY(!sameNameSite.empty());
        QVERIFY(sameNameSite != app);
    }

    void ensureIconKeepsAnExistingFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string folder = dir.path().toStdString();
        const std::string first = ensureIcon(folder, "discord", false);
        QVERIFY(!first.empty());
        timespec before{};
        const ino_t inode = inodeOf(first, &before);
        QVERIFY(inode != 0);

        const std::string second = ensureIcon(folder, "discord", false);
        QCOMPARE(second, first);
        timespec after{};
        // A rewrite goes through a new file and a rename: a new inode.
        QCOMPARE(inodeOf(second, &after), inode);
        QCOMPARE(after.tv_sec, before.tv_sec);
        QCOMPARE(after.tv_nsec, before.tv_nsec);

        // Whatever is there under the icon's name is left as it is.
        QFile file(QString::fromStdString(first));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("kept");
        file.close();
        QCOMPARE(ensureIcon(folder, "discord", false), first);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("kept"));
    }

    void ensureIconStaysInItsFolder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath("icons"));
        const std::string folder = dir.filePath("icons").toStdString();
        const std::string path = ensureIcon(folder, "../../escape/x", false);
        QVERIFY(!path.empty());
        QCOMPARE(QFileInfo(QString::fromStdString(path)).absolutePath(), dir.filePath("icons"));
        QCOMPARE(load(path).size(), QSize(64, 64));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"icons"});
    }

    void ensureIconFailsWhereItCannotWrite()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A folder below a plain file cannot be written, not even by root.
        QFile plain(dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(ensureIcon(dir.filePath("plain").toStdString(), "firefox", false), std::string());
        QCOMPARE(ensureIcon(dir.filePath("missing").toStdString(), "firefox", true), std::string());
    }

    void makeDirectoriesCreatesNestedFolders()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString nested = dir.filePath("a/bb/ccc");
        QVERIFY(makeDirectories(nested.toStdString()));
        QVERIFY(QFileInfo(nested).isDir());
        // Again, when it exists already, and with a trailing slash.
        QVERIFY(makeDirectories(nested.toStdString()));
        QVERIFY(makeDirectories(dir.filePath("a/bb/d/").toStdString()));
        QVERIFY(QFileInfo(dir.filePath("a/bb/d")).isDir());
    }

    void makeDirectoriesFailsOnAFileInTheWay()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile plain(dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(!makeDirectories(dir.filePath("plain").toStdString()));
        QVERIFY(!makeDirectories(dir.filePath("plain/sub").toStdString()));
    }

    void makeDirectoriesAcceptsRelativePaths()
    {
        // --icon-dir may be given relative to where the service starts.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CurrentDirectoryGuard guard;
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(makeDirectories("icons/cache"));
        QVERIFY(QFileInfo(dir.filePath("icons/cache")).isDir());
        QVERIFY(makeDirectories("x/y/z"));
        QVERIFY(QFileInfo(dir.filePath("x/y/z")).isDir());
    }
};

// QImage reads PNG without a platform plugin: no GUI application needed.
QTEST_GUILESS_MAIN(TestPng)
#include "tst_png.moc"
