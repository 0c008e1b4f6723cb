#pragma once

#include "models/appitem.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSharedPointer>
#include <QVector>

#include <utility>
#include <vector>

/// The list of applications and sites the views show, in the order they
/// were added. Fed by the service bridge (add, change, remove) and by the
/// user (set), whose changes leave through appChanged.
class OverviewModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum AppDataRole {
        AppIdRole = Qt::UserRole,   // 256
        PinRole,
        PriorityRole,
        AdaptedPriorityRole,
        TypeRole,
        UploadSpeedRole,
        DownloadSpeedRole,
        AppIconRole,
        AppNameRole,
        AppProcessClassRole,
        SizeRole,                   // 266, no role name
    };
    Q_ENUM(AppDataRole)

    explicit OverviewModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// A new item from the service; an item already present is kept.
    void add(QSharedPointer<AppItem> app);
    /// A changed item from the service; the row keeps its pin and priority.
    /// Announced at once, or by endChanges() while changes are gathered.
    void change(QSharedPointer<AppItem> app);
    /// Gathers the changes of one poll: until the matching endChanges(),
    /// change() keeps its item aside, and endChanges() puts the items in
    /// their rows and announces them: a few one by one, many with one
    /// dataChanged, from the first changed row to the last, so that a sorted
    /// proxy re-sorts once per poll instead of once per row. add, remove and
    /// set apply and announce what is gathered first.
    void beginChanges();
    void endChanges();
    Q_INVOKABLE void remove(uint appId, AppItem::AppType type);
    /// The user's pin and priority; always announced, changed or not.
    Q_INVOKABLE void set(uint appId, uint type, bool pin, int priority);

    /// The item of a row, or null outside the rows.
    QSharedPointer<AppItem> itemAt(int row) const;

signals:
    void appChanged(QSharedPointer<AppItem> app);

private:
    using Key = QPair<quint32, int>;

    /// The row with this id and type, or -1.
    int indexOf(quint32 appId, int type) const;
    void reindexFrom(int row);
    /// Fetches into the cache what handling @p row and the rows after it
    /// will read.
    void prefetchRows(int row) const;
    void announceChanges();

    QVector<QSharedPointer<AppItem>> m_rows;
    // id and type -> row. Rows are unique by id and type (add keeps the
    // first), so the index gives the same row a search from the top would.
    QHash<Key, int> m_index;
    mutable int m_nextRow = 0;       // where indexOf looks first
    QHash<int, QByteArray> m_roleNames;
    int m_gathering = 0;             // depth of beginChanges()
    // Reports gathered, row and values, applied and announced by endChanges().
    struct PendingChange {
        int row;
        AppItem report;
    };
    std::vector<PendingChange> m_pending;
};
