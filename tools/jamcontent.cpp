#include "tools/jamcontent.h"

#include <string>

namespace {

void AddPlayers(PACKDIR &library, const char *what)
{
    for (int p = 1; p <= CONTENT_JAM_PLAYER_FOLDERS; ++p) {
        PACKDIR &player = Pack_Dir(library, "PLAYER" + std::to_string(p));
        player.title = "Player " + std::to_string(p);
        Pack_Dir(player, "LIST").title = std::string("Player ") + std::to_string(p) + " " + what;
    }
}

} // namespace

void Content_AddJamPlayerFolders(PACKDIR &root)
{
    AddPlayers(Pack_Dir(root, "R"), "riffs");
    for (const char *quality : {"N/B", "N/D", "N/F"})
        AddPlayers(Pack_Dir(root, quality), "instruments");
}
