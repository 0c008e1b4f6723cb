#include "models/overviewmodel.h"
#include "models/sortfilterproxymodel.h"

#include <QAbstractItemModelTester>
#include <QJSValueIterator>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using M = OverviewModel;
using Proxy = std::unique_ptr<SortFilterProxyModel>;

namespace {

constexpr auto App = AppItem::APP_TYPE_APPLICATION;

struct Row {
    quint32 id;
    QString name;
    bool pin = false;
    int priority = 3;
    quint32 upload = 0;
    quint32 processClass = 0;
};

QSharedPointer<AppItem> makeItem(const Row& row)
{
    auto item = QSharedPointer<AppItem>::create(row.id);
    item->setType(App);
    item->setName(row.name);
    item->setPin(row.pin);
    item->setPriority(row.priority);
    item->setUploadSpeed(row.upload);
    item->setProcessClass(row.processClass);
    return item;
}

void fill(M& model, const QVector<Row>& rows)
{
    for (const Row& row : rows)
        model.add(makeItem(row));
}

QStringList names(const QAbstractItemModel& model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.index(row, 0).data(M::AppNameRole).toString();
    return result;
}

// Built as QML builds an element that declares only its source; the tests
// set the rest after completion.
Proxy completedProxy(QObject* source)
{
    auto proxy = std::make_unique<SortFilterProxyModel>();
    proxy->classBegin();
    proxy->setSource(source);
    proxy->componentComplete();
    return proxy;
}

Proxy sortedProxy(QObject* source, int role, Qt::SortOrder order = Qt::AscendingOrder)
{
    Proxy proxy = completedProxy(source);
    proxy->setSortRoleInt(role);
    proxy->setSortOrder(order);
    return proxy;
}

// Declared in QML over the context property "overview".
Proxy qmlProxy(QQmlEngine& engine, QObject* source, const QByteArray& properties)
{
    engine.rootContext()->setContextProperty("overview", source);
    QQmlComponent component(&engine);
    component.setData("import org.netvane.data 1.0\n"
                      "SortFilterProxyModel { source: overview; " + properties + " }", QUrl());
    Proxy proxy(qobject_cast<SortFilterProxyModel*>(component.create()));
    if (!proxy)
        qWarning() << component.errorString();
    return proxy;
}

// Process classes 0, 1, 10, 2, 20; priorities 3, 2, 3, 13, 3.
const QVector<Row> kRows{{1, "zero"}, {2, "one", false, 2, 0, 1}, {3, "ten", false, 3, 0, 10},
                         {4, "two", false, 13, 0, 2}, {5, "twenty", false, 3, 0, 20}};

} // namespace

class TestSortFilterProxyModel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pinnedComeFirstInBothOrders();
    void equalValuesKeepSourceOrder();
    void numbersSortNumerically();
    void namesCompareLocaleAware();
    void setSortOrderAlwaysResorts();
    void filterSearchesTextOfFilterRole();
    void filterWithoutRoleSearchesAllRoles();
    void rolePropertiesBeforeAndAfterCompletion();
    void filterDeclaredInQml_data();
    void filterDeclaredInQml();
    void sourceThatIsNoModelLeavesProxyEmpty();
    void getHandsRowToQmlAsStrings();
    void countFollowsRowsAndFilter();
    void chainFollowsPriorityChange();
    void modelContractHoldsThroughChanges();
};

void TestSortFilterProxyModel::initTestCase()
{
    // The locale the names follow; set before the first comparison.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qmlRegisterType<SortFilterProxyModel>("org.netvane.data", 1, 0, "SortFilterProxyModel");
}

void TestSortFilterProxyModel::pinnedComeFirstInBothOrders()
{
    M model;
    fill(model,
         {{1, "Bravo"}, {2, "Delta"}, {3, "Alpha", true}, {4, "Charlie"}, {5, "Echo", true}});
    const Proxy proxy = sortedProxy(&model, M::AppNameRole);
    QCOMPARE(names(*proxy), (QStringList{"Alpha", "Echo", "Bravo", "Charlie", "Delta"}));
    proxy->setSortOrder(Qt::DescendingOrder);
    QCOMPARE(proxy->sortOrder(), Qt::DescendingOrder);
    QCOMPARE(names(*proxy), (QStringList{"Echo", "Alpha", "Delta", "Charlie", "Bravo"}));
}

void TestSortFilterProxyModel::equalValuesKeepSourceOrder()
{
    M model;
    fill(model, {{1, "A", false, 3}, {2, "B", false, 2}, {3, "C", false, 3}, {4, "D", false, 1},
                 {5, "E", false, 3}, {6, "F", true, 3}, {7, "G", true, 3}});
    const Proxy proxy = sortedProxy(&model, M::PriorityRole);
    QCOMPARE(names(*proxy), (QStringList{"F", "G", "D", "B", "A", "C", "E"}));
    proxy->setSortOrder(Qt::DescendingOrder);
    QCOMPARE(names(*proxy), (QStringList{"F", "G", "A", "C", "E", "B", "D"}));
}

void TestSortFilterProxyModel::numbersSortNumerically()
{
    M model;
    fill(model, {{1, "1000", false, 2, 1000}, {2, "900", false, 13, 900},
                 {3, "4000000000", false, 1, 4000000000u}, {4, "50", false, 4, 50}});
    const Proxy proxy = sortedProxy(&model, M::UploadSpeedRole);   // unsigned
    QCOMPARE(names(*proxy), (QStringList{"50", "900", "1000", "4000000000"}));
    proxy->setSortRoleInt(M::AdaptedPriorityRole);   // signed: -13 < -4 < -2 < -1
    QCOMPARE(names(*proxy), (QStringList{"900", "50", "1000", "4000000000"}));
}

void TestSortFilterProxyModel::namesCompareLocaleAware()
{
    const QString emile = QString::fromUtf8("Émile");
    M model;
    fill(model, {{1, "bravo"}, {2, emile}, {3, "Alpha"}, {4, "Zulu"}, {5, "charlie"}});
    const Proxy proxy = sortedProxy(&model, M::AppNameRole);
    QCOMPARE(names(*proxy), (QStringList{"Alpha", "bravo", "charlie", emile, "Zulu"}));
}

void TestSortFilterProxyModel::setSortOrderAlwaysResorts()
{
    M model;
    fill(model, {{1, "a", false, 3, 10}, {2, "b", false, 3, 20}, {3, "c", false, 3, 30}});
    const Proxy proxy = sortedProxy(&model, M::UploadSpeedRole);
    QCOMPARE(names(*proxy), (QStringList{"a", "b", "c"}));
    model.itemAt(0)->setUploadSpeed(99);   // changed without a signal
    proxy->setSortOrder(Qt::AscendingOrder);
    QCOMPARE(names(*proxy), (QStringList{"b", "c", "a"}));
}

void TestSortFilterProxyModel::filterSearchesTextOfFilterRole()
{
    M model;
    fill(model, kRows);
    const Proxy proxy = completedProxy(&model);
    proxy->setFilterRoleInt(M::AppProcessClassRole);
    QCOMPARE(proxy->count(), 5);   // no pattern yet
    const QList<QPair<QString, QStringList>> searches{
        {"0", {"zero", "ten", "twenty"}}, {"", {"zero", "one", "ten", "two", "twenty"}}};
    for (const auto& [pattern, found] : searches) {
        proxy->setFilterString(pattern);
        QCOMPARE(names(*proxy), found);
    }
    proxy->setFilterRoleInt(M::PriorityRole);
    proxy->setFilterString("3");
    QCOMPARE(names(*proxy), (QStringList{"zero", "ten", "two", "twenty"}));
    proxy->setFilterString("^3$");
    QCOMPARE(names(*proxy), (QStringList{"zero", "ten", "twenty"}));
    // The syntax keeps the pattern and the pattern keeps the syntax.
    QCOMPARE(proxy->filterSyntax(), SortFilterProxyModel::RegExp);
    proxy->setFilterSyntax(SortFilterProxyModel::FixedString);
    QCOMPARE(proxy->count(), 0);
    proxy->setFilterString("1");
    QCOMPARE(proxy->filterSyntax(), SortFilterProxyModel::FixedString);
    QCOMPARE(names(*proxy), QStringList{"two"});
}

void TestSortFilterProxyModel::filterWithoutRoleSearchesAllRoles()
{
    M model;
    fill(model, {{42, "Firefox"}, {7, "Mail", true}, {8, "true", false, 3, 4242}});
    const Proxy proxy = completedProxy(&model);
    const QList<QPair<QString, QStringList>> searches{
        {"fox", {"Firefox"}}, {"^42$", {"Firefox"}}, {"4242", {"true"}},
        {"^true$", {"Mail", "true"}}, {"nowhere", {}}};
    for (const auto& [pattern, found] : searches) {
        proxy->setFilterString(pattern);
        QCOMPARE(names(*proxy), found);
    }
    proxy->setFilterRole("appName");   // now only the name
    proxy->setFilterString("^true$");
    QCOMPARE(names(*proxy), QStringList{"true"});
}

void TestSortFilterProxyModel::rolePropertiesBeforeAndAfterCompletion()
{
    M model;
    fill(model, kRows);
    SortFilterProxyModel proxy;
    const QSortFilterProxyModel& base = proxy;
    proxy.classBegin();
    proxy.setSource(&model);
    proxy.setSortRoleInt(M::UploadSpeedRole);
    proxy.setSortRole("priority");
    proxy.setFilterRole("appName");
    QCOMPARE(proxy.sortRoleInt(), int(M::UploadSpeedRole));
    QCOMPARE(proxy.sortRole(), QByteArray("priority"));
    QCOMPARE(proxy.filterRole(), QByteArray("appName"));
    QCOMPARE(base.sortRole(), int(Qt::DisplayRole));
    QCOMPARE(base.filterRole(), int(Qt::DisplayRole));

    proxy.componentComplete();
    QCOMPARE(base.sortRole(), int(M::UploadSpeedRole));
    QCOMPARE(base.filterRole(), int(M::AppNameRole));

    proxy.setSortRoleInt(M::PriorityRole);
    QCOMPARE(base.sortRole(), int(M::PriorityRole));
    proxy.setSortRole("type");
    QCOMPARE(base.sortRole(), int(M::TypeRole));
    proxy.setSortRole("noSuchRole");
    QCOMPARE(base.sortRole(), -1);
    proxy.setFilterRoleInt(M::AppProcessClassRole);
    QCOMPARE(base.filterRole(), int(M::AppProcessClassRole));
    proxy.setFilterRole("noSuchRole");
    QCOMPARE(base.filterRole(), -1);
}

void TestSortFilterProxyModel::filterDeclaredInQml_data()
{
    // The list view's proxy; QML sets the properties in any order.
    QTest::addColumn<QByteArray>("properties");
    QTest::newRow("role number, pattern") << QByteArray("filterRoleInt: 265; filterString: \"0\"");
    QTest::newRow("pattern, role number") << QByteArray("filterString: \"0\"; filterRoleInt: 265");
    QTest::newRow("role name")
        << QByteArray("filterRole: \"appProcessClass\"; filterString: \"0\"");
}

void TestSortFilterProxyModel::filterDeclaredInQml()
{
    QFETCH(QByteArray, properties);
    M model;
    fill(model, kRows);
    QQmlEngine engine;
    const Proxy proxy = qmlProxy(engine, &model, properties);
    QVERIFY(proxy);
    QCOMPARE(names(*proxy), (QStringList{"zero", "ten", "twenty"}));
}

void TestSortFilterProxyModel::sourceThatIsNoModelLeavesProxyEmpty()
{
    M model;
    fill(model, kRows);
    QObject notAModel;
    const Proxy proxy = completedProxy(&model);
    QSignalSpy counted(proxy.get(), &SortFilterProxyModel::countChanged);
    proxy->setSource(&notAModel);
    QCOMPARE(proxy->source(), nullptr);
    QCOMPARE(proxy->count(), 0);
    QVERIFY(proxy->roleNames().isEmpty());
    QVERIFY(!counted.isEmpty());
}

void TestSortFilterProxyModel::getHandsRowToQmlAsStrings()
{
    M model;
    fill(model, {{2, "Mail", false, 3, 1500}, {4000000000u, "Zeta", true, 1}});
    QQmlEngine engine;
    const Proxy proxy = qmlProxy(engine, &model, "sortRoleInt: 264; sortOrder: Qt.AscendingOrder");
    QVERIFY(proxy);
    for (int outside : {-1, 2}) {
        const QJSValue empty = proxy->get(outside);
        QVERIFY(empty.isObject());
        QVERIFY(!QJSValueIterator(empty).hasNext());
    }
    const QJSValue first = proxy->get(0);   // the pinned Zeta, source row 1
    for (const QByteArray& name : model.roleNames())
        QVERIFY2(first.property(QString::fromUtf8(name)).isString(), name.constData());
    QCOMPARE(first.property("pin").toString(), QString("true"));
    QCOMPARE(first.property("appId").toString(), QString("4000000000"));
    QCOMPARE(first.property("adaptedPriority").toString(), QString("-1"));
    QCOMPARE(proxy->get(1).property("pin").toString(), QString("false"));
    QCOMPARE(proxy->get(1).property("uploadSpeed").toString(), QString("1500"));
}

void TestSortFilterProxyModel::countFollowsRowsAndFilter()
{
    M model;
    fill(model, {{1, "a"}, {2, "b"}});
    const Proxy proxy = completedProxy(&model);
    proxy->setFilterRoleInt(M::AppProcessClassRole);
    proxy->setFilterString("0");
    QSignalSpy counted(proxy.get(), &SortFilterProxyModel::countChanged);
    model.add(makeItem({3, "c"}));
    QCOMPARE(counted.count(), 1);
    QCOMPARE(proxy->count(), 3);
    model.add(makeItem({4, "system", false, 3, 0, 1}));   // filtered out
    QCOMPARE(counted.count(), 1);
    model.remove(1, App);
    QCOMPARE(counted.count(), 2);
    QCOMPARE(proxy->count(), 2);
    proxy->setFilterString(".*");
    QCOMPARE(counted.count(), 3);
    QCOMPARE(proxy->count(), 3);
    proxy->setFilterString("^1$");
    QVERIFY(counted.count() > 3);
    QCOMPARE(proxy->count(), 1);
}

void TestSortFilterProxyModel::chainFollowsPriorityChange()
{
    M model;
    fill(model, {{1, "Mail"}, {2, "Browser", false, 2}, {3, "Updater", false, 2, 0, 1},
                 {4, "Player"}, {5, "Chat", false, 2}});
    const Proxy visible = completedProxy(&model);
    visible->setFilterRoleInt(M::AppProcessClassRole);
    visible->setFilterString("0");
    auto level = [&visible](int priority) {
        Proxy row = sortedProxy(visible.get(), M::AppNameRole);
        row->setFilterRoleInt(M::PriorityRole);
        row->setFilterString(QString("^%1$").arg(priority));
        return row;
    };
    const Proxy high = level(2);
    const Proxy normal = level(3);
    QCOMPARE(names(*high), (QStringList{"Browser", "Chat"}));
    QCOMPARE(names(*normal), (QStringList{"Mail", "Player"}));
    QSignalSpy highCount(high.get(), &SortFilterProxyModel::countChanged);
    QSignalSpy normalCount(normal.get(), &SortFilterProxyModel::countChanged);

    model.set(4, App, false, 2);
    QCOMPARE(names(*high), (QStringList{"Browser", "Chat", "Player"}));
    QCOMPARE(names(*normal), QStringList{"Mail"});
    QCOMPARE(highCount.count() + normalCount.count(), 2);
    model.set(1, App, true, 2);
    QCOMPARE(names(*high), (QStringList{"Mail", "Browser", "Chat", "Player"}));
    QCOMPARE(normal->count(), 0);
    model.set(3, App, false, 3);   // a system application stays hidden
    QCOMPARE(normal->count(), 0);
}

void TestSortFilterProxyModel::modelContractHoldsThroughChanges()
{
    M model;
    fill(model, kRows);
    const Proxy proxy = completedProxy(&model);
    QAbstractItemModelTester tester(proxy.get(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy->setFilterRoleInt(M::AppProcessClassRole);
    proxy->setFilterString("0");
    proxy->setSortRoleInt(M::AppNameRole);
    proxy->setSortOrder(Qt::DescendingOrder);
    model.add(makeItem({6, "alpha"}));
    model.add(makeItem({7, "hidden", false, 3, 0, 7}));
    model.set(3, App, true, 1);
    model.change(makeItem({6, "omega"}));
    model.remove(1, App);
    proxy->setSortOrder(Qt::AscendingOrder);
    proxy->setFilterString(".*");
    model.remove(7, App);
    proxy->setSortRoleInt(M::UploadSpeedRole);
    model.remove(3, App);
    QCOMPARE(proxy->count(), 4);
}

QTEST_GUILESS_MAIN(TestSortFilterProxyModel)
#include "tst_sortfilterproxymodel.moc"
