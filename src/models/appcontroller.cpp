#include "models/appcontroller.h"

#include "bridge/proxyobject.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QQmlEngine>

namespace {
Q_LOGGING_CATEGORY(lcModels, "kestrix.models")

// The usual write accessor: store and notify only on change.
template <typename T, typename Notify>
void assign(T& field, const T& value, Notify&& notify)
{
    if (field == value)
        return;
    field = value;
    notify(value);
}

} // namespace

AppController::AppController(QObject* parent)
    : QObject(parent)
    , m_overviewModel(this)
    , m_streamControlEnabled(false)
    , m_uploadSpeedLimit(0)
    , m_downloadSpeedLimit(0)
    , m_uploadSpeed(0)
    , m_downloadSpeed(0)
    , m_routerActivated(false)
    , m_nicReady(false)
    , m_serverReady(false)
    , m_updateState(LibClient::UPDATE_STATE_NO_NEW_VERSION)
    , m_progressNumeral(0)
    , m_progressDenominator(0)
{
    // The scenes reach the model through overviewModel(); it stays ours.
    QQmlEngine::setObjectOwnership(&m_overviewModel, QQmlEngine::CppOwnership);

    m_proxyObject = m_proxyThread.proxyObject();
    if (m_proxyObject != nullptr) {
        ProxyObject* proxy = m_proxyObject;
        connect(this, &AppController::initTool, proxy, &ProxyObject::initialize);
        connect(this, &AppController::setSpeedLimits, proxy, &ProxyObject::setSpeedLimits);
        connect(this, &AppController::setStreamControlState, proxy, &ProxyObject::setStreamControlState);
        connect(this, &AppController::appUpdated, proxy, &ProxyObject::appUpdated);
        connect(this, &AppController::sendUpdateState, proxy,
                [proxy](LibClient::UpdateState state) { proxy->sendUpdateState(state); });

        connect(proxy, &ProxyObject::streamControl, this, &AppController::setStreamControlEnabled);
        connect(proxy, &ProxyObject::newRouterState, this, &AppController::setRouterActivated);
        connect(proxy, &ProxyObject::speedLimits, this, &AppController::onSpeedLimits);
        connect(proxy, &ProxyObject::newDownloadSpeed, this, &AppController::setDownloadSpeed);
        connect(proxy, &ProxyObject::newUploadSpeed, this, &AppController::setUploadSpeed);
        connect(proxy, &ProxyObject::appAdded, &m_overviewModel,
                [this](QSharedPointer<AppItem>& app) { m_overviewModel.add(app); });
        connect(proxy, &ProxyObject::appChanged, &m_overviewModel,
                [this](QSharedPointer<AppItem>& app) { m_overviewModel.change(app); });
        connect(proxy, &ProxyObject::appRemoved, &m_overviewModel, &OverviewModel::remove);
        // One poll's changes reach the scenes' proxies together.
        connect(proxy, &ProxyObject::pollStarted, &m_overviewModel, &OverviewModel::beginChanges);
        connect(proxy, &ProxyObject::pollFinished, &m_overviewModel, &OverviewModel::endChanges);
        connect(proxy, &ProxyObject::newAdapterName, this, &AppController::setAdapterName);
        connect(proxy, &ProxyObject::newIp4Address, this, &AppController::setIp4Address);
        connect(proxy, &ProxyObject::newIp6Address, this, &AppController::setIp6Address);
        connect(proxy, &ProxyObject::newMacAddress, this, &AppController::setMacAddress);
        connect(proxy, &ProxyObject::newGatewayAddress, this, &AppController::setGateWay);
        connect(proxy, &ProxyObject::newNetMask, this, &AppController::setNetMask);
        connect(proxy, &ProxyObject::newAdapterModel, this, &AppController::setAdapterModel);
        connect(proxy, &ProxyObject::newNicServiceState, this, &AppController::onNicServiceState);
        connect(proxy, &ProxyObject::newServerConnectionState, this, &AppController::setServerReady);
        connect(proxy, &ProxyObject::newUpdateState, this, &AppController::setUpdateState);
        connect(proxy, &ProxyObject::newUpdateProgressNumeral, this, &AppController::setProgressNumeral);
        connect(proxy, &ProxyObject::newProgressDenominator, this, &AppController::setProgressDenominator);
        connect(proxy, &ProxyObject::newUpdateExecuteCommand, this,
                [this](QString& command) { setUpdateExecuteCommand(command); });
        connect(proxy, &ProxyObject::newVendorLogo, this,
                [this](QString& vendor) { setVendorLogo(vendor); });
    }

    // Runs once: the first delivery disconnects it.
    m_startedConnection = connect(&m_proxyThread, &QThread::started, this, &AppController::onThreadStarted);
    m_proxyThread.start(QThread::InheritPriority);

    connect(&m_overviewModel, &OverviewModel::appChanged, this,
            [this](QSharedPointer<AppItem> app) { emit appUpdated(app); });

    if (m_proxyObject != nullptr)
        m_proxyObject->onTimer();
}

AppController::~AppController()
{
    if (m_proxyThread.isRunning()) {
        if (m_proxyObject != nullptr)
            disconnect(m_proxyObject, nullptr, nullptr, nullptr);
        disconnect(this, nullptr, nullptr, nullptr);
        m_proxyThread.stopProxy();
        m_proxyThread.quit();
        m_proxyThread.wait(1000);
    }
    disconnect(&m_overviewModel, &OverviewModel::appChanged, this, nullptr);
}

void AppController::onThreadStarted()
{
    disconnect(m_startedConnection);
    emit initTool();
}

OverviewModel* AppController::overviewModel()
{
    return &m_overviewModel;
}

void AppController::setStreamControlEnabled(bool enabled)
{
    m_streamControlEnabled = enabled;
    emit streamControlEnabledChanged();
}

void AppController::setRouterActivated(bool activated)
{
    assign(m_routerActivated, activated, [this](bool v) { emit routerActivatedChanged(v); });
}

void AppController::setUploadSpeedLimit(uint limit)
{
    assign(m_uploadSpeedLimit, limit, [this](uint v) { emit uploadSpeedLimitChanged(v); });
}

void AppController::setDownloadSpeedLimit(uint limit)
{
    assign(m_downloadSpeedLimit, limit, [this](uint v) { emit downloadSpeedLimitChanged(v); });
}

void AppController::onSpeedLimits(uint download, uint upload)
{
    setDownloadSpeedLimit(download);
    setUploadSpeedLimit(upload);
}

void AppController::setUploadSpeed(uint speed)
{
    assign(m_uploadSpeed, speed, [this](uint v) { emit uploadSpeedChanged(v); });
}

void AppController::setDownloadSpeed(uint speed)
{
    assign(m_downloadSpeed, speed, [this](uint v) { emit downloadSpeedChanged(v); });
}

void AppController::setAdapterName(const QString& name)
{
    assign(m_adapterName, name, [this](const QString& v) { emit adapterNameChanged(v); });
}

void AppController::setIp4Address(const QString& address)
{
    assign(m_ip4Address, address, [this](const QString& v) { emit ip4AddressChanged(v); });
}

void AppController::setIp6Address(const QString& address)
{
    assign(m_ip6Address, address, [this](const QString& v) { emit ip6AddressChanged(v); });
}

void AppController::setMacAddress(const QString& address)
{
    assign(m_macAddress, address, [this](const QString& v) { emit macAddressChanged(v); });
}

void AppController::setGateWay(const QString& gateWay)
{
    assign(m_gateWay, gateWay, [this](const QString& v) { emit gateWayChanged(v); });
}

void AppController::setNetMask(const QString& netMask)
{
    assign(m_netMask, netMask, [this](const QString& v) { emit netMaskChanged(v); });
}

void AppController::setAdapterModel(const QString& model)
{
    assign(m_adapterModel, model, [this](const QString& v) { emit adapterModelChanged(v); });
}

void AppController::setNicReady(bool ready)
{
    assign(m_nicReady, ready, [this](bool v) { emit nicReadyChanged(v); });
}

void AppController::setNicStateStr(const QString& text)
{
    assign(m_nicStateStr, text, [this](const QString& v) { emit nicStateStrChanged(v); });
}

void AppController::onNicServiceState(bool isOk, const QString& stateStr)
{
    setNicReady(isOk);
    setNicStateStr(stateStr);
}

void AppController::setServerReady(bool ready)
{
    assign(m_serverReady, ready, [this](bool v) { emit serverReadyChanged(v); });
}

void AppController::setVendorLogo(const QString& logo)
{
    assign(m_vendorLogo, logo, [this](const QString& v) { emit vendorLogoChanged(v); });
}

void AppController::setUpdateState(LibClient::UpdateState updateState)
{
    qCDebug(lcModels) << "Update state " << static_cast<int>(updateState);
    assign(m_updateState, updateState,
           [this](LibClient::UpdateState v) { emit updateStateChanged(v); });
}

void AppController::sendUpdateStateQml(LibClient::UpdateState state)
{
    setUpdateState(state);
    emit sendUpdateState(state);
}

void AppController::setProgressNumeral(uint progress)
{
    assign(m_progressNumeral, progress, [this](uint v) { emit progressNumeralChanged(v); });
}

void AppController::setProgressDenominator(uint denominator)
{
    assign(m_progressDenominator, denominator,
           [this](uint v) { emit progressDenominatorChanged(v); });
}

void AppController::setUpdateExecuteCommand(const QString& command)
{
    assign(m_updateExecuteCommand, command,
           [this](const QString& v) { emit updateExecuteCommandChanged(v); });
}
