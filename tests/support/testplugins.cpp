#include "support/testplugins.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

std::string TestPluginFolder(const std::string &folder)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    return std::string(build ? build : ".") + "/tests/plugins/" + folder;
}

std::string TestPluginPath(const std::string &folder, const std::string &name)
{
    return TestPluginFolder(folder) + "/" + name + ".so";
}

bool LibraryIsMapped(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
    std::string want = ec ? path : canonical.string();
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        size_t at = line.find('/');
        if (at != std::string::npos && line.compare(at, std::string::npos, want) == 0)
            return true;
    }
    return false;
}
