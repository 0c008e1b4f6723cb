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

bool SortFilterProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QVariant leftValue = sourceModel()->data(left, m_sortRoleInt);
    const QVariant rightValue = sourceModel()->data(right, m_sortRoleInt);
    const bool leftPinned = sourceModel()->data(left, OverviewModel::PinRole).toBool();
    const bool rightPinned = sourceModel()->data(right, OverviewModel::PinRole).toBool();
    const bool ascending = sortOrder() == Qt::AscendingOrder;

    // Pinned items first, whichever the order: the base class swaps the
    // arguments when it sorts in descending order.
    if (leftPinned && !rightPinned)
        return ascending;
    if (!leftPinned && rightPinned)
        return !ascending;
    if (leftValue == rightValue)
        return false;
    switch (static_cast<QMetaType::Type>(leftValue.userType())) {
    case QMetaType::Int:
        return leftValue.toInt() < rightValue.toInt();
    case QMetaType::UInt:
        return leftValue.toUInt() < rightValue.toUInt();
    case QMetaType::LongLong:
        return leftValue.toLongLong() < rightValue.toLongLong();
    case QMetaType::ULongLong:
        return leftValue.toULongLong() < rightValue.toULongLong();
    case QMetaType::Double:
        return leftValue.toDouble() < rightValue.toDouble();
    case QMetaType::QChar:
        return leftValue.toChar() < rightValue.toChar();
    case QMetaType::QDate:
        return leftValue.toDate() < rightValue.toDate();
    case QMetaType::QTime:
        return leftValue.toTime() < rightValue.toTime();
    case QMetaType::QDateTime:
        return leftValue.toDateTime() < rightValue.toDateTime();
    default:
        return QString::localeAwareCompare(leftValue.toString(), rightValue.toString()) < 0;
    }
}
