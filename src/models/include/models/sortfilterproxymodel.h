#pragma once

#include <QJSValue>
#include <QQmlParserStatus>
#include <QRegExp>
#include <QSortFilterProxyModel>
#include <QVector>

#include <vector>

/// The QML-side sorting and filtering stage over OverviewModel (or over
/// another of its kind): pinned items first in either order, values compared
/// by their type, a regular-expression search in one role or in all, and
/// get() handing a whole row to QML as an object of strings.
class SortFilterProxyModel : public QSortFilterProxyModel, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)

    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QObject* source READ source WRITE setSource)
    Q_PROPERTY(QByteArray sortRole READ sortRole WRITE setSortRole)
    Q_PROPERTY(int sortRoleInt READ sortRoleInt WRITE setSortRoleInt)
    Q_PROPERTY(Qt::SortOrder sortOrder READ sortOrder WRITE setSortOrder)
    Q_PROPERTY(QByteArray filterRole READ filterRole WRITE setFilterRole)
    Q_PROPERTY(int filterRoleInt READ filterRoleInt WRITE setFilterRoleInt)
    Q_PROPERTY(QString filterString READ filterString WRITE setFilterString)
    Q_PROPERTY(FilterSyntax filterSyntax READ filterSyntax WRITE setFilterSyntax)

public:
    enum FilterSyntax {
        RegExp = QRegExp::RegExp,
        Wildcard = QRegExp::Wildcard,
        FixedString = QRegExp::FixedString,
    };
    Q_ENUM(FilterSyntax)

    explicit SortFilterProxyModel(QObject* parent = nullptr);

    int count() const;
    QObject* source() const;
    void setSource(QObject* source);
    QByteArray sortRole() const { return m_sortRole; }
    void setSortRole(const QByteArray& role);
    int sortRoleInt() const { return m_sortRoleInt; }
    void setSortRoleInt(int role);
    /// Always re-sorts, also with the current order.
    void setSortOrder(Qt::SortOrder order);
    QByteArray filterRole() const { return m_filterRole; }
    void setFilterRole(const QByteArray& role);
    int filterRoleInt() const { return m_filterRoleInt; }
    void setFilterRoleInt(int role);
    QString filterString() const;
    void setFilterString(const QString& filter);
    FilterSyntax filterSyntax() const;
    void setFilterSyntax(FilterSyntax syntax);

    /// Row @p index as an object whose properties are the role names and whose
    /// values are the row's data as strings; empty outside the rows.
    Q_INVOKABLE QJSValue get(int index) const;

    QHash<int, QByteArray> roleNames() const override;
    void setSourceModel(QAbstractItemModel* model) override;
    void classBegin() override;
    void componentComplete() override;

signals:
    void countChanged();

protected:
    int roleKey(const QByteArray& role) const;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    // While the base class handles one dataChanged of the source (a poll's
    // changes, announced together), lessThan reads each source row once and
    // keeps what it read here: a re-sort compares every row many times, and
    // reading the rows' items (scattered in memory) each time would cost
    // most of it. Meanwhile filterAcceptsRow uses one copy of the filter
    // expression (m_changeFilter), which filterString and filterSyntax keep
    // up to date.
    struct SortKey {
        quint32 stamp = 0;   // valid while equal to m_keyStamp
        int role = 0;
        bool pinned = false;
        QVariant value;
    };
    const SortKey& sortKey(const QModelIndex& index) const;
    void forgetSortKeys();
    void applyFilter(const QRegExp& expression);

    bool m_complete = false;
    QByteArray m_sortRole;
    QByteArray m_filterRole;
    int m_sortRoleInt = 0;
    int m_filterRoleInt = 0;
    int m_sourceChanging = 0;        // depth inside the source's dataChanged
    mutable QRegExp m_changeFilter;
    quint32 m_keyStamp = 1;
    mutable std::vector<SortKey> m_sortKeys;
    mutable std::vector<int> m_keyedRows;
    QVector<QMetaObject::Connection> m_sourceConnections;
};
