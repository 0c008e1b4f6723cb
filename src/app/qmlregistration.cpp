#include "app/qmlregistration.h"

#include "app/launcher.h"
#include "app/startup.h"

#include "models/appcontroller.h"
#include "models/overviewmodel.h"
#include "models/sortfilterproxymodel.h"
#include "models/speedsamples.h"
#include "models/speedunits.h"

#include "bridge/libclient.h"

#include <QQmlEngine>

void registerQmlTypes()
{
    const char* uri = "org.netvane.data";
    qmlRegisterType<SortFilterProxyModel>(uri, 1, 0, "SortFilterProxyModel");
    qmlRegisterType<OverviewModel>(uri, 1, 0, "OverviewModel");
    qmlRegisterType<AppController>(uri, 1, 0, "AppController");
    qmlRegisterType<StartUp>(uri, 1, 0, "StartUp");
    qmlRegisterType<LibClient>(uri, 1, 0, "LibClient");
    qmlRegisterType<Launcher>(uri, 1, 0, "Launcher");

    // What only the scenes use: how speeds are shown, and the charts' arithmetic.
    const char* scenesUri = "org.netvane.scenes";
    qmlRegisterType<SpeedSamples>(scenesUri, 1, 0, "SpeedSamples");
    qmlRegisterSingletonType<SpeedUnits>(scenesUri, 1, 0, "SpeedUnits",
                                         [](QQmlEngine*, QJSEngine*) -> QObject* { return new SpeedUnits; });
}
