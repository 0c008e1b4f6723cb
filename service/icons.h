#pragma once

// Icons for the demo's applications and sites: the icon theme's icon where
// the machine has one for the application's name, else a badge written as a
// small SVG file in a cache folder, so that every icon path the service
// publishes names a real image file.

#include <string>

namespace demo {

// The service's cache folder: $CACHE_DIRECTORY (a systemd unit's), else
// $XDG_CACHE_HOME/kestrix-service, else ~/.cache/kestrix-service.
std::string cacheDirectory();

// The icon folder: @p configured when not empty, else the cache's "icons".
std::string iconDirectory(const std::string& configured);

// The badge of @p name as SVG text: a rounded square for an application, a
// round one for a site, with the name's initials.
std::string badgeSvg(const std::string& name, bool site);

// The icon file for @p name: the theme's icon of an application of that name
// (without ".exe"), else its badge written to @p directory. Empty when
// neither exists nor could be written.
std::string ensureIcon(const std::string& directory, const std::string& name, bool site);

// Creates @p path and its parents; false when that fails.
bool makeDirectories(const std::string& path);

} // namespace demo
