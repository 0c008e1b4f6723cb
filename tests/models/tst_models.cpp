// The presentation models: OverviewModel and the sorting and filtering
// proxies the scenes stack on it, each kept honest by QAbstractItemModelTester.

#include "models/overviewmodel.h"
#include "models/sortfilterproxymodel.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using M = OverviewModel;
using Proxy = std::unique_ptr<SortFilterProxyModel>;

namespace {

constexpr auto App = AppItem::APP_TYPE_APPLICATION;
constexpr auto Site = AppItem::APP_TYPE_SITE;

QSharedPointer<AppItem> makeItem(quint32 id, const QString& name, int priority = 3, bool pin = false,
                                 AppItem::AppType type = App)
{
    auto item = QSharedPointer<AppItem>::create(id);
    item->setType(type);
    item->setName(name);
    item->setPriority(priority);
    item->setPin(pin);
    return item;
}

QStringList names(const QAbstractItemModel& model, int role = M::AppNameRole)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.index(row, 0).data(role).toString();
    return result;
}

// Declared in QML as the scenes declare it, over the context property @p name.
Proxy qmlProxy(QQmlEngine& engine, const QString& name, QObject* source, const QString& properties)
{
    engine.rootContext()->setContextProperty(name, source);
    QQmlComponent component(&engine);
    component.setData(QStringLiteral("import org.netvane.data 1.0\nSortFilterProxyModel { source: %1; %2 }").arg(name, properties).toUtf8(), QUrl());
    Proxy proxy(qobject_cast<SortFilterProxyModel*>(component.create()));
    if (!proxy)
        qWarning() << component.errorString();
    return proxy;
}

// The scenes' proxies over @p model: the list, and each priority row's two stages (the second first).
std::vector<Proxy> sceneProxies(QQmlEngine& engine, M& model, const QString& sort)
{
    static int made = 0;   // a context property of its own for each source
    const QString ordinary = QStringLiteral("filterRoleInt: 265; filterString: \"0\"; ");
    std::vector<Proxy> proxies;
    for (int level = 0; level <= 4; ++level) {
        proxies.push_back(qmlProxy(engine, QStringLiteral("source%1").arg(made++), &model, level == 0 ? ordinary + sort : ordinary));
        if (level > 0)
            proxies.push_back(qmlProxy(engine, QStringLiteral("source%1").arg(made++), proxies.back().get(),
                                       QStringLiteral("filterRoleInt: 258; filterString: \"^%1$\"; ").arg(level) + sort));
    }
    std::reverse(proxies.begin(), proxies.end());
    return proxies;
}

} // namespace

class TestModels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qmlRegisterType<SortFilterProxyModel>("org.netvane.data", 1, 0, "SortFilterProxyModel");
    }

    // The service's reports keep what the user set; set() reaches the row
    // through the index also after removals, and always announces.
    void changeRemoveAndSet()
    {
        M model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (quint32 id = 1; id <= 4; ++id)
            model.add(makeItem(id, QStringLiteral("app%1").arg(id)));
        model.add(makeItem(3, QStringLiteral("site3"), 3, false, Site));
        QCOMPARE(model.rowCount(model.index(0)), 0);   // a list: rows have no children

        model.set(3, App, true, 1);
        model.change(makeItem(3, QStringLiteral("renamed"), 4, false));
        QCOMPARE(model.index(2).data(M::AppNameRole).toString(), QStringLiteral("renamed"));
        QCOMPARE(model.index(2).data(M::PinRole).toBool(), true);
        QCOMPARE(model.index(2).data(M::PriorityRole).toInt(), 1);

        model.remove(1, App);
        model.remove(3, Site);
        model.add(makeItem(1, QStringLiteral("back")));
        QSignalSpy changed(&model, &M::dataChanged);
        QSignalSpy announced(&model, &M::appChanged);
        for (const auto& [id, row] : QVector<QPair<uint, int>>{{2, 0}, {3, 1}, {4, 2}, {1, 3}, {1, 3}}) {
            model.set(id, App, false, 2);
            QCOMPARE(changed.takeLast().at(0).toModelIndex().row(), row);
            QCOMPARE(announced.takeLast().at(0).value<QSharedPointer<AppItem>>(), model.itemAt(row));
        }
        model.set(3, Site, false, 2);   // gone: nothing at all
        QCOMPARE(changed.count() + announced.count(), 0);
    }

    void pinnedFirstAndEveryOrderWriteSorts()
    {
        M model;
        for (const auto& [id, name, pin] : QVector<std::tuple<quint32, QString, bool>>{
                 {1, "Bravo", false}, {2, "Delta", false}, {3, "Alpha", true}, {4, "Charlie", false}, {5, "Echo", true}})
            model.add(makeItem(id, name, 3, pin));
        QQmlEngine engine;
        const Proxy proxy = qmlProxy(engine, QStringLiteral("apps"), &model, QStringLiteral("sortRoleInt: 264; sortOrder: Qt.AscendingOrder"));
        QAbstractItemModelTester tester(proxy.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(names(*proxy), (QStringList{"Alpha", "Echo", "Bravo", "Charlie", "Delta"}));
        proxy->setSortOrder(Qt::DescendingOrder);
        QCOMPARE(names(*proxy), (QStringList{"Echo", "Alpha", "Delta", "Charlie", "Bravo"}));
        model.itemAt(1)->setName(QStringLiteral("Aaron"));   // changed without a signal
        proxy->setSortOrder(Qt::DescendingOrder);            // the same order sorts again
        QCOMPARE(names(*proxy), (QStringList{"Echo", "Alpha", "Charlie", "Bravo", "Aaron"}));
    }

    // A row of the grid: ordinary applications, then one level ("^3$"),
    // sorted; get() hands a row to QML with every value as a string.
    void levelChainAndGet()
    {
        M model;
        model.add(makeItem(4000000000u, QStringLiteral("Mail"), 3, true));   // ids are unsigned
        model.add(makeItem(2, QStringLiteral("Player"), 13));
        model.add(makeItem(3, QStringLiteral("Browser"), 2));
        model.add(makeItem(4, QStringLiteral("Updater"), 3));
        model.itemAt(3)->setProcessClass(1);
        QQmlEngine engine;
        const Proxy visible = qmlProxy(engine, QStringLiteral("apps"), &model, QStringLiteral("filterRoleInt: 265; filterString: \"0\""));
        const Proxy normal = qmlProxy(engine, QStringLiteral("visibleApps"), visible.get(),
                                      QStringLiteral("filterRoleInt: 258; filterString: \"^3$\"; sortRoleInt: 264; sortOrder: Qt.AscendingOrder"));
        QVERIFY(visible && normal);
        QAbstractItemModelTester tester(normal.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(names(*normal), QStringList{"Mail"});

        QSignalSpy counted(normal.get(), &SortFilterProxyModel::countChanged);
        model.set(2, App, false, 3);
        model.set(3, App, false, 3);
        QCOMPARE(names(*normal), (QStringList{"Mail", "Browser", "Player"}));
        QCOMPARE(counted.count(), 2);
        const QJSValue first = normal->get(0);
        for (const QByteArray& role : model.roleNames())
            QVERIFY2(first.property(QString::fromUtf8(role)).isString(), role.constData());
        QCOMPARE(first.property(QStringLiteral("pin")).toString(), QStringLiteral("true"));
        QCOMPARE(first.property(QStringLiteral("appId")).toString(), QStringLiteral("4000000000"));
        QVERIFY(normal->get(3).property(QStringLiteral("appId")).isUndefined());
        model.remove(4000000000u, App);
        QCOMPARE(names(*normal), (QStringList{"Browser", "Player"}));
    }

    // A poll's changes, announced together at its end, leave every proxy of the scenes as announcing
    // them one by one does: ties, rows hidden and shown, removals, adds and the user's changes amid it.
    void pollAnnouncedTogether()
    {
        QRandomGenerator random(12);
        for (const QString sort : {"sortRoleInt: 264; sortOrder: Qt.AscendingOrder", "sortRoleInt: 262; sortOrder: Qt.DescendingOrder"}) {
            M oneByOne, together;
            auto each = [&](auto&& step) { step(oneByOne); step(together); };
            auto report = [&](void (M::*how)(QSharedPointer<AppItem>), quint32 id) {   // one random report to both
                const auto item = makeItem(id, QStringLiteral("app%1").arg(random.bounded(3)), 1 + random.bounded(4), random.bounded(5) == 0);
                item->setDownloadSpeed(random.bounded(3));
                item->setProcessClass(random.bounded(4) == 0 ? 1 : 0);
                (together.*how)(QSharedPointer<AppItem>::create(*item));
                (oneByOne.*how)(item);
            };
            quint32 next = 1;
            while (next <= 40)
                report(&M::add, next++);
            QQmlEngine engine;
            const std::vector<Proxy> reference = sceneProxies(engine, oneByOne, sort);
            const std::vector<Proxy> proxies = sceneProxies(engine, together, sort);
            QAbstractItemModelTester tester(&together, QAbstractItemModelTester::FailureReportingMode::QtTest);
            std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
            for (const Proxy& proxy : proxies)
                testers.push_back(std::make_unique<QAbstractItemModelTester>(proxy.get(), QAbstractItemModelTester::FailureReportingMode::QtTest));
            for (int poll = 0; poll < 20; ++poll) {
                together.beginChanges();
                for (const QString& id : names(oneByOne, M::AppIdRole)) {
                    const int what = random.bounded(poll % 2 ? 40 : 8);   // 1: new, 2: any removed, 3: any changed, 4-7: changed
                    const uint chosen = oneByOne.itemAt(static_cast<int>(random.bounded(oneByOne.rowCount())))->id();
                    if (what == 2)
                        each([&](M& model) { model.remove(chosen, App); });
                    else if (what == 1 || (what > 2 && what < 8))
                        report(what == 1 ? &M::add : &M::change, what == 1 ? next++ : what == 3 ? chosen : id.toUInt());
                    if (random.bounded(20) == 0)   // the user, on any row
                        each([&](M& model) { model.set(chosen, App, true, 2); });
                }
                together.endChanges();
                for (std::size_t i = 0; i < proxies.size(); ++i)
                    QCOMPARE(names(*proxies[i], M::AppIdRole), names(*reference[i], M::AppIdRole));
            }
        }
    }

    // An icon is shown when its file loads as an image, else the default; the check is remembered
    // while the file keeps its size and time, also for more icons than a large table's.
    void iconsCheckedOnceWhileUnchanged()
    {
        QTemporaryDir dir;
        QImage pixel(1, 1, QImage::Format_RGB32);
        pixel.fill(Qt::red);
        const auto shown = [](const QString& path) {
            AppItem item(1);
            item.setIconPath(path);
            return item.iconPath();
        };
        QFile text(dir.filePath(QStringLiteral("text.png")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not an image") > 0);
        text.close();
        for (const QString& path : {QString(), dir.path(), dir.filePath(QStringLiteral("missing.png")), text.fileName()})
            QCOMPARE(shown(path), AppItem::kDefaultIcon);

        QStringList icons;
        for (int i = 0; i < 5000; ++i) {
            icons << dir.filePath(QStringLiteral("%1.png").arg(i));
            QVERIFY(pixel.save(icons.last()));
            QCOMPARE(shown(icons.last()), QStringLiteral("file://") + icons.last());
        }
        // Spoilt in place, with the same size and time (or a later one): still the checked icon.
        const auto spoil = [](const QString& path, qint64 later) {
            QFile file(path);
            const QDateTime time = QFileInfo(path).lastModified().addSecs(later);
            const QByteArray junk(static_cast<int>(file.size()), 'x');
            return file.open(QIODevice::ReadWrite) && file.write(junk) == junk.size() && file.flush()
                   && file.setFileTime(time, QFileDevice::FileModificationTime);
        };
        for (const QString& icon : icons) {
            QVERIFY(spoil(icon, 0));
            QCOMPARE(shown(icon), QStringLiteral("file://") + icon);
        }
        QVERIFY(spoil(icons.first(), 5));   // a new time: checked again
        QCOMPARE(shown(icons.first()), AppItem::kDefaultIcon);
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
