#pragma once

#include <QMetaType>
#include <QObject>
#include <QSharedPointer>
#include <QString>

/// One application or site that uses the network, as the user interface
/// knows it. A plain value class handled through QSharedPointer<AppItem>;
/// an item is identified by its id and type together.
class AppItem {
    Q_GADGET

public:
    enum AppType {
        APP_TYPE_NONE = 0,
        APP_TYPE_APPLICATION = 1,
        APP_TYPE_SITE = 2,
    };
    Q_ENUM(AppType)

    /// The icon of an item without a usable one of its own.
    static const QString kDefaultIcon;

    explicit AppItem(quint32 id);

    quint32 id() const { return m_id; }
    void setId(quint32 id) { m_id = id; }
    bool pin() const { return m_pin; }
    void setPin(bool pin) { m_pin = pin; }
    qint32 priority() const { return m_priority; }
    void setPriority(qint32 priority) { m_priority = priority; }
    /// The negated priority: -1 for critical down to -4 for low.
    qint32 adaptedPriority() const { return -m_priority; }
    quint32 downloadSpeed() const { return m_downloadSpeed; }
    void setDownloadSpeed(quint32 speed) { m_downloadSpeed = speed; }
    quint32 uploadSpeed() const { return m_uploadSpeed; }
    void setUploadSpeed(quint32 speed) { m_uploadSpeed = speed; }
    QString iconPath() const { return m_iconPath; }
    /// The icon rule: @p text becomes a file URL when it names an existing
    /// regular file that loads as an image, else the default icon.
    void setIconPath(const QString& text);
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    quint32 processClass() const { return m_processClass; }
    void setProcessClass(quint32 processClass) { m_processClass = processClass; }
    AppType type() const { return m_type; }
    void setType(AppType type) { m_type = type; }

    /// One debug line with every field.
    void debugPrint() const;

    /// Takes @p other's name and icon where they equal this item's, so that
    /// the two items share one copy of each text.
    void shareTexts(const AppItem& other);
    /// Takes every value of @p report, which gives up its texts.
    void takeReport(AppItem& report);
    /// Asks the processor to fetch the item's texts into the cache.
    void prefetchTexts() const;

private:
    quint32 m_id;
    bool m_pin = false;
    qint32 m_priority = 0;
    quint32 m_downloadSpeed = 0;
    quint32 m_uploadSpeed = 0;
    QString m_iconPath;
    QString m_name;
    quint32 m_processClass = 0;
    AppType m_type = APP_TYPE_NONE;
};

Q_DECLARE_METATYPE(QSharedPointer<AppItem>)
Q_DECLARE_METATYPE(AppItem::AppType)
