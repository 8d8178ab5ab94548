// The studio's entry: the arguments become one command line for the spine.
#include "app/startup.h"

#include <string>

int main(int argc, char **argv)
{
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
