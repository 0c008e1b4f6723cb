#pragma once

/// @file
/// @brief What the entries of the parameter and string tables mean: the ids
/// both ends of the link agree on, and the values of the update state.
///
/// The link interprets the first three parameters itself; the bridge and the
/// service give the others their meaning. Ids outside these lists may be
/// present in the tables and mean nothing to the program.

#include <cstdint>

namespace servicelink {

/// @brief Ids of the parameter table.
enum ParameterId : std::uint32_t {
    kParameterRequestedActive = 0,   ///< client: prioritisation wanted on (1) or off (0)
    kParameterActualActive = 1,      ///< service: non-zero while prioritisation runs
    kParameterHeartbeat = 2,         ///< service: keeps changing while the service runs
    kParameterUploadLimit = 3,       ///< both: upload speed limit, kbit/s; 0 is none
    kParameterDownloadLimit = 4,     ///< both: download speed limit, kbit/s; 0 is none
    kParameterUploadSpeed = 5,       ///< service: the adapter's upload speed, kbit/s
    kParameterDownloadSpeed = 6,     ///< service: the adapter's download speed, kbit/s
    kParameterAdapterState = 7,      ///< service: adapter and service state; 0 is ready
    kParameterRouterState = 8,       ///< service: router state; 0 is good
    kParameterVendor = 9,            ///< service: vendor id of the adapter
    kParameterUpdateState = 10,      ///< both: an UpdateState value
    kParameterUpdateProgress = 11,   ///< service: update download, done
    kParameterUpdateTotal = 12,      ///< service: update download, total
};

/// @brief Ids of the string table.
enum StringId : std::uint32_t {
    kStringAdapterName = 0,
    kStringIpv4Address = 1,
    kStringIpv6Address = 2,
    kStringMacAddress = 3,
    kStringGateway = 4,
    kStringNetMask = 5,
    kStringAdapterModel = 6,
    kStringUpdateCommandHead = 7,   ///< the installer command is head followed directly by tail
    kStringUpdateCommandTail = 8,
};

/// @brief Values of kParameterUpdateState.
enum UpdateStateValue : std::uint32_t {
    kUpdateNoNewVersion = 0,
    kUpdateNewVersionDetected = 1,
    kUpdateNewVersionAccepted = 2,
    kUpdateNewVersionDownloaded = 3,
    kUpdateNewVersionDownloadFailed = 4,
    kUpdateDisabled = 5,
};

} // namespace servicelink
