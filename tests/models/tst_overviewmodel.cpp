#include "messagecapture.h"
#include "models/overviewmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using Item = QSharedPointer<AppItem>;
using M = OverviewModel;

namespace {

constexpr auto App = AppItem::APP_TYPE_APPLICATION;
constexpr auto Site = AppItem::APP_TYPE_SITE;

Item makeItem(quint32 id, AppItem::AppType type, const QString& name, int priority = 3,
              bool pin = false)
{
    auto item = Item::create(id);
    item->setType(type);
    item->setName(name);
    item->setPriority(priority);
    item->setPin(pin);
    return item;
}

QStringList debugLines(const Item& item)
{
    MessageCapture log;
    item->debugPrint();
    return log.lines();
}

// The row that set() reaches for this id and type (its values unchanged),
// seen through dataChanged and checked against appChanged; -1 for none.
int rowReachedBySet(M& model, uint id, uint type)
{
    bool pin = false;
    int priority = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.itemAt(row)->id() == id && uint(model.itemAt(row)->type()) == type) {
            pin = model.itemAt(row)->pin();
            priority = model.itemAt(row)->priority();
        }
    }
    QSignalSpy changed(&model, &M::dataChanged);
    QSignalSpy announced(&model, &M::appChanged);
    model.set(id, type, pin, priority);
    if (changed.count() != 1 || announced.count() != 1)
        return changed.count() + announced.count() == 0 ? -1 : -2;
    const int row = changed.at(0).at(0).toModelIndex().row();
    return announced.at(0).at(0).value<Item>() == model.itemAt(row) ? row : -3;
}

} // namespace

class TestOverviewModel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<Item>(); }
    void rolesNamesAndValueTypes();
    void dataOutsideRolesAndRowsIsInvalid();
    void addAppendsApplicationAndSiteWithSameId();
    void addDuplicateKeepsRowAndLogsBothItems();
    void addNullIsLogged();
    void changeKeepsPinAndPriorityAndTakesTheRest();
    void changeOfUnknownItemAddsNothing();
    void removeClosesGapKeepsRowsFindableAndLogsUnknown();
    void setWritesRowItemAlwaysAnnouncesIgnoresUnknown();
    void rowsHaveNoChildren();
    void modelContractHoldsThroughScript();
};

void TestOverviewModel::rolesNamesAndValueTypes()
{
    M model;
    QCOMPARE(model.roleNames(),
             (QHash<int, QByteArray>{{256, "appId"}, {257, "pin"}, {258, "priority"},
                                     {259, "adaptedPriority"}, {260, "type"},
                                     {261, "uploadSpeed"}, {262, "downloadSpeed"},
                                     {263, "appIcon"}, {264, "appName"},
                                     {265, "appProcessClass"}}));
    auto item = makeItem(4000000000u, App, "Mail", 4, true);
    item->setUploadSpeed(3000000000u);
    item->setDownloadSpeed(900);
    item->setProcessClass(20);
    model.add(item);
    const QList<QPair<int, QVariant>> expected{
        {M::AppIdRole, QVariant::fromValue(4000000000u)}, {M::PinRole, true},
        {M::PriorityRole, 4}, {M::AdaptedPriorityRole, -4}, {M::TypeRole, 1},
        {M::UploadSpeedRole, QVariant::fromValue(3000000000u)},
        {M::DownloadSpeedRole, QVariant::fromValue(900u)},
        {M::AppIconRole, QString("qrc:/res/default_app_icon.png")},
        {M::AppNameRole, QString("Mail")}, {M::AppProcessClassRole, QVariant::fromValue(20u)}};
    for (const auto& [role, value] : expected) {
        const QVariant actual = model.data(model.index(0), role);
        QVERIFY2(actual.userType() == value.userType() && actual == value,
                 qPrintable(QString("role %1: %2").arg(role).arg(actual.typeName())));
    }
}

void TestOverviewModel::dataOutsideRolesAndRowsIsInvalid()
{
    struct Probe : M {   // hands out indexes the list itself would refuse
        QModelIndex rawIndex(int row) const { return createIndex(row, 0); }
    } model;
    model.add(makeItem(1, App, "Mail"));
    for (int role : {int(Qt::DisplayRole), int(Qt::EditRole), 255, int(M::SizeRole), 267})
        QVERIFY2(!model.data(model.index(0), role).isValid(), qPrintable(QString::number(role)));
    QCOMPARE(int(M::SizeRole), 266);
    QVERIFY(!model.data(model.rawIndex(1), M::AppIdRole).isValid());
    QVERIFY(!model.data(model.rawIndex(-1), M::AppIdRole).isValid());
}

void TestOverviewModel::addAppendsApplicationAndSiteWithSameId()
{
    M model;
    QSignalSpy inserted(&model, &M::rowsInserted);
    model.add(makeItem(5, App, "Player"));
    model.add(makeItem(5, Site, "player.example"));
    model.add(makeItem(2, App, "Editor"));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(inserted.count(), 3);
    QVERIFY(!inserted.at(2).at(0).toModelIndex().isValid());
    QCOMPARE(inserted.at(2).at(1).toInt(), 2);   // one row, the last
    QCOMPARE(inserted.at(2).at(2).toInt(), 2);
    QCOMPARE(model.itemAt(1)->name(), QString("player.example"));
    QCOMPARE(rowReachedBySet(model, 5, Site), 1);
}

void TestOverviewModel::addDuplicateKeepsRowAndLogsBothItems()
{
    M model;
    const Item first = makeItem(5, App, "First", 2, true);
    const Item second = makeItem(5, App, "Second", 4, false);
    second->setUploadSpeed(77);
    model.add(first);
    const QStringList expected = QStringList{"OverviewModel::add",
                                             "OverviewModel::added item was found in list",
                                             "Added element"}
                                 + debugLines(second) + QStringList{"element in list"}
                                 + debugLines(first);
    QSignalSpy inserted(&model, &M::rowsInserted);
    QSignalSpy changed(&model, &M::dataChanged);
    MessageCapture log;
    model.add(second);
    QCOMPARE(log.lines(), expected);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.itemAt(0), first);
    QCOMPARE(model.data(model.index(0), M::AppNameRole).toString(), QString("First"));
    QCOMPARE(model.data(model.index(0), M::UploadSpeedRole).toUInt(), 0u);
    QCOMPARE(inserted.count() + changed.count(), 0);
}

void TestOverviewModel::addNullIsLogged()
{
    M model;
    QSignalSpy inserted(&model, &M::rowsInserted);
    MessageCapture log;
    model.add(Item());
    QCOMPARE(log.lines(),
             (QStringList{"OverviewModel::add", "OverviewModel::add nullpointer found"}));
    QCOMPARE(model.rowCount() + inserted.count(), 0);
}

void TestOverviewModel::changeKeepsPinAndPriorityAndTakesTheRest()
{
    M model;
    model.add(makeItem(1, App, "Before"));
    model.add(makeItem(9, App, "Old", 1, true));
    model.add(makeItem(9, Site, "Neighbour"));
    const Item report = makeItem(9, App, "New", 4, false);
    report->setUploadSpeed(900);
    report->setProcessClass(3);
    QSignalSpy changed(&model, &M::dataChanged);
    QSignalSpy announced(&model, &M::appChanged);
    QSignalSpy inserted(&model, &M::rowsInserted);

    model.change(report);
    const QModelIndex row = model.index(1);
    QCOMPARE(model.itemAt(1), report);
    QCOMPARE(model.data(row, M::PinRole).toBool(), true);
    QCOMPARE(model.data(row, M::PriorityRole).toInt(), 1);
    QCOMPARE(model.data(row, M::AppNameRole).toString(), QString("New"));
    QCOMPARE(model.data(row, M::UploadSpeedRole).toUInt(), 900u);
    QCOMPARE(model.data(row, M::AppProcessClassRole).toUInt(), 3u);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), row);
    QCOMPARE(changed.at(0).at(1).toModelIndex(), row);
    QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>());
    QCOMPARE(announced.count() + inserted.count(), 0);
    QCOMPARE(model.itemAt(2)->name(), QString("Neighbour"));

    model.change(makeItem(9, App, "New"));   // an equal report is announced too
    QCOMPARE(changed.count(), 2);
}

void TestOverviewModel::changeOfUnknownItemAddsNothing()
{
    M model;
    model.add(makeItem(9, App, "Known"));
    const Item stranger = makeItem(9, Site, "Stranger");
    const QStringList expected =
        QStringList{"OverviewModel::change changed item not found in list"} + debugLines(stranger);
    QSignalSpy changed(&model, &M::dataChanged);
    QSignalSpy inserted(&model, &M::rowsInserted);
    MessageCapture log;
    model.change(stranger);
    QCOMPARE(log.lines(), expected);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.itemAt(0)->name(), QString("Known"));
    QCOMPARE(changed.count() + inserted.count(), 0);
}

void TestOverviewModel::removeClosesGapKeepsRowsFindableAndLogsUnknown()
{
    M model;
    for (quint32 id = 1; id <= 5; ++id)
        model.add(makeItem(id, App, QString("app%1").arg(id)));
    model.add(makeItem(3, Site, "site3"));
    QSignalSpy removed(&model, &M::rowsRemoved);
    model.remove(2, App);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 1);
    QCOMPARE(removed.at(0).at(2).toInt(), 1);
    model.remove(3, Site);   // the last row
    model.remove(1, App);    // the first row
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.itemAt(0)->name(), QString("app3"));
    QCOMPARE(rowReachedBySet(model, 3, App), 0);
    QCOMPARE(rowReachedBySet(model, 4, App), 1);
    QCOMPARE(rowReachedBySet(model, 5, App), 2);
    QCOMPARE(rowReachedBySet(model, 3, Site), -1);

    model.add(makeItem(1, App, "app1 again"));   // back as a new last row
    QCOMPARE(rowReachedBySet(model, 1, App), 3);
    model.remove(4, App);
    QCOMPARE(rowReachedBySet(model, 5, App), 1);
    QCOMPARE(rowReachedBySet(model, 1, App), 2);
    model.remove(5, App);
    QCOMPARE(model.itemAt(1)->name(), QString("app1 again"));

    removed.clear();
    MessageCapture log;
    model.remove(4, App);    // gone already
    model.remove(1, Site);   // the id of an application
    QCOMPARE(log.lines(), (QStringList{"OverviewModel::remove item not found, id 4",
                                       "OverviewModel::remove item not found, id 1"}));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(removed.count(), 0);
}

void TestOverviewModel::setWritesRowItemAlwaysAnnouncesIgnoresUnknown()
{
    M model;
    model.add(makeItem(1, App, "Other"));
    const Item item = makeItem(9, Site, "Target", 3, false);
    model.add(item);
    QSignalSpy changed(&model, &M::dataChanged);
    QSignalSpy announced(&model, &M::appChanged);
    for (int round = 1; round <= 2; ++round) {   // the second repeats the values
        model.set(9, Site, true, 2);
        QCOMPARE(model.itemAt(1), item);
        QCOMPARE(item->pin(), true);
        QCOMPARE(item->priority(), 2);
        QCOMPARE(changed.count(), round);
        QCOMPARE(changed.last().at(0).toModelIndex(), model.index(1));
        QCOMPARE(changed.last().at(1).toModelIndex(), model.index(1));
        QCOMPARE(changed.last().at(2).value<QVector<int>>(), QVector<int>());
        QCOMPARE(announced.count(), round);
        QCOMPARE(announced.last().at(0).value<Item>(), item);
    }

    MessageCapture log;   // unknown id or type: nothing at all
    model.set(9, App, false, 4);
    model.set(8, Site, false, 4);
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(changed.count() + announced.count(), 4);
    QCOMPARE(item->pin(), true);
    QCOMPARE(item->priority(), 2);
}

void TestOverviewModel::rowsHaveNoChildren()
{
    // A flat list: views, match() and proxies walking the tree must stop here.
    M model;
    model.add(makeItem(1, App, "Mail"));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowCount(model.index(0)), 0);
}

void TestOverviewModel::modelContractHoldsThroughScript()
{
    M model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (quint32 id = 1; id <= 6; ++id)
        model.add(makeItem(id, id % 2 ? App : Site, QString("item%1").arg(id)));
    model.add(makeItem(3, App, "duplicate"));
    model.change(makeItem(4, Site, "item4 renamed"));
    model.set(5, App, true, 1);
    model.remove(1, App);
    model.remove(6, Site);
    model.change(makeItem(5, App, "item5 renamed"));
    model.set(2, Site, false, 4);
    model.add(makeItem(1, App, "back"));
    for (const auto& [id, type] : QVector<QPair<uint, AppItem::AppType>>{
             {3, App}, {2, Site}, {4, Site}, {5, App}, {1, App}})
        model.remove(id, type);
    QCOMPARE(model.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestOverviewModel)
#include "tst_overviewmodel.moc"
