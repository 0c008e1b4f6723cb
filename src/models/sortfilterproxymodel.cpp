#include "models/sortfilterproxymodel.h"

#include "models/overviewmodel.h"

#include <QDateTime>
#include <QJSEngine>
#include <QQmlEngine>

#include <algorithm>
#include <optional>

SortFilterProxyModel::SortFilterProxyModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &SortFilterProxyModel::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &SortFilterProxyModel::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &SortFilterProxyModel::countChanged);
}

int SortFilterProxyModel::count() const
{
    return rowCount();
}

QObject* SortFilterProxyModel::source() const
{
    return sourceModel();
}

void SortFilterProxyModel::setSource(QObject* source)
{
    setSourceModel(qobject_cast<QAbstractItemModel*>(source));
}

void SortFilterProxyModel::setSortRole(const QByteArray& role)
{
    if (m_sortRole == role)
        return;
    m_sortRole = role;
    if (m_complete)
        QSortFilterProxyModel::setSortRole(roleKey(role));
}

void SortFilterProxyModel::setSortRoleInt(int role)
{
    if (m_sortRoleInt == role)
        return;
    m_sortRoleInt = role;
    if (m_complete)
        QSortFilterProxyModel::setSortRole(role);
}

void SortFilterProxyModel::setSortOrder(Qt::SortOrder order)
{
    // The base class skips a sort whose column and order are unchanged while
    // it sorts dynamically; resetting the column first makes every call sort.
    if (sortColumn() == 0 && QSortFilterProxyModel::sortOrder() == order)
        QSortFilterProxyModel::sort(-1, order);
    QSortFilterProxyModel::sort(0, order);
}

void SortFilterProxyModel::setFilterRole(const QByteArray& role)
{
    if (m_filterRole == role)
        return;
    m_filterRole = role;
    if (m_complete)
        QSortFilterProxyModel::setFilterRole(roleKey(role));
}

void SortFilterProxyModel::setFilterRoleInt(int role)
{
    if (m_filterRoleInt == role)
        return;
    m_filterRoleInt = role;
    if (m_complete)
        QSortFilterProxyModel::setFilterRole(role);
}

QString SortFilterProxyModel::filterString() const
{
    return filterRegExp().pattern();
}

void SortFilterProxyModel::setFilterString(const QString& filter)
{
    applyFilter(QRegExp(filter, filterCaseSensitivity(),
                        static_cast<QRegExp::PatternSyntax>(filterSyntax())));
}

void SortFilterProxyModel::applyFilter(const QRegExp& expression)
{
    // The base class filters again at once, maybe amid a change of the source.
    if (m_sourceChanging > 0)
        m_changeFilter = expression;
    setFilterRegExp(expression);
}

SortFilterProxyModel::FilterSyntax SortFilterProxyModel::filterSyntax() const
{
    return static_cast<FilterSyntax>(filterRegExp().patternSyntax());
}

void SortFilterProxyModel::setFilterSyntax(FilterSyntax syntax)
{
    applyFilter(QRegExp(filterString(), filterCaseSensitivity(),
                        static_cast<QRegExp::PatternSyntax>(syntax)));
}

QJSValue SortFilterProxyModel::get(int index) const
{
    QJSEngine* engine = qmlEngine(this);
    if (engine == nullptr)
        return QJSValue();   // not created by a QML engine: nothing to build with
    QJSValue object = engine->newObject();
    if (index < 0 || index >= count())
        return object;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto role = roles.cbegin(); role != roles.cend(); ++role) {
        object.setProperty(QString::fromUtf8(role.value()),
                           data(this->index(index, 0), role.key()).toString());
    }
    return object;
}

QHash<int, QByteArray> SortFilterProxyModel::roleNames() const
{
    if (QAbstractItemModel* model = sourceModel())
        return model->roleNames();
    return {};
}

void SortFilterProxyModel::setSourceModel(QAbstractItemModel* model)
{
    for (const QMetaObject::Connection& connection : qAsConst(m_sourceConnections))
        disconnect(connection);
    m_sourceConnections.clear();
    m_sourceChanging = 0;
    forgetSortKeys();
    // While the base class handles a dataChanged of the source, the sort
    // keys are kept and the filter expression is copied once: one handler
    // runs before the base class's (connected in setSourceModel), one after
    // it. Every other signal of the source may move rows, so it forgets the
    // keys too.
    if (model != nullptr) {
        m_sourceConnections << connect(model, &QAbstractItemModel::dataChanged, this, [this] {
            if (m_sourceChanging++ == 0)
                m_changeFilter = filterRegExp();
            forgetSortKeys();
        });
    }
    QSortFilterProxyModel::setSourceModel(model);
    if (model == nullptr)
        return;
    m_sourceConnections << connect(model, &QAbstractItemModel::dataChanged, this, [this] {
        --m_sourceChanging;
        forgetSortKeys();
    });
    const auto forget = [this] { forgetSortKeys(); };
    m_sourceConnections << connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, forget)
                        << connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, forget)
                        << connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, forget)
                        << connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, forget)
                        << connect(model, &QAbstractItemModel::modelAboutToBeReset, this, forget);
}

void SortFilterProxyModel::forgetSortKeys()
{
    ++m_keyStamp;
    // Only the rows read since: a key may hold a text, whose memory it keeps.
    for (const int row : m_keyedRows) {
        if (row < static_cast<int>(m_sortKeys.size()))
            m_sortKeys[static_cast<std::size_t>(row)].value = QVariant();
    }
    m_keyedRows.clear();
}

const SortFilterProxyModel::SortKey& SortFilterProxyModel::sortKey(const QModelIndex& index) const
{
    SortKey& key = m_sortKeys[static_cast<std::size_t>(index.row())];
    if (key.stamp != m_keyStamp || key.role != m_sortRoleInt) {
        key.stamp = m_keyStamp;
        key.role = m_sortRoleInt;
        key.pinned = index.data(OverviewModel::PinRole).toBool();
        key.value = index.data(m_sortRoleInt);
        m_keyedRows.push_back(index.row());
    }
    return key;
}

void SortFilterProxyModel::classBegin() {}

void SortFilterProxyModel::componentComplete()
{
    m_complete = true;
    QSortFilterProxyModel::setSortRole(m_sortRoleInt);
    if (!m_filterRole.isEmpty())
        QSortFilterProxyModel::setFilterRole(roleKey(m_filterRole));
}

int SortFilterProxyModel::roleKey(const QByteArray& role) const
{
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        if (it.value() == role)
            return it.key();
    }
    return -1;
}

bool SortFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    // Searched in place: a copy of a QRegExp allocates its match state, and
    // amid a change of the source this runs for every row it changed.
    std::optional<QRegExp> copied;   // not even constructed when not needed
    if (m_sourceChanging == 0)
        copied.emplace(filterRegExp());
    QRegExp& expression = copied ? *copied : m_changeFilter;
    if (expression.isEmpty())
        return true;
    QAbstractItemModel* model = sourceModel();
    if (model == nullptr)
        return true;
    if (m_filterRole.isEmpty() && m_filterRoleInt == 0) {
        const QHash<int, QByteArray> roles = roleNames();
        for (auto role = roles.cbegin(); role != roles.cend(); ++role) {
            const QModelIndex index = model->index(sourceRow, 0, sourceParent);
            if (expression.indexIn(model->data(index, role.key()).toString()) != -1)
                return true;
        }
        return false;
    }
    const QModelIndex index = model->index(sourceRow, 0, sourceParent);
    if (!index.isValid())
        return true;
    // The role number as set; a role given only by name is the base's.
    const int role = m_filterRoleInt != 0 ? m_filterRoleInt : QSortFilterProxyModel::filterRole();
    return expression.indexIn(model->data(index, role).toString()) != -1;
}

namespace {

template <typename T>
int threeWay(const T& left, const T& right)
{
    return left < right ? -1 : (right < left ? 1 : 0);
}

// -1, 0 or 1 as @p left sorts before, with or after @p right (two values of
// one role): by the value's own type where it has an order, else by the
// texts, locale-aware. Equal values give 0.
int compareValues(const QVariant& left, const QVariant& right)
{
    switch (static_cast<QMetaType::Type>(left.userType())) {
    case QMetaType::Int:
        return threeWay(left.toInt(), right.toInt());
    case QMetaType::UInt:
        return threeWay(left.toUInt(), right.toUInt());
    case QMetaType::LongLong:
        return threeWay(left.toLongLong(), right.toLongLong());
    case QMetaType::ULongLong:
        return threeWay(left.toULongLong(), right.toULongLong());
    case QMetaType::Double:
        return threeWay(left.toDouble(), right.toDouble());
    case QMetaType::QChar:
        return threeWay(left.toChar(), right.toChar());
    case QMetaType::QDate:
        return threeWay(left.toDate(), right.toDate());
    case QMetaType::QTime:
        return threeWay(left.toTime(), right.toTime());
    case QMetaType::QDateTime:
        return threeWay(left.toDateTime(), right.toDateTime());
    default: {
        const QString leftText = left.toString();
        const QString rightText = right.toString();
        if (leftText == rightText)
            return 0;
        return threeWay(QString::localeAwareCompare(leftText, rightText), 0);
    }
    }
}

} // namespace

bool SortFilterProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    SortKey leftRead;
    SortKey rightRead;
    const SortKey* leftKey = &leftRead;
    const SortKey* rightKey = &rightRead;
    if (m_sourceChanging > 0) {
        const auto rows = static_cast<std::size_t>(std::max(left.row(), right.row())) + 1;
        if (m_sortKeys.size() < rows)
            m_sortKeys.resize(std::max<std::size_t>(rows, static_cast<std::size_t>(left.model()->rowCount())));
        leftKey = &sortKey(left);
        rightKey = &sortKey(right);
    } else {
        leftRead.pinned = left.data(OverviewModel::PinRole).toBool();
        leftRead.value = left.data(m_sortRoleInt);
        rightRead.pinned = right.data(OverviewModel::PinRole).toBool();
        rightRead.value = right.data(m_sortRoleInt);
    }
    const bool leftPinned = leftKey->pinned;
    const bool rightPinned = rightKey->pinned;
    const bool ascending = sortOrder() == Qt::AscendingOrder;

    // Pinned items first, whichever the order: the base class swaps the
    // arguments when it sorts in descending order.
    if (leftPinned && !rightPinned)
        return ascending;
    if (!leftPinned && rightPinned)
        return !ascending;
    const int order = compareValues(leftKey->value, rightKey->value);
    if (order != 0)
        return order < 0;
    // Equal items keep the order of the source, in either order. A full sort
    // is stable and would keep it anyway; but the base class re-places a
    // changed row after its equals, so without this the order of equal rows
    // would depend on which rows changed, and in which batches.
    return ascending ? left.row() < right.row() : left.row() > right.row();
}
