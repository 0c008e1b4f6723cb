#pragma once

#include "models/appitem.h"

#include "servicelink/callback.h"
#include "servicelink/protocol.h"

#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <memory>
#include <vector>

namespace servicelink {
class Client;
}

/// The Qt face of the service link: registers with the service, turns every
/// report into a signal with a meaning, and writes the user interface's few
/// decisions back.
class LibClient : public QObject, public servicelink::Callback {
    Q_OBJECT

public:
    // A fixed underlying type: the service may write any number into the
    // update parameter, and an unknown state must stay a value, not be UB.
    enum UpdateState : int {
        UPDATE_STATE_NO_NEW_VERSION = servicelink::kUpdateNoNewVersion,
        UPDATE_STATE_NEW_VERSION_DETECTED = servicelink::kUpdateNewVersionDetected,
        UPDATE_STATE_NEW_VERSION_ACCEPTED = servicelink::kUpdateNewVersionAccepted,
        UPDATE_STATE_NEW_VERSION_DOWNLOADED = servicelink::kUpdateNewVersionDownloaded,
        UPDATE_STATE_NEW_VERSION_DOWNLOADED_FAILED = servicelink::kUpdateNewVersionDownloadFailed,
        UPDATE_STATE_DISABLED = servicelink::kUpdateDisabled,
    };
    Q_ENUM(UpdateState)

    /// The outcome of a registration, as newState carries it.
    enum ServerState {
        SERVER_STATE_REGISTER_FAILED = 0,
        SERVER_STATE_REGISTERED = 1,
    };
    Q_ENUM(ServerState)

    explicit LibClient(QObject* parent = nullptr);
    ~LibClient() override;

    void registerClient();
    /// The timer step: register while not registered, else poll.
    void pollService();
    void SetActivated(bool on);
    void setDownloadLimit(uint limit);
    void setUploadLimit(uint limit);
    void writeUpdateState(uint state);
    void setParameter(uint id, uint value);
    /// Writes an item's priority and pin back to the service.
    void updateApp(QSharedPointer<AppItem> app);
    QString getNicStateString(uint code) const;

    // servicelink::Callback
    std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual,
                                      bool heartbeat) override;
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override;
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override;
    std::int32_t onParameterRemoved(std::uint32_t id) override;
    std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text) override;
    std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text) override;
    std::int32_t onStringRemoved(std::uint32_t id) override;
    std::int32_t onAppChanged(std::uint32_t id, const servicelink::AppInfo& info) override;
    std::int32_t onAppAdd(std::uint32_t id, const servicelink::AppInfo& info) override;
    std::int32_t onAppRemoved(std::uint32_t id) override;
    std::int32_t onSiteChanged(std::uint32_t id, const servicelink::SiteInfo& info) override;
    std::int32_t onSiteAdd(std::uint32_t id, const servicelink::SiteInfo& info) override;
    std::int32_t onSiteRemoved(std::uint32_t id) override;

signals:
    void newState(LibClient::ServerState state);
    void setActive(bool isActive);
    void sendStateChanged(bool isActive);
    void sendParamChanged(uint id, uint value);
    void newSpeedLimit(uint download, uint upload);
    void newUploadSpeed(uint upload);
    void newDownloadSpeed(uint download);
    void newRouterState(bool isOk);
    void newAdapterName(QString name);
    void newIp4Address(QString address);
    void newIp6Address(QString address);
    void newMacAddress(QString address);
    void newGatewayAddress(QString gateWay);
    void newNetMask(QString netMask);
    void newAdapterModel(QString adapterModel);
    void newNicServiceState(bool isOk, QString stateStr);
    void newServerConnectionState(bool isConnected);
    void appAdded(QSharedPointer<AppItem>& app);
    void appChanged(QSharedPointer<AppItem>& app);
    void appRemoved(uint id, AppItem::AppType type);
    void newVendorLogo(QString& vendorLogo);
    void newUpdateState(LibClient::UpdateState status);
    void newUpdateProgressNumeral(uint progress);
    void newProgressDenominator(uint denominator);
    void newUpdateExecuteCommand(QString& command);

private:
    /// A decision not delivered yet: the latest value of a parameter, or the
    /// latest priority and pin of an application or site.
    struct PendingWrite {
        AppItem::AppType type;   // APP_TYPE_NONE for a parameter
        uint id;
        uint value;              // the parameter's value, or the priority
        bool pin;
    };
    /// Keeps @p write (in place of an older one for the same parameter or item).
    void keep(const PendingWrite& write);
    /// Writes @p write through the link; false when it did not go out.
    bool deliver(const PendingWrite& write, bool logFailure);
    /// True when the service's state makes kept @p write pointless.
    bool outdated(const PendingWrite& write) const;
    /// Delivers the kept decisions, oldest first, until one does not go out.
    void deliverPending();
    void handleParameter(uint id, uint value);
    void handleString(uint id, const QString& text);
    void libIdHandler(uint vendorId);
    QSharedPointer<AppItem> itemFromAppInfo(const servicelink::AppInfo& info) const;
    QSharedPointer<AppItem> itemFromSiteInfo(const servicelink::SiteInfo& info) const;
    /// The log line, the item's debug line and appAdded or appChanged.
    void reportItem(const char* logText, std::uint32_t id, QSharedPointer<AppItem> item, bool added);

    bool registered = false;
    bool activated = false;
    bool serverConnected = false;
    std::unique_ptr<servicelink::Client> link;
    uint downloadLimit = 0;
    uint uploadLimit = 0;
    QString updateCommandHead;
    QString updateCommandTail;
    QString updateCommand;
    QMap<int, QString> vendorNames;
    std::vector<PendingWrite> pending;   // oldest first
    bool polled = false;                 // a poll has filled the mirrors since registration
};

Q_DECLARE_METATYPE(LibClient::UpdateState)
