// Where the program lives and where the user's things go by default.
#pragma once

#include <string>

// Folder of the running executable, without a trailing '/'; empty when it cannot be found.
std::string Plat_ExecutableDir();
// The user's home folder ($HOME); empty when unknown.
std::string Plat_HomeDir();
// The folder for the files the studio writes beside its content: $XDG_DATA_HOME/tonnivelle, else
// $HOME/.local/share/tonnivelle; empty when neither is known. Not created here.
std::string Plat_UserDataDir();
