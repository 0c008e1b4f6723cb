#pragma once

#include "bridge/libclient.h"

#include <QObject>
#include <QSharedPointer>
#include <QTimer>

#include <memory>

/// The relay between LibClient and AppController: drives LibClient with a
/// 200 ms timer, forwards its signals under its own names and carries the
/// controller's requests to it.
class ProxyObject : public QObject {
    Q_OBJECT

public:
    explicit ProxyObject(QObject* parent = nullptr);
    ~ProxyObject() override;

    // Connected to the AppController's request signals.
    void initialize();
    void setSpeedLimits(uint download, uint upload);
    void setStreamControlState(bool enabled);
    void sendUpdateState(uint state);
    void appUpdated(QSharedPointer<AppItem> app);

    /// The timer step: LibClient polls the service, between pollStarted
    /// and pollFinished.
    void onTimer();
    /// Silences the proxy for good: no ticks, no outgoing signals.
    void stop();

signals:
    void streamControl(bool enabled);
    void speedLimits(uint download, uint upload);
    void appAdded(QSharedPointer<AppItem>& app);
    void appChanged(QSharedPointer<AppItem>& app);
    void appRemoved(uint id, AppItem::AppType type);
    void newUploadSpeed(uint upload);
    void newDownloadSpeed(uint download);
    void newRouterState(bool active);
    void newAdapterName(QString name);
    void newIp4Address(QString address);
    void newIp6Address(QString address);
    void newMacAddress(QString address);
    void newGatewayAddress(QString gateWay);
    void newNetMask(QString netMask);
    void newAdapterModel(QString cardModel);
    void newNicServiceState(bool isOk, QString stateStr);
    void newServerConnectionState(bool isConnected);
    void newVendorLogo(QString& vendor);
    void newUpdateState(LibClient::UpdateState status);
    void newUpdateProgressNumeral(uint progress);
    void newProgressDenominator(uint denominator);
    void newUpdateExecuteCommand(QString& command);
    // Around every poll: what a poll reports comes between the two, so the
    // receiver can announce one poll's changes together.
    void pollStarted();
    void pollFinished();

private:
    void onServerConnectionState(bool isConnected);

    QTimer m_timer;
    std::unique_ptr<LibClient> m_libClient;
};
