// imagegen: renders the program's SVG sources into the PNG and ICO files of
// the resource bundle.
//
//   imagegen --manifest images.txt --svg-dir svg --out-dir images
//
// The manifest (images.txt) names every image: its file, its SVG source, the
// pixel size it is rendered at, the size the scenes show it at, and what it
// shows. Any warning of Qt's SVG handler (an unresolved reference, a bad
// attribute) fails the run, and so does a font family the machine lacks,
// because Qt would silently draw another one. QtSvg draws SVG Tiny 1.2: no
// filters, masks, clip paths or patterns, which it skips without a word, so
// the sources keep to shapes, gradients, opacity and plain text.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCommandLineParser>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSvgRenderer>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {

// One image of an .ico file: its pixel size and the SVG it is drawn from.
struct IcoEntry {
    int size = 0;
    QString source;
};

// A drop shadow drawn behind the source at build time, with the parameters
// of Qt Graphical Effects' DropShadow (transparent border, no spread), so
// that any scene graph shows it: the source fills the image less `inset` on
// every side, its shadow falls `offset` pixels right and down.
struct Shadow {
    int inset = 0;
    int offset = 0;
    int radius = 0;
    int samples = 0;
    QColor colour;

    Shadow scaled(int factor) const
    {
        return {inset * factor, offset * factor, radius * factor, samples * factor, colour};
    }
};

struct ImageItem {
    QString file;                   // name in the bundle, e.g. "close.png"
    QString source;                 // SVG source in the source folder
    QSize rendered;                 // pixel size of a PNG
    bool twice = false;             // also name@2x.png at twice the size, for 2x screens
    std::optional<Shadow> shadow;   // drawn behind the source
    std::vector<IcoEntry> entries;  // the images of an ICO, largest first
    QSizeF shown;                   // size the scenes draw it at
    QString what;                   // what it shows

    bool isIco() const { return file.endsWith(QLatin1String(".ico")); }
    QString twiceFile() const { return QString(file).insert(file.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x")); }
};

int g_svgWarnings = 0;
QtMessageHandler g_previousHandler = nullptr;

// Counts the SVG handler's complaints; everything is still printed.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && context.category
        && QLatin1String(context.category).startsWith(QLatin1String("qt.svg"))) {
        ++g_svgWarnings;
    }
    if (g_previousHandler) {
        g_previousHandler(type, context, message);
    }
}

void fail(const QString& message)
{
    std::fprintf(stderr, "imagegen: %s\n", qPrintable(message));
}

std::optional<QSize> parseSize(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) {
        return std::nullopt;
    }
    bool okW = false;
    bool okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w <= 0 || h <= 0) {
        return std::nullopt;
    }
    return QSize(w, h);
}

std::optional<QSizeF> parseSizeF(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) {
        return std::nullopt;
    }
    bool okW = false;
    bool okH = false;
    const double w = parts[0].toDouble(&okW);
    const double h = parts[1].toDouble(&okH);
    if (!okW || !okH || w <= 0 || h <= 0) {
        return std::nullopt;
    }
    return QSizeF(w, h);
}

// Manifest lines: file | source | rendered | shown | what. For an ICO the
// rendered column lists the entry sizes, each optionally with its own
// source ("24:small.svg"), largest first.
std::optional<std::vector<ImageItem>> readManifest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fail(QStringLiteral("cannot read the manifest %1").arg(path));
        return std::nullopt;
    }
    std::vector<ImageItem> items;
    QSet<QString> names;
    QTextStream in(&file);
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNumber;
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const auto where = QStringLiteral("%1:%2: ").arg(path).arg(lineNumber);
        QStringList columns = trimmed.split(QLatin1Char('|'));
        if (columns.size() != 5) {
            fail(where + QStringLiteral("expected 5 columns separated by '|'"));
            return std::nullopt;
        }
        for (QString& column : columns) {
            column = column.trimmed();
        }
        ImageItem item;
        item.file = columns[0];
        item.what = columns[4];
        // The source, optionally with a shadow: "x.svg shadow 10 4 10 16 #80000000"
        // (inset, offset, radius, samples, colour).
        const QStringList source = columns[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        item.source = source.value(0);
        if (source.size() > 1) {
            Shadow shadow;
            bool ok = source.size() == 7 && source[1] == QLatin1String("shadow");
            int* values[] = {&shadow.inset, &shadow.offset, &shadow.radius, &shadow.samples};
            for (int i = 0; i < 4; ++i) {
                bool number = false;
                *values[i] = source.value(i + 2).toInt(&number);
                ok = ok && number && *values[i] >= 0;
            }
            shadow.colour = QColor(source.value(6));
            if (!ok || !shadow.colour.isValid() || shadow.samples < 2 || shadow.inset < 1) {
                fail(where + QStringLiteral("bad source '%1' (x.svg shadow inset offset radius samples #aarrggbb)")
                                 .arg(columns[1]));
                return std::nullopt;
            }
            item.shadow = shadow;
        }
        // The rendered size, optionally followed by "@2x".
        QStringList rendered = columns[2].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        item.twice = rendered.size() == 2 && rendered[1] == QLatin1String("@2x");
        if (item.twice)
            columns[2] = rendered[0];
        if (names.contains(item.file) || (item.twice && names.contains(item.twiceFile()))) {
            fail(where + QStringLiteral("%1 is listed twice").arg(item.file));
            return std::nullopt;
        }
        names.insert(item.file);
        if (item.twice)
            names.insert(item.twiceFile());
        if (item.isIco() && (item.twice || item.shadow)) {
            fail(where + QStringLiteral("an .ico has neither @2x nor a shadow"));
            return std::nullopt;
        }
        if (!item.file.endsWith(QLatin1String(".png")) && !item.isIco()) {
            fail(where + QStringLiteral("%1: only .png and .ico are made").arg(item.file));
            return std::nullopt;
        }
        const auto shown = parseSizeF(columns[3]);
        if (!shown) {
            fail(where + QStringLiteral("bad on-screen size '%1'").arg(columns[3]));
            return std::nullopt;
        }
        item.shown = *shown;
        if (item.isIco()) {
            int previous = 257;
            for (const QString& token : columns[2].split(QLatin1Char(','))) {
                const QStringList parts = token.trimmed().split(QLatin1Char(':'));
                IcoEntry entry;
                bool ok = false;
                entry.size = parts[0].toInt(&ok);
                entry.source = parts.size() > 1 ? parts[1] : item.source;
                if (!ok || parts.size() > 2 || entry.size <= 0 || entry.size >= previous) {
                    fail(where
                         + QStringLiteral("bad ICO entry '%1' (sizes 1 to 256, largest first)")
                               .arg(token));
                    return std::nullopt;
                }
                previous = entry.size;
                item.entries.push_back(entry);
            }
        } else {
            const auto rendered = parseSize(columns[2]);
            if (!rendered) {
                fail(where + QStringLiteral("bad rendered size '%1'").arg(columns[2]));
                return std::nullopt;
            }
            item.rendered = *rendered;
        }
        items.push_back(item);
    }
    if (items.empty()) {
        fail(QStringLiteral("the manifest %1 lists no image").arg(path));
        return std::nullopt;
    }
    return items;
}

// Every font family an SVG asks for must be installed.
bool checkFonts(const QString& svgPath, const QByteArray& content)
{
    static const QRegularExpression familyPattern(
        QStringLiteral("font-family\\s*[=:]\\s*[\"']?([^\"';>]+)"));
    const QStringList installed = QFontDatabase().families();
    bool ok = true;
    auto matches = familyPattern.globalMatch(QString::fromUtf8(content));
    while (matches.hasNext()) {
        const QString family = matches.next().captured(1).trimmed();
        if (!installed.contains(family, Qt::CaseInsensitive)) {
            fail(QStringLiteral("%1: font family '%2' is not installed (fonts-dejavu-core has "
                                "DejaVu Sans)")
                     .arg(svgPath, family));
            ok = false;
        }
    }
    return ok;
}

std::optional<QImage> renderSvg(const QString& svgPath, const QSize& size)
{
    QFile file(svgPath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1").arg(svgPath));
        return std::nullopt;
    }
    const QByteArray content = file.readAll();
    if (!checkFonts(svgPath, content)) {
        return std::nullopt;
    }
    const int warningsBefore = g_svgWarnings;
    QSvgRenderer renderer(content);
    if (!renderer.isValid()) {
        fail(QStringLiteral("%1 is not a valid SVG").arg(svgPath));
        return std::nullopt;
    }
    // QSvgRenderer stretches the view box over the target, so a source whose
    // proportions differ from the output would come out distorted.
    const QRectF box = renderer.viewBoxF();
    const double wanted = double(size.width()) / size.height();
    const double drawn = box.width() / box.height();
    if (std::abs(wanted - drawn) / wanted > 0.015) {
        fail(QStringLiteral("%1: view box %2 x %3 does not have the proportions of %4 x %5")
                 .arg(svgPath)
                 .arg(box.width())
                 .arg(box.height())
                 .arg(size.width())
                 .arg(size.height()));
        return std::nullopt;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
                           | QPainter::TextAntialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    if (g_svgWarnings != warningsBefore) {
        fail(QStringLiteral("%1: Qt's SVG handler reported a problem (see above)").arg(svgPath));
        return std::nullopt;
    }
    return image;
}

// The shadowed image: the source rendered into the image less the inset, over
// the blurred and coloured copy of its alpha, moved by the offset. The blur
// is the one DropShadow runs in its shaders, sample for sample: samples / 2
// taps on each side, radius / (samples / 2) pixels apart, read with linear
// interpolation, weighted by a Gaussian of deviation (radius + 1) / 3.3333
// taps, first across, then down, each pass divided by the effect's
// thickness without spread (0.98) and clipped at 1.
std::optional<QImage> renderShadowed(const QString& svgPath, const QSize& size, const Shadow& shadow)
{
    const auto source = renderSvg(svgPath, size - QSize(2 * shadow.inset, 2 * shadow.inset));
    if (!source) {
        return std::nullopt;
    }
    const int taps = shadow.samples / 2;
    const double spread = double(shadow.radius) / taps;
    const double deviation = (shadow.radius + 1) / 3.3333;
    const double thickness = 0.98;
    std::vector<double> weights;
    double total = 0;
    for (int i = -taps; i <= taps; ++i) {
        weights.push_back(std::exp(-i * i / (2 * deviation * deviation)));
        total += weights.back();
    }
    // The alpha field, padded by the blur's reach on every side.
    const int reach = int(std::ceil(taps * spread)) + 1;
    const int width = source->width() + 2 * reach;
    const int height = source->height() + 2 * reach;
    std::vector<double> alpha(size_t(width) * size_t(height), 0.0);
    for (int y = 0; y < source->height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source->constScanLine(y));
        for (int x = 0; x < source->width(); ++x) {
            alpha[size_t(y + reach) * size_t(width) + size_t(x + reach)] = qAlpha(line[x]) / 255.0;
        }
    }
    const auto blur = [&](const std::vector<double>& in, int step, int length, int lines, int lineStep) {
        std::vector<double> out(in.size(), 0.0);
        for (int l = 0; l < lines; ++l) {
            for (int p = 0; p < length; ++p) {
                double sum = 0;
                for (int i = -taps; i <= taps; ++i) {
                    const double at = p + i * spread;
                    const int below = int(std::floor(at));
                    const double fraction = at - below;
                    const auto value = [&](int q) {
                        return q < 0 || q >= length ? 0.0 : in[size_t(l) * size_t(lineStep) + size_t(q) * size_t(step)];
                    };
                    sum += weights[size_t(i + taps)] * ((1 - fraction) * value(below) + fraction * value(below + 1));
                }
                out[size_t(l) * size_t(lineStep) + size_t(p) * size_t(step)] = std::min(1.0, sum / total / thickness);
            }
        }
        return out;
    };
    alpha = blur(blur(alpha, 1, width, height, width), width, height, width, 1);

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const int shift = shadow.inset + shadow.offset - reach;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int fx = x - shift;
            const int fy = y - shift;
            if (fx < 0 || fy < 0 || fx >= width || fy >= height) {
                continue;
            }
            const double a = shadow.colour.alphaF() * alpha[size_t(fy) * size_t(width) + size_t(fx)];
            line[x] = qRgba(qRound(shadow.colour.red() * a), qRound(shadow.colour.green() * a),
                            qRound(shadow.colour.blue() * a), qRound(255 * a));
        }
    }
    QPainter painter(&image);
    painter.drawImage(shadow.inset, shadow.inset, *source);
    return image;
}

std::optional<QByteArray> encodePng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return bytes;
}

// The ICO container: a directory of 16-byte entries followed by the images,
// each stored as a complete PNG file (allowed for every size since Windows
// Vista and read by Qt's ico plugin). A width or height of 256 is written as 0.
QByteArray icoContainer(const std::vector<std::pair<int, QByteArray>>& pngs)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    const auto count = quint16(pngs.size());
    stream << quint16(0) << quint16(1) << count;
    quint32 offset = 6 + 16 * quint32(count);
    for (const auto& [size, png] : pngs) {
        const auto side = quint8(size >= 256 ? 0 : size);
        stream << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
               << quint32(png.size()) << offset;
        offset += quint32(png.size());
    }
    for (const auto& entry : pngs) {
        stream.writeRawData(entry.second.constData(), int(entry.second.size()));
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    return true;
}

bool generate(const std::vector<ImageItem>& items, const QDir& svgDir, const QDir& outDir)
{
    bool ok = true;
    for (const ImageItem& item : items) {
        if (item.isIco()) {
            std::vector<std::pair<int, QByteArray>> pngs;
            for (const IcoEntry& entry : item.entries) {
                const auto image =
                    renderSvg(svgDir.filePath(entry.source), QSize(entry.size, entry.size));
                const auto png = image ? encodePng(*image) : std::nullopt;
                if (!png) {
                    ok = false;
                    break;
                }
                pngs.emplace_back(entry.size, *png);
            }
            if (pngs.size() != item.entries.size()) {
                continue;
            }
            ok = writeFile(outDir.filePath(item.file), icoContainer(pngs)) && ok;
            continue;
        }
        // The image, and for 2x screens the same at twice the size.
        for (int factor : {1, 2}) {
            if (factor == 2 && !item.twice) {
                break;
            }
            const QSize size = item.rendered * factor;
            const QString path = svgDir.filePath(item.source);
            const auto image = item.shadow ? renderShadowed(path, size, item.shadow->scaled(factor))
                                           : renderSvg(path, size);
            const auto png = image ? encodePng(*image) : std::nullopt;
            ok = png && writeFile(outDir.filePath(factor == 1 ? item.file : item.twiceFile()), *png) && ok;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char* argv[])
{
    // Rendering text needs a platform plugin; no display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    g_previousHandler = qInstallMessageHandler(messageHandler);
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders the program's images."));
    parser.addHelpOption();
    const QCommandLineOption manifestOption(QStringLiteral("manifest"),
                                            QStringLiteral("The list of images."),
                                            QStringLiteral("file"));
    const QCommandLineOption svgOption(QStringLiteral("svg-dir"),
                                       QStringLiteral("Folder of the SVG sources."),
                                       QStringLiteral("dir"));
    const QCommandLineOption outOption(QStringLiteral("out-dir"),
                                       QStringLiteral("Folder of the rendered images."),
                                       QStringLiteral("dir"));
    parser.addOptions({manifestOption, svgOption, outOption});
    parser.process(app);

    if (!parser.isSet(manifestOption) || !parser.isSet(outOption) || !parser.isSet(svgOption)) {
        fail(QStringLiteral("give --manifest, --svg-dir and --out-dir"));
        return 2;
    }
    const auto items = readManifest(parser.value(manifestOption));
    if (!items) {
        return 1;
    }
    const QDir outDir(parser.value(outOption));
    if (!QDir().mkpath(outDir.path())) {
        fail(QStringLiteral("cannot create %1").arg(outDir.path()));
        return 1;
    }
    return generate(*items, QDir(parser.value(svgOption)), outDir) ? 0 : 1;
}
