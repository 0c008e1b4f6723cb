#include "bridge/libclient.h"

#include "servicelink/velcomm.h"

#include "platform/log.h"

#include <QDebug>
#include <QFile>
#include <QLoggingCategory>

#include <type_traits>

namespace {

// The bridge's own lines, and the link's lines it passes on.
Q_LOGGING_CATEGORY(lcBridge, "kestrix.bridge")
Q_LOGGING_CATEGORY(lcLink, "kestrix.servicelink")

QString fromField(const servicelink::TextField& field)
{
    return QString::fromStdU16String(servicelink::textFromField(field));
}

// The link's own diagnostics join the program's log.
void routeLinkDiagnostics()
{
    static const bool routed = [] {
        platform::setLogSink([](const std::string& line) {
            qCDebug(lcLink).noquote() << "servicelink:" << QString::fromStdString(line);
        });
        return true;
    }();
    Q_UNUSED(routed)
}

// The argument types of the signals that ProxyObject relays, registered by
// name: the scenes read them through the controller's properties and
// signals, and a QSignalSpy records them as QVariants. (No connection is
// queued: every object lives on the GUI thread and every call is direct.)
void registerSignalTypes()
{
    qRegisterMetaType<LibClient::UpdateState>("LibClient::UpdateState");
    qRegisterMetaType<QSharedPointer<AppItem>>("QSharedPointer<AppItem>");
    qRegisterMetaType<AppItem::AppType>("AppItem::AppType");
}

} // namespace

LibClient::LibClient(QObject* parent)
    : QObject(parent), link(std::make_unique<servicelink::Client>())
{
    routeLinkDiagnostics();
    registerSignalTypes();
    registerClient();
    vendorNames = {
        {1, QStringLiteral("velmora")},    {2, QStringLiteral("asus")},
        {3, QStringLiteral("asrock")},     {4, QStringLiteral("gigabyte")},
        {5, QStringLiteral("sonnet")},     {6, QStringLiteral("supermicro")},
        {7, QStringLiteral("dell")},       {8, QStringLiteral("msi")},
        {9, QStringLiteral("caldigit")},   {10, QStringLiteral("inxtron")},
        {11, QStringLiteral("synology")},
    };
}

LibClient::~LibClient()
{
    const std::int32_t result = link->vlcommUnregister();
    if (result != 0)
        qCDebug(lcBridge) << "vlcommUnregister() failed err " << result;
}

void LibClient::registerClient()
{
    const std::int32_t result = link->vlcommRegister(this);
    qCDebug(lcBridge) << (result == 0 ? "Register success" : "Register failed");
    registered = result == 0;
    emit newState(registered ? SERVER_STATE_REGISTERED : SERVER_STATE_REGISTER_FAILED);
}

void LibClient::pollService()
{
    if (!registered)
        registerClient();
    else
        link->poll();
}

std::int32_t LibClient::onActiveStateChanged(std::uint32_t requested, std::uint32_t actual,
                                             bool heartbeat)
{
    qCDebug(lcBridge) << "controlCenterActiveStateChanged requested" << requested << " actual " << actual
             << " heartbeat " << heartbeat;
    const bool connected = heartbeat;
    if (connected != serverConnected) {
        serverConnected = connected;
        emit newServerConnectionState(serverConnected);
    }
    activated = actual != 0 && heartbeat;
    emit sendStateChanged(activated);
    return 0;
}

void LibClient::handleParameter(uint id, uint value)
{
    switch (id) {
    case servicelink::kParameterUploadLimit:
        uploadLimit = value;
        emit newSpeedLimit(downloadLimit, value);
        break;
    case servicelink::kParameterDownloadLimit:
        downloadLimit = value;
        emit newSpeedLimit(value, uploadLimit);
        break;
    case servicelink::kParameterUploadSpeed:
        emit newUploadSpeed(value);
        break;
    case servicelink::kParameterDownloadSpeed:
        emit newDownloadSpeed(value);
        break;
    case servicelink::kParameterAdapterState:
        emit newNicServiceState(value == 0, getNicStateString(value));
        break;
    case servicelink::kParameterRouterState:
        emit newRouterState(value == 0);
        break;
    case servicelink::kParameterVendor:
        libIdHandler(value);
        break;
    case servicelink::kParameterUpdateState:
        emit newUpdateState(static_cast<UpdateState>(value));
        break;
    case servicelink::kParameterUpdateProgress:
        emit newUpdateProgressNumeral(value);
        break;
    case servicelink::kParameterUpdateTotal:
        emit newProgressDenominator(value);
        break;
    default:
        break;   // 0 is written, 1 and 2 belong to the link, 13 and up mean nothing here
    }
}

std::int32_t LibClient::onParameterAdd(std::uint32_t id, std::uint32_t value)
{
    qCDebug(lcBridge) << "controlCenterCallbackOnParameterAdd id " << id << " value " << value;
    handleParameter(id, value);
    return 0;
}

std::int32_t LibClient::onParameterChanged(std::uint32_t id, std::uint32_t value)
{
    handleParameter(id, value);
    qCDebug(lcBridge) << "controlCenterCallbackOnParameterChanged id " << id << " value " << value;
    return 0;
}

std::int32_t LibClient::onParameterRemoved(std::uint32_t id)
{
    qCDebug(lcBridge) << "controlCenterCallbackOnParameterRemoved id " << id;
    handleParameter(id, 0);
    return 0;
}

void LibClient::handleString(uint id, const QString& text)
{
    switch (id) {
    case servicelink::kStringAdapterName:
        emit newAdapterName(text);
        break;
    case servicelink::kStringIpv4Address:
        emit newIp4Address(text);
        break;
    case servicelink::kStringIpv6Address:
        emit newIp6Address(text);
        break;
    case servicelink::kStringMacAddress:
        emit newMacAddress(text);
        break;
    case servicelink::kStringGateway:
        emit newGatewayAddress(text);
        break;
    case servicelink::kStringNetMask:
        emit newNetMask(text);
        break;
    case servicelink::kStringAdapterModel:
        emit newAdapterModel(text);
        break;
    case servicelink::kStringUpdateCommandHead:
        updateCommandHead = text;
        if (!updateCommandTail.isEmpty()) {
            updateCommand = updateCommandHead + updateCommandTail;
            emit newUpdateExecuteCommand(updateCommand);
        }
        break;
    case servicelink::kStringUpdateCommandTail:
        updateCommandTail = text;
        if (!updateCommandHead.isEmpty()) {
            updateCommand = updateCommandHead + updateCommandTail;
            emit newUpdateExecuteCommand(updateCommand);
        }
        break;
    default:
        break;
    }
}

std::int32_t LibClient::onStringAdd(std::uint32_t id, const std::u16string& text)
{
    const QString value = QString::fromStdU16String(text);
    handleString(id, value);
    qCDebug(lcBridge) << "controlCenterCallbackOnStringAdd id " << id << " string " << value;
    return 0;
}

std::int32_t LibClient::onStringChanged(std::uint32_t id, const std::u16string& text)
{
    const QString value = QString::fromStdU16String(text);
    handleString(id, value);
    qCDebug(lcBridge) << "controlCenterCallbackOnStringChanged id " << id << " string " << value;
    return 0;
}

std::int32_t LibClient::onStringRemoved(std::uint32_t id)
{
    handleString(id, QString());
    qCDebug(lcBridge) << "controlCenterCallbackOnStringRemoved id " << id;
    return 0;
}

namespace {

// An AppItem from an application or a site record, field by field in the
// order the item is filled; only applications carry a process class.
template <typename Info>
QSharedPointer<AppItem> itemFromInfo(const Info& info)
{
    constexpr bool isApplication = std::is_same<Info, servicelink::AppInfo>::value;
    QSharedPointer<AppItem> item = QSharedPointer<AppItem>::create(info.id);
    item->setId(info.id);
    item->setName(fromField(info.name));
    item->setIconPath(fromField(info.iconPath));
    item->setPin(info.isPinned != 0);
    item->setDownloadSpeed(info.downloadSpeed);
    item->setUploadSpeed(info.uploadSpeed);
    if constexpr (isApplication)
        item->setProcessClass(info.processClass);
    item->setPriority(static_cast<qint32>(info.priority));
    item->setType(isApplication ? AppItem::APP_TYPE_APPLICATION : AppItem::APP_TYPE_SITE);
    return item;
}

} // namespace

QSharedPointer<AppItem> LibClient::itemFromAppInfo(const servicelink::AppInfo& info) const
{
    return itemFromInfo(info);
}

QSharedPointer<AppItem> LibClient::itemFromSiteInfo(const servicelink::SiteInfo& info) const
{
    return itemFromInfo(info);
}

void LibClient::reportItem(const char* logText, std::uint32_t id, QSharedPointer<AppItem> item,
                           bool added)
{
    qCDebug(lcBridge) << logText << id;
    item->debugPrint();
    if (added)
        emit appAdded(item);
    else
        emit appChanged(item);
}

std::int32_t LibClient::onAppAdd(std::uint32_t id, const servicelink::AppInfo& info)
{
    reportItem("controlCenterCallbackOnAppAdd id ", id, itemFromAppInfo(info), true);
    return 0;
}

std::int32_t LibClient::onAppChanged(std::uint32_t id, const servicelink::AppInfo& info)
{
    reportItem("controlCenterCallbackOnAppChanged id ", id, itemFromAppInfo(info), false);
    return 0;
}

std::int32_t LibClient::onAppRemoved(std::uint32_t id)
{
    qCDebug(lcBridge) << "controlCenterCallbackOnAppRemoved id " << id;
    emit appRemoved(id, AppItem::APP_TYPE_APPLICATION);
    return 0;
}

std::int32_t LibClient::onSiteAdd(std::uint32_t id, const servicelink::SiteInfo& info)
{
    reportItem("controlCenterCallbackOnSiteAdd id ", id, itemFromSiteInfo(info), true);
    return 0;
}

std::int32_t LibClient::onSiteChanged(std::uint32_t id, const servicelink::SiteInfo& info)
{
    reportItem("controlCenterCallbackOnSiteChanged id ", id, itemFromSiteInfo(info), false);
    return 0;
}

std::int32_t LibClient::onSiteRemoved(std::uint32_t id)
{
    qCDebug(lcBridge) << "controlCenterCallbackOnSiteRemoved id " << id;
    emit appRemoved(id, AppItem::APP_TYPE_SITE);
    return 0;
}

void LibClient::libIdHandler(uint vendorId)
{
    const QString key = vendorNames.value(static_cast<int>(vendorId));
    QString url = QStringLiteral("qrc:/res/") + key + QStringLiteral("_logo.png");
    if (!QFile::exists(QStringLiteral(":/res/") + key + QStringLiteral("_logo.png"))) {
        qCDebug(lcBridge) << "LibClient::libIdHandler " << "logo file not found << " << url;
        url = QStringLiteral("qrc:/res/") + vendorNames.value(1) + QStringLiteral("_logo.png");
    }
    emit newVendorLogo(url);
}

QString LibClient::getNicStateString(uint code) const
{
    switch (code) {
    case 0:
        return QStringLiteral("SERVICE IS OK");
    case 1:
        return tr("NO KESTRIX ADAPTER FOUND");
    case 2:
        return tr("UNSUPPORTED CONFIGURATION");
    case 3:
        return tr("NO LINK");
    case 4:
        return tr("DRIVER NOT FOUND");
    case 5:
        return tr("CANNOT LOAD CALLOUT DRIVER");
    case 6:
        return tr("CANNOT LOAD FILTER DRIVER");
    default:
        qCDebug(lcBridge) << "getNicStateString unhandled value";
        return QString();
    }
}

void LibClient::SetActivated(bool on)
{
    if (on == activated)
        return;
    if (!on) {
        setParameter(servicelink::kParameterRequestedActive, 0);
        activated = false;
    } else {
        // The flag follows when the service confirms.
        setParameter(servicelink::kParameterRequestedActive, 1);
    }
    qCDebug(lcBridge) << "SetActivated " << on;
}

void LibClient::setParameter(uint id, uint value)
{
    const std::int32_t result = link->controlCenterSetParameter(id, value);
    qCDebug(lcBridge) << "controlCenterSetParameter " << id << " value " << value << " returned " << result;
}

void LibClient::setDownloadLimit(uint limit)
{
    setParameter(servicelink::kParameterDownloadLimit, limit);
}

void LibClient::setUploadLimit(uint limit)
{
    setParameter(servicelink::kParameterUploadLimit, limit);
}

void LibClient::writeUpdateState(uint state)
{
    setParameter(servicelink::kParameterUpdateState, state);
}

void LibClient::updateApp(QSharedPointer<AppItem> app)
{
    if (!app)
        return;
    qCDebug(lcBridge) << "Update app id " << app->id() << "app type " << static_cast<int>(app->type());
    if (app->type() == AppItem::APP_TYPE_APPLICATION) {
        servicelink::AppInfo info{};
        if (link->getApplication(app->id(), info) != 0)
            return;
        info.priority = static_cast<std::uint32_t>(app->priority());
        info.isPinned = app->pin() ? 1 : 0;
        link->controlCenterModifyApplication(info);
        qCDebug(lcBridge) << "controlCenterModifyApplication id " << app->id() << " priority "
                 << app->priority() << " isPinned " << app->pin();
    } else if (app->type() == AppItem::APP_TYPE_SITE) {
        servicelink::SiteInfo info{};
        if (link->getSite(app->id(), info) != 0)
            return;
        info.priority = static_cast<std::uint32_t>(app->priority());
        info.isPinned = app->pin() ? 1 : 0;
        link->controlCenterModifySite(info);
        qCDebug(lcBridge) << "controlCenterModifySite id " << app->id() << " priority " << app->priority()
                 << " isPinned " << app->pin();
    }
}
