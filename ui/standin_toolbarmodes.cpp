// STAND-IN: the toolbar's mode actions until the top bar and the screens they open are built.
// Each refuses (sound 3 and a log line); the owners' definitions replace these weak ones.
#include "ui/handlers.h"
#include "ui/toolbar.h"

#define STANDIN __attribute__((weak))

STANDIN void Ui_ToolbarSongTrack() { Ui_RefuseUnbuilt("Ui_ToolbarSongTrack"); }
STANDIN void Ui_ToolbarVideoTrack() { Ui_RefuseUnbuilt("Ui_ToolbarVideoTrack"); }
STANDIN void Ui_ToolbarMusicJam() { Ui_RefuseUnbuilt("Ui_ToolbarMusicJam"); }
STANDIN void Ui_ToolbarLoadSave() { Ui_RefuseUnbuilt("Ui_ToolbarLoadSave"); }
STANDIN void Ui_ToolbarCdPlayer() { Ui_RefuseUnbuilt("Ui_ToolbarCdPlayer"); }
STANDIN void Ui_ToolbarOptions() { Ui_RefuseUnbuilt("Ui_ToolbarOptions"); }
