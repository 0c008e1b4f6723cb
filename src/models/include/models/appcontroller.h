#pragma once

#include "models/overviewmodel.h"

#include "bridge/libclient.h"
#include "bridge/proxythread.h"

#include <QObject>
#include <QString>

class ProxyObject;

/// The one object through which the scenes see the adapter, the service
/// and the update, and send the user's decisions back. Owns the model of
/// applications and sites and the bridge to the service.
class AppController : public QObject {
    Q_OBJECT

    Q_PROPERTY(bool streamControlEnabled READ streamControlEnabled WRITE setStreamControlEnabled NOTIFY streamControlEnabledChanged)
    Q_PROPERTY(bool routerActivated READ routerActivated WRITE setRouterActivated NOTIFY routerActivatedChanged)
    Q_PROPERTY(uint uploadSpeedLimit READ uploadSpeedLimit WRITE setUploadSpeedLimit NOTIFY uploadSpeedLimitChanged)
    Q_PROPERTY(uint downloadSpeedLimit READ downloadSpeedLimit WRITE setDownloadSpeedLimit NOTIFY downloadSpeedLimitChanged)
    Q_PROPERTY(uint uploadSpeed READ uploadSpeed WRITE setUploadSpeed NOTIFY uploadSpeedChanged)
    Q_PROPERTY(uint downloadSpeed READ downloadSpeed WRITE setDownloadSpeed NOTIFY downloadSpeedChanged)
    Q_PROPERTY(QString adapterName READ adapterName WRITE setAdapterName NOTIFY adapterNameChanged)
    Q_PROPERTY(QString ip4Address READ ip4Address WRITE setIp4Address NOTIFY ip4AddressChanged)
    Q_PROPERTY(QString ip6Address READ ip6Address WRITE setIp6Address NOTIFY ip6AddressChanged)
    Q_PROPERTY(QString macAddress READ macAddress WRITE setMacAddress NOTIFY macAddressChanged)
    Q_PROPERTY(QString gateWay READ gateWay WRITE setGateWay NOTIFY gateWayChanged)
    Q_PROPERTY(QString netMask READ netMask WRITE setNetMask NOTIFY netMaskChanged)
    Q_PROPERTY(QString adapterModel READ adapterModel WRITE setAdapterModel NOTIFY adapterModelChanged)
    Q_PROPERTY(bool nicReady READ nicReady WRITE setNicReady NOTIFY nicReadyChanged)
    Q_PROPERTY(QString nicStateStr READ nicStateStr WRITE setNicStateStr NOTIFY nicStateStrChanged)
    Q_PROPERTY(bool serverReady READ serverReady WRITE setServerReady NOTIFY serverReadyChanged)
    Q_PROPERTY(QString vendorLogo READ vendorLogo WRITE setVendorLogo NOTIFY vendorLogoChanged)
    Q_PROPERTY(LibClient::UpdateState updateState READ updateState WRITE setUpdateState NOTIFY updateStateChanged)
    Q_PROPERTY(uint progressNumeral READ progressNumeral WRITE setProgressNumeral NOTIFY progressNumeralChanged)
    Q_PROPERTY(uint progressDenominator READ progressDenominator WRITE setProgressDenominator NOTIFY progressDenominatorChanged)
    Q_PROPERTY(QString updateExecuteCommand READ updateExecuteCommand WRITE setUpdateExecuteCommand NOTIFY updateExecuteCommandChanged)

public:
    explicit AppController(QObject* parent = nullptr);
    ~AppController() override;

    Q_INVOKABLE OverviewModel* overviewModel();
    /// The bridge's relay (for the program's own tools: benchmarks, tests).
    ProxyObject* proxyObject() const { return m_proxyObject; }
    Q_INVOKABLE void setUpdateState(LibClient::UpdateState updateState);
    Q_INVOKABLE void sendUpdateStateQml(LibClient::UpdateState state);

    bool streamControlEnabled() const { return m_streamControlEnabled; }
    /// Notifies on every write, changed or not: the switch in the scenes
    /// must snap back to the service's answer even when it repeats itself.
    void setStreamControlEnabled(bool enabled);
    bool routerActivated() const { return m_routerActivated; }
    void setRouterActivated(bool activated);
    uint uploadSpeedLimit() const { return m_uploadSpeedLimit; }
    void setUploadSpeedLimit(uint limit);
    uint downloadSpeedLimit() const { return m_downloadSpeedLimit; }
    void setDownloadSpeedLimit(uint limit);
    uint uploadSpeed() const { return m_uploadSpeed; }
    void setUploadSpeed(uint speed);
    uint downloadSpeed() const { return m_downloadSpeed; }
    void setDownloadSpeed(uint speed);
    QString adapterName() const { return m_adapterName; }
    void setAdapterName(const QString& name);
    QString ip4Address() const { return m_ip4Address; }
    void setIp4Address(const QString& address);
    QString ip6Address() const { return m_ip6Address; }
    void setIp6Address(const QString& address);
    QString macAddress() const { return m_macAddress; }
    void setMacAddress(const QString& address);
    QString gateWay() const { return m_gateWay; }
    void setGateWay(const QString& gateWay);
    QString netMask() const { return m_netMask; }
    void setNetMask(const QString& netMask);
    QString adapterModel() const { return m_adapterModel; }
    void setAdapterModel(const QString& model);
    bool nicReady() const { return m_nicReady; }
    void setNicReady(bool ready);
    QString nicStateStr() const { return m_nicStateStr; }
    void setNicStateStr(const QString& text);
    bool serverReady() const { return m_serverReady; }
    void setServerReady(bool ready);
    QString vendorLogo() const { return m_vendorLogo; }
    void setVendorLogo(const QString& logo);
    LibClient::UpdateState updateState() const { return m_updateState; }
    uint progressNumeral() const { return m_progressNumeral; }
    void setProgressNumeral(uint progress);
    uint progressDenominator() const { return m_progressDenominator; }
    void setProgressDenominator(uint denominator);
    QString updateExecuteCommand() const { return m_updateExecuteCommand; }
    void setUpdateExecuteCommand(const QString& command);

signals:
    void streamControlEnabledChanged();
    void uploadSpeedLimitChanged(uint uploadSpeedLimit);
    void downloadSpeedLimitChanged(uint downloadSpeedLimit);
    void initTool();
    void setStreamControlState(bool enabled);
    void setSpeedLimits(uint download, uint upload);
    void sendUpdateState(LibClient::UpdateState state);
    void appUpdated(QSharedPointer<AppItem> app);
    void uploadSpeedChanged(uint uploadSpeed);
    void downloadSpeedChanged(uint downloadSpeed);
    void routerActivatedChanged(bool routerActivated);
    void adapterNameChanged(QString adapterName);
    void ip4AddressChanged(QString ip4Address);
    void ip6AddressChanged(QString ip6Address);
    void macAddressChanged(QString macAddress);
    void nicReadyChanged(bool nicReady);
    void nicStateStrChanged(QString nicStateStr);
    void serverReadyChanged(bool serverReady);
    void gateWayChanged(QString gateWay);
    void netMaskChanged(QString netMask);
    void adapterModelChanged(QString adapterModel);
    void updateStateChanged(LibClient::UpdateState updateState);
    void progressNumeralChanged(uint progressNumeral);
    void progressDenominatorChanged(uint progressDenominator);
    void updateExecuteCommandChanged(QString updateExecuteCommand);
    void vendorLogoChanged(QString vendorLogo);
    void restoreWindow();

private:
    void onThreadStarted();
    void onSpeedLimits(uint download, uint upload);
    void onNicServiceState(bool isOk, const QString& stateStr);

    OverviewModel m_overviewModel;
    ProxyThread m_proxyThread;
    ProxyObject* m_proxyObject = nullptr;
    bool m_streamControlEnabled;
    uint m_uploadSpeedLimit;
    uint m_downloadSpeedLimit;
    uint m_uploadSpeed;
    uint m_downloadSpeed;
    bool m_routerActivated;
    QString m_adapterName;
    QString m_ip4Address;
    QString m_ip6Address;
    QString m_macAddress;
    bool m_nicReady;
    QString m_nicStateStr;
    bool m_serverReady;
    QString m_gateWay;
    QString m_netMask;
    QString m_adapterModel;
    LibClient::UpdateState m_updateState;
    uint m_progressNumeral;
    uint m_progressDenominator;
    QString m_updateExecuteCommand;
    QString m_vendorLogo;
    QMetaObject::Connection m_startedConnection;
};
