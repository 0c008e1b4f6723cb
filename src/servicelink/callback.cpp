#include "servicelink/callback.h"

namespace servicelink {

std::int32_t Callback::onActiveStateChanged(std::uint32_t, std::uint32_t, bool) { return 0; }
std::int32_t Callback::onParameterChanged(std::uint32_t, std::uint32_t) { return 0; }
std::int32_t Callback::onParameterAdd(std::uint32_t, std::uint32_t) { return 0; }
std::int32_t Callback::onParameterRemoved(std::uint32_t) { return 0; }
std::int32_t Callback::onStringChanged(std::uint32_t, const std::u16string&) { return 0; }
std::int32_t Callback::onStringAdd(std::uint32_t, const std::u16string&) { return 0; }
std::int32_t Callback::onStringRemoved(std::uint32_t) { return 0; }
std::int32_t Callback::onAppChanged(std::uint32_t, const AppInfo&) { return 0; }
std::int32_t Callback::onAppAdd(std::uint32_t, const AppInfo&) { return 0; }
std::int32_t Callback::onAppRemoved(std::uint32_t) { return 0; }
std::int32_t Callback::onSiteChanged(std::uint32_t, const SiteInfo&) { return 0; }
std::int32_t Callback::onSiteAdd(std::uint32_t, const SiteInfo&) { return 0; }
std::int32_t Callback::onSiteRemoved(std::uint32_t) { return 0; }

} // namespace servicelink
