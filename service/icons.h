#pragma once

// Icons for the demo's applications and sites, drawn by the service itself
// and kept as PNG files in a cache folder, so that every icon path it
// publishes names a real image file.

#include <string>

namespace demo {

// The service's cache folder: $XDG_CACHE_HOME/kestrix-service, else
// ~/.cache/kestrix-service.
std::string cacheDirectory();

// The icon folder: @p configured when not empty, else the cache's "icons".
std::string iconDirectory(const std::string& configured);

// Draws the icon for @p name (a rounded square for an application, a round
// badge for a site) unless the file exists already; returns its path, or an
// empty string when it could not be written.
std::string ensureIcon(const std::string& directory, const std::string& name, bool site);

// Creates @p path and its parents; false when that fails.
bool makeDirectories(const std::string& path);

} // namespace demo
