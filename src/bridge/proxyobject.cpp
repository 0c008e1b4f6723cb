#include "bridge/proxyobject.h"

ProxyObject::ProxyObject(QObject* parent)
    : QObject(parent), m_timer(parent), m_libClient(std::make_unique<LibClient>())
{
    connect(&m_timer, &QTimer::timeout, this, &ProxyObject::onTimer);

    LibClient* client = m_libClient.get();
    connect(client, &LibClient::sendStateChanged, this, &ProxyObject::streamControl);
    connect(client, &LibClient::appAdded, this, &ProxyObject::appAdded);
    connect(client, &LibClient::appChanged, this, &ProxyObject::appChanged);
    connect(client, &LibClient::appRemoved, this, &ProxyObject::appRemoved);
    connect(client, &LibClient::newSpeedLimit, this, &ProxyObject::speedLimits);
    connect(client, &LibClient::newUploadSpeed, this, &ProxyObject::newUploadSpeed);
    connect(client, &LibClient::newDownloadSpeed, this, &ProxyObject::newDownloadSpeed);
    connect(client, &LibClient::newRouterState, this, &ProxyObject::newRouterState);
    connect(client, &LibClient::newAdapterName, this, &ProxyObject::newAdapterName);
    connect(client, &LibClient::newIp4Address, this, &ProxyObject::newIp4Address);
    connect(client, &LibClient::newIp6Address, this, &ProxyObject::newIp6Address);
    connect(client, &LibClient::newMacAddress, this, &ProxyObject::newMacAddress);
    connect(client, &LibClient::newGatewayAddress, this, &ProxyObject::newGatewayAddress);
    connect(client, &LibClient::newNetMask, this, &ProxyObject::newNetMask);
    connect(client, &LibClient::newAdapterModel, this, &ProxyObject::newAdapterModel);
    connect(client, &LibClient::newNicServiceState, this, &ProxyObject::newNicServiceState);
    connect(client, &LibClient::newServerConnectionState, this, &ProxyObject::onServerConnectionState);
    connect(client, &LibClient::newVendorLogo, this, &ProxyObject::newVendorLogo);
    connect(client, &LibClient::newUpdateState, this, &ProxyObject::newUpdateState);
    connect(client, &LibClient::newUpdateProgressNumeral, this, &ProxyObject::newUpdateProgressNumeral);
    connect(client, &LibClient::newProgressDenominator, this, &ProxyObject::newProgressDenominator);
    connect(client, &LibClient::newUpdateExecuteCommand, this, &ProxyObject::newUpdateExecuteCommand);

    m_timer.setInterval(200);
    m_timer.setSingleShot(false);
    m_timer.start();
}

ProxyObject::~ProxyObject()
{
    // The LibClient goes first (it unregisters from the service), then the timer.
    m_libClient.reset();
}

void ProxyObject::initialize() {}

void ProxyObject::setSpeedLimits(uint download, uint upload)
{
    m_libClient->setDownloadLimit(download);
    m_libClient->setUploadLimit(upload);
    emit speedLimits(download, upload);
}

void ProxyObject::setStreamControlState(bool enabled)
{
    m_libClient->SetActivated(enabled);
    emit streamControl(enabled);
}

void ProxyObject::sendUpdateState(uint state)
{
    m_libClient->writeUpdateState(state);
}

void ProxyObject::appUpdated(QSharedPointer<AppItem> app)
{
    if (m_libClient)
        m_libClient->updateApp(app);
}

void ProxyObject::onTimer()
{
    emit pollStarted();
    m_libClient->pollService();
    emit pollFinished();
}

void ProxyObject::stop()
{
    disconnect(this, nullptr, nullptr, nullptr);
    m_timer.stop();
    disconnect(&m_timer, nullptr, nullptr, nullptr);
}

void ProxyObject::onServerConnectionState(bool isConnected)
{
    emit newServerConnectionState(isConnected);
}
