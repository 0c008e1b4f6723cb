#pragma once

/// @file
/// @brief Names of the link's named objects.

#include "servicelink/protocol.h"

namespace servicelink {

constexpr const char kLinkMutexName[] = "MUTEX{0EE62FA0-DF34-4523-B32E-94003BB1D8CD}";
constexpr const char kServiceEventName[] = "EVENT{278079AD-C5F8-42D0-909D-4E8679F82EC7}";
constexpr const char kClientEventName[] = "EVENT{3F64C1DA-F133-41C7-93E4-2F7886C5AF07}";
constexpr const char kAppRegionName[] = "Global\\MEM{EDDD0FE0-42EB-4050-A235-47EBDEEEE7C0}";
constexpr const char kSiteRegionName[] = "Global\\MEM{6EF2771D-AACD-4914-BE9E-6B04124F77C2}";
constexpr const char kParameterRegionName[] = "Global\\MEM{9C985215-17D8-45A7-960F-BEF77343DE8F}";
constexpr const char kStringRegionName[] = "Global\\MEM{CDBD070B-5FDA-42A9-8DB1-134CE5003C0E}";

} // namespace servicelink
