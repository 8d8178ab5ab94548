// STAND-IN: the editor actions the key table names, until the editors that own them are built.
// Each refuses (sound 3 and a log line); the owners' definitions replace these weak ones.
#include "ui/handlers.h"
#include "ui/shortcuts.h"

#define STANDIN __attribute__((weak))

STANDIN void Ed_DeleteAtGridCursor() { Ui_RefuseUnbuilt("Ed_DeleteAtGridCursor"); }
STANDIN void Ed_InsertAtGridCursor() { Ui_RefuseUnbuilt("Ed_InsertAtGridCursor"); }
