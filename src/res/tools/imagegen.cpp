// imagegen: renders the program's SVG sources into the PNG and ICO files of
// the resource bundle, and draws a contact sheet of the results.
//
//   imagegen --manifest images.txt --svg-dir svg --out-dir images
//   imagegen --manifest images.txt --out-dir images --contact-sheet sheet.png
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
#include <QCommandLineParser>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
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

struct ImageItem {
    QString file;                   // name in the bundle, e.g. "close.png"
    QString source;                 // SVG source in the source folder
    QSize rendered;                 // pixel size of a PNG
    std::vector<IcoEntry> entries;  // the images of an ICO, largest first
    QSizeF shown;                   // size the scenes draw it at
    QString what;                   // what it shows

    bool isIco() const { return file.endsWith(QLatin1String(".ico")); }
};

const QColor kNavy(0x00, 0x12, 0x32);
const QColor kLabel(0xD3, 0xD3, 0xD3);
const QColor kCyan(0x00, 0xD8, 0xFF);

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
        item.source = columns[1];
        item.what = columns[4];
        if (names.contains(item.file)) {
            fail(where + QStringLiteral("%1 is listed twice").arg(item.file));
            return std::nullopt;
        }
        names.insert(item.file);
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
        QByteArray bytes;
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
            bytes = icoContainer(pngs);
        } else {
            const auto image = renderSvg(svgDir.filePath(item.source), item.rendered);
            const auto png = image ? encodePng(*image) : std::nullopt;
            if (!png) {
                ok = false;
                continue;
            }
            bytes = *png;
        }
        ok = writeFile(outDir.filePath(item.file), bytes) && ok;
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Contact sheet

// All images of a file (an ICO holds several), as the program reads them.
std::vector<QImage> loadAll(const QString& path)
{
    std::vector<QImage> images;
    QImageReader reader(path);
    do {
        QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        images.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    } while (reader.jumpToNextImage());
    return images;
}

// What the screen shows: the image scaled smoothly to its on-screen size.
QImage onScreen(const QImage& image, const QSize& size)
{
    if (image.size() == size) {
        return image;
    }
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QFont labelFont(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// Places boxes left to right, wrapping at the sheet's width.
class Flow {
public:
    Flow(int left, int top, int width) : m_left(left), m_x(left), m_y(top), m_width(width) {}

    QPoint place(const QSize& size)
    {
        if (m_x > m_left && m_x + size.width() > m_left + m_width) {
            m_x = m_left;
            m_y += m_rowHeight + kGap;
            m_rowHeight = 0;
        }
        const QPoint at(m_x, m_y);
        m_x += size.width() + kGap;
        m_rowHeight = std::max(m_rowHeight, size.height());
        return at;
    }

    int bottom() const { return m_y + m_rowHeight; }

private:
    static constexpr int kGap = 24;
    int m_left;
    int m_x;
    int m_y;
    int m_width;
    int m_rowHeight = 0;
};

struct Tile {
    QString label;
    QImage image;  // already at the size it is drawn
};

// Draws tiles with their labels under them; returns the section's bottom.
int drawTiles(QPainter* painter, const std::vector<Tile>& tiles, int top, int width)
{
    const QFont font = labelFont(12);
    const QFontMetrics metrics(font);
    Flow flow(20, top, width - 40);
    for (const Tile& tile : tiles) {
        const int labelWidth = metrics.horizontalAdvance(tile.label);
        const QSize box(std::max(tile.image.width(), labelWidth),
                        tile.image.height() + 6 + metrics.height());
        const QPoint at = flow.place(box);
        painter->drawImage(at, tile.image);
        // A faint frame shows where the image's transparent edges are.
        painter->setPen(QColor(255, 255, 255, 40));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRect(at, tile.image.size()).adjusted(-1, -1, 0, 0));
        painter->setPen(kLabel);
        painter->setFont(font);
        painter->drawText(at + QPoint(0, tile.image.height() + 6 + metrics.ascent()), tile.label);
    }
    return flow.bottom();
}

int drawHeading(QPainter* painter, const QString& text, int top)
{
    painter->setPen(kCyan);
    painter->setFont(labelFont(18, true));
    painter->drawText(QPoint(20, top + 22), text);
    return top + 40;
}

QSize roundSize(const QSizeF& size)
{
    return QSize(int(std::lround(size.width())), int(std::lround(size.height())));
}

const QImage* findImage(const std::vector<std::pair<QString, QImage>>& images, const QString& name)
{
    for (const auto& entry : images) {
        if (entry.first == name) {
            return &entry.second;
        }
    }
    return nullptr;
}

// Draws an image into a rectangle of the main area, as a scene would.
void place(QPainter* painter, const std::vector<std::pair<QString, QImage>>& images,
           const QString& name, const QRectF& rect, bool keepAspectAtBottom = false)
{
    const QImage* image = findImage(images, name);
    if (!image) {
        return;
    }
    QRectF target = rect;
    if (keepAspectAtBottom) {
        const QSizeF fitted = QSizeF(image->size()).scaled(rect.size(), Qt::KeepAspectRatio);
        target = QRectF(rect.left(), rect.bottom() - fitted.height(), fitted.width(),
                        fitted.height());
    }
    painter->drawImage(target, *image);
}

// The main area as the scenes lay it out: title bar, header, one priority
// row with tiles, the footer's logo, rate arrows and help button.
QImage scenePreview(const std::vector<std::pair<QString, QImage>>& images, const QString& vendor,
                   bool longModel)
{
    const QSizeF area(1260, 880);
    QImage preview(roundSize(area), QImage::Format_ARGB32_Premultiplied);
    preview.fill(QColor(60, 60, 60));
    QPainter p(&preview);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
                     | QPainter::TextAntialiasing);
    place(&p, images, QStringLiteral("background.png"), QRectF(QPointF(0, 0), area));

    // Title bar: 8 % of the height.
    const double barW = area.width();
    const double barH = area.height() * 0.08;
    const QRectF logo(40, 30, barW * 0.30, barH * 0.75);
    place(&p, images, QStringLiteral("velmora_command_center.png"), logo);
    const QRectF plate(logo.right() + 40, 30, barW * 0.44, barH * 0.80);
    // Models of 11 to 19 characters take the wide plate and 45 % of its width.
    const QString model =
        longModel ? QStringLiteral("KX-2500 PRO 10GBE") : QStringLiteral("KX-2500");
    const QString plateImage = longModel ? QStringLiteral("adapter_model_bg_wide.png")
                                         : QStringLiteral("adapter_model_bg.png");
    place(&p, images, plateImage, plate);
    p.setPen(QColor(0xEF, 0xEF, 0xEF));
    p.setFont(labelFont(20));
    const double textW = plate.width() * (longModel ? 0.45 : 0.30);
    const QString elided = QFontMetricsF(p.font()).elidedText(model, Qt::ElideRight, textW);
    p.drawText(QRectF(plate.center().x() - textW / 2, plate.top(), textW, plate.height()),
               Qt::AlignCenter, elided);
    const double rowW = barW * 0.10;
    const double cell = rowW / 3;
    // The middle one as it looks under the pointer.
    const QStringList buttons{QStringLiteral("settings.png"),
                              QStringLiteral("minimize_hovered.png"), QStringLiteral("close.png")};
    for (int i = 0; i < buttons.size(); ++i) {
        const QImage* image = findImage(images, buttons[i]);
        if (image) {
            const double x = barW - 10 - rowW + i * (cell + 5);
            p.drawImage(QPointF(x, cell - image->height()), *image);
        }
    }

    // Header: 10 % of the height.
    const double headerTop = barH;
    const double headerH = area.height() * 0.10;
    const double lineY = headerTop + headerH - 10;
    const double inset = area.width() * 0.07;
    p.setPen(QColor(0xD3, 0xD3, 0xD3));
    p.drawLine(QPointF(inset, lineY), QPointF(area.width() - inset, lineY));
    const QRectF tabs(inset, lineY - 10 - 30, 90, 30);
    p.setPen(QPen(QColor(0xD3, 0xD3, 0xD3), 2));
    p.drawRect(QRectF(tabs.left() + 1, tabs.top() + 1, 28, 28));
    place(&p, images, QStringLiteral("grid_view.png"),
          QRectF(tabs.left() + 1, tabs.top() + 1, 28, 28));
    place(&p, images, QStringLiteral("list_view.png"),
          QRectF(tabs.left() + 31, tabs.top() + 1, 28, 28));
    p.setFont(labelFont(12));
    p.setPen(Qt::white);
    const QString sortText = QStringLiteral("SORTING BY: NAME(A-Z)");
    const double sortTextW = QFontMetricsF(p.font()).horizontalAdvance(sortText);
    const double sortRight = area.width() - inset;
    const QRectF sortIcon(sortRight - 15, lineY - 10 - 15, 15, 15);
    p.drawText(QRectF(sortIcon.left() - 5 - sortTextW, sortIcon.top(), sortTextW, 15),
               Qt::AlignVCenter, sortText);
    place(&p, images, QStringLiteral("sort.png"), sortIcon);

    // One priority row of the grid.
    const double footerTop = area.height() - 15 - 180;
    const double viewLeft = area.width() * 0.05;
    const double viewW = area.width() * 0.90;
    const double viewTop = headerTop + headerH;
    const double rowH = (footerTop - viewTop) / 4 - 2;
    p.setPen(QColor(0xD3, 0xD3, 0xD3));
    const QString title = QStringLiteral("CRITICAL PRIORITY APPS");
    const QRectF titleRect(viewLeft + viewW * 0.02, viewTop, 300, 16);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, title);
    const double titleW = QFontMetricsF(p.font()).horizontalAdvance(title);
    p.setOpacity(0.4);
    place(&p, images, QStringLiteral("help.png"),
          QRectF(titleRect.left() + titleW + 5, viewTop + 1, 14.4, 14.4));
    p.setOpacity(1.0);
    const double stripTop = viewTop + 18;
    const double stripH = rowH - 18;
    const double margin = viewW * 0.02 - 5;
    const double listW = viewW * 0.96;
    const double tileW = 0.2 * listW - 0.8 * 10;
    const double tileH = 0.8 * rowH;
    const double listLeft = viewLeft + margin + 5;
    const std::pair<QString, double> arrows[] = {
        {QStringLiteral("arrow_left.png"), viewLeft},
        {QStringLiteral("arrow_right.png"), listLeft + listW + 5}};
    for (const auto& [name, x] : arrows) {
        const QImage* image = findImage(images, name);
        if (image) {
            p.drawImage(QPointF(x + (margin - image->width()) / 2,
                                stripTop + (stripH - image->height()) / 2),
                        *image);
        }
    }
    QLinearGradient frame(0, 0, 0, 1);
    frame.setCoordinateMode(QGradient::ObjectMode);
    frame.setColorAt(0, Qt::white);
    frame.setColorAt(0.5, Qt::gray);
    frame.setColorAt(1, Qt::white);
    for (int i = 0; i < 5; ++i) {
        const QRectF tile(listLeft + i * (tileW + 10), stripTop + (stripH - tileH) / 2, tileW,
                          tileH);
        p.setPen(Qt::NoPen);
        p.setBrush(frame);
        p.drawRect(tile);
        p.setBrush(kNavy);
        p.drawRect(tile.adjusted(3, 3, -3, -3));
        place(&p, images, QStringLiteral("rearrange.png"),
              QRectF(tile.right() - 15, tile.bottom() - 15, 10, 10));
        if (i < 2) {
            const double barH8 = tileH / 8;
            const double uploadTop = tile.bottom() - 10 - barH8 - 5 - barH8;
            const QRectF iconBox(tile.left() + 10, tile.top() + 5, 50,
                                 uploadTop - 5 - tile.top() - 5);
            p.setPen(QColor(0xD3, 0xD3, 0xD3));
            p.setBrush(Qt::NoBrush);
            p.drawRect(iconBox);
            place(&p, images, QStringLiteral("default_app_icon.png"),
                  iconBox.adjusted(1, 1, -1, -1));
            p.setFont(labelFont(13));
            p.drawText(QRectF(iconBox.right() + 5, iconBox.top(), tileW - 80, 16),
                       Qt::AlignLeft | Qt::AlignTop,
                       i == 0 ? QStringLiteral("GAME") : QStringLiteral("BROWSER"));
            const double pinSide =
                std::min((tile.right() - 5 - iconBox.right() - 5) / 4, iconBox.height() / 2);
            place(&p, images, i == 0 ? QStringLiteral("pin_on.png") : QStringLiteral("pin_off.png"),
                  QRectF(iconBox.right() + 5, uploadTop - 5 - pinSide, pinSide, pinSide));
            for (int bar = 0; bar < 2; ++bar) {
                const double top = bar == 0 ? uploadTop : tile.bottom() - 10 - barH8;
                const double side = bar == 0 ? tileH / 10 : 10;
                QLinearGradient fill(0, top, 0, top + barH8);
                fill.setColorAt(0, QColor(0x55, 0x55, 0x55));
                fill.setColorAt(1, QColor(0x11, 0x11, 0x11));
                p.setPen(Qt::NoPen);
                p.setBrush(fill);
                p.drawRoundedRect(QRectF(tile.left() + side, top, tileW - 2 * side, barH8), 2, 2);
            }
        }
    }

    // Footer: vendor logo, rate display and help button.
    const double footerW = area.width();
    p.setPen(QColor(0xD3, 0xD3, 0xD3));
    p.drawLine(QPointF(footerW * 0.07, footerTop), QPointF(footerW * 0.93, footerTop));
    place(&p, images, vendor,
          QRectF(20, footerTop + 180 - 10 - 180 * 0.8, footerW * 0.13, 180 * 0.8), true);
    place(&p, images, QStringLiteral("help.png"),
          QRectF(footerW - 23 - 25, footerTop + 180 - 8 - 25, 25, 25));
    const QImage* arrow = findImage(images, QStringLiteral("rate_arrow.png"));
    if (arrow) {
        p.setFont(labelFont(15));
        p.setPen(QColor(0x1D, 0xCC, 0xFD));
        const QString value = QStringLiteral("12.4 | 3.1");
        const double valueW = QFontMetricsF(p.font()).horizontalAdvance(value);
        const double x = footerW / 2 - (valueW + 30) / 2;
        const double y = footerTop + 80;
        p.drawImage(QRectF(x, y, 10, 15), *arrow);
        p.drawText(QPointF(x + 15, y + 14), value);
        p.drawImage(QRectF(x + 20 + valueW, y, 10, 15), arrow->mirrored(true, true));
    }
    p.end();
    return preview;
}

bool contactSheet(const std::vector<ImageItem>& items, const QDir& outDir,
                  const QString& sheetPath)
{
    std::vector<std::pair<QString, QImage>> images;  // each at its on-screen size
    std::vector<Tile> atSize;
    std::vector<Tile> magnified;
    std::vector<Tile> vendors;
    bool ok = true;
    for (const ImageItem& item : items) {
        const std::vector<QImage> loaded = loadAll(outDir.filePath(item.file));
        if (loaded.empty()) {
            fail(QStringLiteral("cannot read %1").arg(outDir.filePath(item.file)));
            ok = false;
            continue;
        }
        const QSize shown = roundSize(item.shown);
        const QImage screen = onScreen(loaded.front(), shown);
        images.emplace_back(item.file, screen);
        const QString label =
            QStringLiteral("%1 %2x%3").arg(item.file).arg(shown.width()).arg(shown.height());
        if (item.file == QLatin1String("background.png")) {
            continue;  // it is the preview's backdrop below
        }
        atSize.push_back({label, screen});
        if (item.isIco()) {
            // The small entries as the tray draws them, one to one.
            for (std::size_t i = 1; i < loaded.size(); ++i) {
                const QImage& entry = loaded[i];
                const QString entryLabel =
                    QStringLiteral("%1 %2").arg(item.file).arg(entry.width());
                if (entry.width() <= 64) {
                    atSize.push_back({entryLabel, entry});
                }
                if (entry.width() <= 32) {
                    magnified.push_back({entryLabel + QStringLiteral(" x4"),
                                         entry.scaled(entry.size() * 4, Qt::IgnoreAspectRatio,
                                                      Qt::FastTransformation)});
                }
            }
        }
        if (item.file.endsWith(QLatin1String("_logo.png"))) {
            // The footer's box: 13 % of 1260 by 80 % of 180, aspect kept.
            const QSize fitted = loaded.front().size().scaled(QSize(164, 144), Qt::KeepAspectRatio);
            vendors.push_back({item.file, onScreen(loaded.front(), fitted)});
        }
        // The pixels the screen shows, four times larger.
        const int scale = 4;
        if (shown.width() * scale <= 2400) {
            magnified.push_back({label + QStringLiteral(" x4"),
                                 screen.scaled(shown * scale, Qt::IgnoreAspectRatio,
                                               Qt::FastTransformation)});
        }
    }

    const int width = 2400;
    QImage sheet(width, 9000, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(kNavy);
    QPainter painter(&sheet);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                           | QPainter::SmoothPixmapTransform);
    int y = 10;
    y = drawHeading(&painter, QStringLiteral("At their on-screen size"), y);
    y = drawTiles(&painter, atSize, y, width) + 30;
    y = drawHeading(&painter,
                    QStringLiteral("Vendor logos in the footer's box (164 x 144, aspect kept)"), y);
    y = drawTiles(&painter, vendors, y, width) + 30;
    y = drawHeading(&painter, QStringLiteral("The main area (1260 x 880) with the images in place"),
                    y);
    const QImage preview = scenePreview(images, QStringLiteral("velmora_logo.png"), false);
    painter.drawImage(QPoint(20, y), preview);
    // Beside it the other plate and a long vendor name: title bar and footer.
    const QImage preview2 = scenePreview(images, QStringLiteral("supermicro_logo.png"), true);
    painter.drawImage(QPoint(40 + preview.width(), y), preview2.copy(0, 0, 1100, 100));
    painter.drawImage(QPoint(40 + preview.width(), y + 120), preview2.copy(0, 640, 1100, 240));
    y += preview.height() + 30;
    y = drawHeading(&painter, QStringLiteral("On-screen pixels magnified 4x"), y);
    y = drawTiles(&painter, magnified, y, width) + 20;
    painter.end();

    const QImage cropped = sheet.copy(0, 0, width, std::min(y, sheet.height()));
    if (!cropped.save(sheetPath, "PNG")) {
        fail(QStringLiteral("cannot write %1").arg(sheetPath));
        return false;
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
    const QCommandLineOption sheetOption(QStringLiteral("contact-sheet"),
                                         QStringLiteral("Draw the rendered images into one PNG."),
                                         QStringLiteral("file"));
    parser.addOptions({manifestOption, svgOption, outOption, sheetOption});
    parser.process(app);

    if (!parser.isSet(manifestOption) || !parser.isSet(outOption)
        || (parser.isSet(svgOption) == parser.isSet(sheetOption))) {
        fail(QStringLiteral("give --manifest, --out-dir and either --svg-dir or --contact-sheet"));
        return 2;
    }
    const auto items = readManifest(parser.value(manifestOption));
    if (!items) {
        return 1;
    }
    const QDir outDir(parser.value(outOption));
    if (parser.isSet(sheetOption)) {
        return contactSheet(*items, outDir, parser.value(sheetOption)) ? 0 : 1;
    }
    if (!QDir().mkpath(outDir.path())) {
        fail(QStringLiteral("cannot create %1").arg(outDir.path()));
        return 1;
    }
    return generate(*items, QDir(parser.value(svgOption)), outDir) ? 0 : 1;
}
