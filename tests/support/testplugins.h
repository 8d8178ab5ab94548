// Where the effect plug-ins built for the tests are, and whether a library is loaded.
#pragma once

#include <string>

// <build>/tests/plugins/<folder>/<name>.so; folder "good" (filter = gain, reverb = delay) or
// "broken" (filter lacks entry points, reverb lacks PLUGIN_Open).
std::string TestPluginPath(const std::string &folder, const std::string &name);
std::string TestPluginFolder(const std::string &folder);
// True while the file is mapped into this process.
bool LibraryIsMapped(const std::string &path);
