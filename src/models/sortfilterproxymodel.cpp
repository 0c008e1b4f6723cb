#include "models/sortfilterproxymodel.h"

#include "models/overviewmodel.h"

#include <QDateTime>
#include <QJSEngine>
#include <QQmlEngine>

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
    setFilterRegExp(QRegExp(filter, filterCaseSensitivity(),
                            static_cast<QRegExp::PatternSyntax>(filterSyntax())));
}

SortFilterProxyModel::FilterSyntax SortFilterProxyModel::filterSyntax() const
{
    return static_cast<FilterSyntax>(filterRegExp().patternSyntax());
}

void SortFilterProxyModel::setFilterSyntax(FilterSyntax syntax)
{
    setFilterRegExp(QRegExp(filterString(), filterCaseSensitivity(),
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
    const QRegExp expression = filterRegExp();
    if (expression.isEmpty())
        return true;
    QAbstractItemModel* model = sourceModel();
    if (model == nullptr)
        return true;
    if (m_filterRole.isEmpty() && m_filterRoleInt == 0) {
        const QHash<int, QByteArray> roles = roleNames();
        for (auto role = roles.cbegin(); role != roles.cend(); ++role) {
            const QModelIndex index = model->index(sourceRow, 0, sourceParent);
            if (model->data(index, role.key()).toString().contains(expression))
                return true;
        }
        return false;
    }
    const QModelIndex index = model->index(sourceRow, 0, sourceParent);
    if (!index.isValid())
        return true;
    // The role number as set; a role given only by name is the base's.
    const int role = m_filterRoleInt != 0 ? m_filterRoleInt : QSortFilterProxyModel::filterRole();
    return model->data(index, role).toString().contains(expression);
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
    const bool leftPinned = left.data(OverviewModel::PinRole).toBool();
    const bool rightPinned = right.data(OverviewModel::PinRole).toBool();
    const bool ascending = sortOrder() == Qt::AscendingOrder;

    // Pinned items first, whichever the order: the base class swaps the
    // arguments when it sorts in descending order.
    if (leftPinned && !rightPinned)
        return ascending;
    if (!leftPinned && rightPinned)
        return !ascending;
    const int order = compareValues(left.data(m_sortRoleInt), right.data(m_sortRoleInt));
    if (order != 0)
        return order < 0;
    // Equal items keep the order of the source, in either order. A full sort
    // is stable and would keep it anyway; but the base class re-places a
    // changed row after its equals, so without this the order of equal rows
    // would depend on which rows changed, and in which batches.
    return ascending ? left.row() < right.row() : left.row() > right.row();
}
