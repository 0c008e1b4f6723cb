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
        if (m_entries.size() > 4096)
            m_entries.clear();
        m_entries.insert(path, Entry{size, modified, image});
        return image;
    }

private:
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
    QString candidate = QDir::toNativeSeparators(text);
    if (!text.startsWith(QLatin1String("file:"))) {
        // An absolute Unix path gives file:///path; a drive path keeps the
        // three slashes in front of the drive letter.
        candidate.prepend(candidate.startsWith(QLatin1Char('/')) ? QStringLiteral("file://")
                                                                 : QStringLiteral("file:///"));
    }
    const QFileInfo file(text);
    const bool usable = !text.isEmpty() && file.exists() && file.isFile()
                        && imageChecks().loadsAsImage(file);
    m_iconPath = usable ? candidate : kDefaultIcon;
}

void AppItem::debugPrint() const
{
    qCDebug(lcModels) << "AppItem::debugPrint id " << m_id << " name " << m_name << " type "
                      << static_cast<int>(m_type) << " priority " << m_priority << " iconPath " << m_iconPath
                      << " downloadSpeed " << m_downloadSpeed << " process class " << m_processClass
                      << " uploadSpeed " << m_uploadSpeed;
}
