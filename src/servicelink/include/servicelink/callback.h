#pragma once

/// @file
/// @brief How the link reports what changed in the service's tables.

#include "servicelink/records.h"

#include <cstdint>
#include <string>

namespace servicelink {

/// @brief The link's change reports, in slot order. Derive and override what
/// you need; every operation of the base does nothing and returns 0, and the
/// link ignores the results.
///
/// Reports are made on the thread that polls the link, while the link mutex
/// is held. A record or text handed over is valid only during the call.
/// A parameter or string report may issue a writing request; an application
/// or site report must not write applications or sites; no report may poll,
/// register, unregister or destroy the link.
class Callback {
public:
    /// @brief From poll only: parameter 0, parameter 1 and whether the
    /// service's heartbeat is alive.
    virtual std::int32_t onActiveStateChanged(std::uint32_t requested, std::uint32_t actual,
                                              bool heartbeat);
    virtual std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value);
    virtual std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value);
    virtual std::int32_t onParameterRemoved(std::uint32_t id);
    virtual std::int32_t onStringChanged(std::uint32_t id, const std::u16string& text);
    virtual std::int32_t onStringAdd(std::uint32_t id, const std::u16string& text);
    virtual std::int32_t onStringRemoved(std::uint32_t id);
    virtual std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info);
    virtual std::int32_t onAppAdd(std::uint32_t id, const AppInfo& info);
    virtual std::int32_t onAppRemoved(std::uint32_t id);
    virtual std::int32_t onSiteChanged(std::uint32_t id, const SiteInfo& info);
    virtual std::int32_t onSiteAdd(std::uint32_t id, const SiteInfo& info);
    virtual std::int32_t onSiteRemoved(std::uint32_t id);

protected:
    Callback() = default;
    // Not destroyed through this interface: the link never owns its callback.
    ~Callback() = default;
    Callback(const Callback&) = default;
    Callback& operator=(const Callback&) = default;
};

} // namespace servicelink
