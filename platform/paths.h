// Where the program lives and where the user's things go by default.
#pragma once

#include <string>

// Folder of the running executable, without a trailing '/'; empty when it cannot be found.
std::string Plat_ExecutableDir();
// The user's home folder ($HOME); empty when unknown.
std::string Plat_HomeDir();
