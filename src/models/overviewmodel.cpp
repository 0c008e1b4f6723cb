#include "models/overviewmodel.h"

#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>

namespace {
Q_LOGGING_CATEGORY(lcModels, "kestrix.models")
} // namespace

OverviewModel::OverviewModel(QObject* parent) : QAbstractListModel(parent)
{
    m_roleNames = {
        {AppIdRole, "appId"},
        {PinRole, "pin"},
        {PriorityRole, "priority"},
        {AdaptedPriorityRole, "adaptedPriority"},
        {TypeRole, "type"},
        {UploadSpeedRole, "uploadSpeed"},
        {DownloadSpeedRole, "downloadSpeed"},
        {AppIconRole, "appIcon"},
        {AppNameRole, "appName"},
        {AppProcessClassRole, "appProcessClass"},
    };
}

int OverviewModel::rowCount(const QModelIndex& parent) const
{
    // A list: rows have no children, or views walking it as a tree never stop.
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant OverviewModel::data(const QModelIndex& index, int role) const
{
    // No copy of the shared pointer: the proxies call this several times per
    // comparison, and a copy writes to every item's reference count.
    const int row = index.row();
    if (row < 0 || row >= m_rows.size())
        return {};
    const AppItem* item = m_rows.at(row).data();
    if (item == nullptr)
        return {};
    // The proxies read the rows in order, each a pass over all of them.
    if (row + 2 < m_rows.size())
        __builtin_prefetch(m_rows.at(row + 2).data());
    switch (role) {
    case AppIdRole:
        return QVariant::fromValue<uint>(item->id());
    case PinRole:
        return item->pin();
    case PriorityRole:
        return static_cast<int>(item->priority());
    case AdaptedPriorityRole:
        return static_cast<int>(item->adaptedPriority());
    case TypeRole:
        return static_cast<int>(item->type());
    case UploadSpeedRole:
        return QVariant::fromValue<uint>(item->uploadSpeed());
    case DownloadSpeedRole:
        return QVariant::fromValue<uint>(item->downloadSpeed());
    case AppIconRole:
        return item->iconPath();
    case AppNameRole:
        return item->name();
    case AppProcessClassRole:
        return QVariant::fromValue<uint>(item->processClass());
    default:
        return {};
    }
}

QHash<int, QByteArray> OverviewModel::roleNames() const
{
    return m_roleNames;
}

QSharedPointer<AppItem> OverviewModel::itemAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows.at(row);
}

int OverviewModel::indexOf(quint32 appId, int type) const
{
    // The service reports its table in the same order on every poll, the
    // order in which the rows were added: the row after the last one found
    // is tried first, which spares a lookup in the hash (a cache miss each,
    // in a large table).
    if (m_nextRow < m_rows.size()) {
        const AppItem& next = *m_rows.at(m_nextRow);
        if (next.id() == appId && next.type() == type)
            return m_nextRow++;
    }
    const int row = m_index.value(Key(appId, type), -1);
    if (row >= 0)
        m_nextRow = row + 1;
    return row;
}

void OverviewModel::prefetchRows(int row) const
{
    // Reports come in row order: the item after @p row is fetched while
    // the rows before it are handled, and the texts of @p row, whose item
    // was fetched by the previous call.
    if (row + 1 < m_rows.size()) {
        const AppItem* item = m_rows.at(row + 1).data();
        const char* bytes = reinterpret_cast<const char*>(item);
        // The counts just before the item, where QSharedPointer::create puts
        // them (a prefetch never faults: elsewhere it only fetches in vain).
        __builtin_prefetch(bytes - 16);
        __builtin_prefetch(bytes + sizeof(AppItem) - 1);
    }
    if (row >= 0 && row < m_rows.size())
        m_rows.at(row)->prefetchTexts();
}

void OverviewModel::reindexFrom(int row)
{
    for (int i = row; i < m_rows.size(); ++i)
        m_index.insert(Key(m_rows.at(i)->id(), m_rows.at(i)->type()), i);
}

void OverviewModel::add(QSharedPointer<AppItem> app)
{
    qCDebug(lcModels) << "OverviewModel::add";
    if (!app) {
        qCDebug(lcModels) << "OverviewModel::add nullpointer found";
        return;
    }
    const int found = indexOf(app->id(), app->type());
    if (found >= 0) {
        qCDebug(lcModels) << "OverviewModel::added item was found in list";
        qCDebug(lcModels) << "Added element";
        app->debugPrint();
        qCDebug(lcModels) << "element in list";
        m_rows.at(found)->debugPrint();
        return;
    }
    announceChanges();
    const int row = m_rows.size();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.append(app);
    m_index.insert(Key(app->id(), app->type()), row);
    endInsertRows();
}

void OverviewModel::change(QSharedPointer<AppItem> app)
{
    if (!app)
        return;
    const int row = indexOf(app->id(), app->type());
    if (row < 0) {
        qCDebug(lcModels) << "OverviewModel::change changed item not found in list";
        app->debugPrint();
        return;
    }
    // A report from the service never changes what the user chose.
    const QSharedPointer<AppItem>& current = m_rows.at(row);
    app->setPin(current->pin());
    app->setPriority(current->priority());
    // Texts the report repeats stay the row's own: the report's copies go at
    // once, and their memory serves the next report.
    app->shareTexts(*current);
    prefetchRows(row + 1);
    if (m_gathering > 0) {
        // The values, not the item: the row keeps its own item and takes
        // them when the poll ends, and the report's item goes at once, its
        // memory serving the next report.
        m_pending.push_back(PendingChange{row, *app});
        return;
    }
    m_rows[row] = app;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {});
}

void OverviewModel::beginChanges()
{
    ++m_gathering;
}

void OverviewModel::endChanges()
{
    if (m_gathering == 0)
        return;
    if (--m_gathering == 0)
        announceChanges();
}

void OverviewModel::announceChanges()
{
    if (m_pending.empty())
        return;
    // Taken first: a slot of dataChanged may change rows again.
    std::vector<PendingChange> pending;
    pending.swap(m_pending);
    // By row (the service reports in row order, so this is rarely needed);
    // two reports for one row stay in their order.
    const auto byRow = [](const auto& a, const auto& b) { return a.row < b.row; };
    if (!std::is_sorted(pending.begin(), pending.end(), byRow))
        std::stable_sort(pending.begin(), pending.end(), byRow);

    // A few rows are announced one by one, each as change() would have at
    // once: a sorted proxy then re-places just those rows. Many are
    // announced as one range, from the first to the last, after all are in
    // place: the proxies re-filter every row of the range and re-sort them
    // once, which beyond about a quarter of the rows costs less than
    // re-placing them one by one. (Not several ranges: a proxy re-sorts a
    // range against all its other rows, and a row replaced but not yet
    // announced among those would leave it out of order.)
    if (pending.size() * 4 <= static_cast<std::size_t>(m_rows.size())) {
        for (auto& entry : pending) {
            // Found again: a slot of an earlier dataChanged may have moved rows.
            const int row = indexOf(entry.report.id(), entry.report.type());
            if (row < 0)
                continue;
            m_rows[row]->takeReport(entry.report);
            const QModelIndex changed = index(row);
            emit dataChanged(changed, changed, {});
        }
    } else {
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (i + 1 < pending.size())
                prefetchRows(pending[i + 1].row);
            m_rows[pending[i].row]->takeReport(pending[i].report);
        }
        emit dataChanged(index(pending.front().row), index(pending.back().row), {});
    }
    if (m_pending.empty()) {   // the vector's room serves the next poll
        pending.clear();
        m_pending.swap(pending);
    }
}

void OverviewModel::remove(uint appId, AppItem::AppType type)
{
    const int row = indexOf(appId, type);
    if (row < 0) {
        qCDebug(lcModels) << "OverviewModel::remove item not found, id" << appId;
        return;
    }
    announceChanges();
    beginRemoveRows(QModelIndex(), row, row);
    m_index.remove(Key(appId, type));
    m_rows.removeAt(row);
    reindexFrom(row);
    endRemoveRows();
}

void OverviewModel::set(uint appId, uint type, bool pin, int priority)
{
    const int row = indexOf(appId, static_cast<int>(type));
    if (row < 0)
        return;
    announceChanges();
    const QSharedPointer<AppItem> item = m_rows.at(row);
    item->setPin(pin);
    item->setPriority(priority);
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {});
    emit appChanged(item);
}
