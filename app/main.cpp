// The studio's entry: the arguments become one command line for the spine.
#include "app/startup.h"
#include "platform/window.h"

#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char **argv)
{
    // The studio shows its message boxes by running itself, so a quit signal can end them.
    if (argc == 4 && std::strcmp(argv[1], PLAT_MESSAGEBOX_HELPER_ARG) == 0)
        return Plat_MessageBoxHelperMain(argv[2], argv[3]);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        Plat_MessageBoxUseHelper(self);
    }
    std::string commandLine;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    int result = Sys_MainThreadGuard(nullptr, nullptr, commandLine.c_str(), 1);
    // Exit statuses are 0..255: a failed start-up (-2) leaves the process with 254.
    return result;
}
