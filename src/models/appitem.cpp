#include "models/appitem.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMutex>

const QString AppItem::kDefaultIcon = QStringLiteral("qrc:/res/default_app_icon.png");

namespace {
Q_LOGGING_CATEGORY(lcModels, "kestrix.models")

// Whether a file loads as an image, remembered per path as long as the file
// keeps its size and time: the service reports every application's record
// again about once a second, and decoding every icon each time would cost
// more than everything else a poll does.
class ImageCheckCache {
public:
    bool loadsAsImage(const QFileInfo& file)
    {
        const QString path = file.filePath();
        const qint64 size = file.size();
        const qint64 modified = file.lastModified().toMSecsSinceEpoch();
        QMutexLocker lock(&m_lock);
        const auto found = m_entries.constFind(path);
        if (found != m_entries.constEnd() && found->size == size && found->modified == modified)
            return found->image;
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        const bool image = !reader.read().isNull();
        // Forgotten all at once, and only past what any table holds: a
        // cache smaller than the icons in use would forget each one before
        // its next report, and decode every icon at every poll.
        if (m_entries.size() >= kMostEntries)
            m_entries.clear();
        m_entries.insert(path, Entry{size, modified, image});
        return image;
    }

private:
    static constexpr int kMostEntries = 1 << 16;
    struct Entry {
        qint64 size;
        qint64 modified;
        bool image;
    };
    QMutex m_lock;
    QHash<QString, Entry> m_entries;
};

ImageCheckCache& imageChecks()
{
    static ImageCheckCache cache;
    return cache;
}

} // namespace

AppItem::AppItem(quint32 id) : m_id(id), m_iconPath(kDefaultIcon) {}

void AppItem::setIconPath(const QString& text)
{
    if (text == m_iconPath)
        return;
    if (text.isEmpty()) {   // names no file
        m_iconPath = kDefaultIcon;
        return;
    }
    const QFileInfo file(text);
    if (!file.exists() || !file.isFile() || !imageChecks().loadsAsImage(file)) {
        m_iconPath = kDefaultIcon;
        return;
    }
    QString candidate = QDir::toNativeSeparators(text);
    if (!text.startsWith(QLatin1String("file:"))) {
        // An absolute Unix path gives file:///path; a drive path keeps the
        // three slashes in front of the drive letter.
        candidate.prepend(candidate.startsWith(QLatin1Char('/')) ? QStringLiteral("file://")
                                                                 : QStringLiteral("file:///"));
    }
    m_iconPath = candidate;
}

void AppItem::debugPrint() const
{
    qCDebug(lcModels) << "AppItem::debugPrint id " << m_id << " name " << m_name << " type "
                      << static_cast<int>(m_type) << " priority " << m_priority << " iconPath " << m_iconPath
                      << " downloadSpeed " << m_downloadSpeed << " process class " << m_processClass
                      << " uploadSpeed " << m_uploadSpeed;
}

void AppItem::shareTexts(const AppItem& other)
{
    if (m_name == other.m_name)
        m_name = other.m_name;
    if (m_iconPath == other.m_iconPath)
        m_iconPath = other.m_iconPath;
}

void AppItem::takeReport(AppItem& report)
{
    // A text both share stays as it is: assigning it would write to its
    // counts, which in a large model are far from anything touched lately.
    if (m_name.constData() != report.m_name.constData())
        m_name.swap(report.m_name);
    if (m_iconPath.constData() != report.m_iconPath.constData())
        m_iconPath.swap(report.m_iconPath);
    report.m_name = QString();
    report.m_iconPath = QString();
    m_id = report.m_id;
    m_pin = report.m_pin;
    m_priority = report.m_priority;
    m_downloadSpeed = report.m_downloadSpeed;
    m_uploadSpeed = report.m_uploadSpeed;
    m_processClass = report.m_processClass;
    m_type = report.m_type;
}

void AppItem::prefetchTexts() const
{
    __builtin_prefetch(m_name.constData());
    __builtin_prefetch(m_iconPath.constData());
}
