// Stand-in for the key shortcuts until their Part is built: the block and undo screens' keys
// belong to the editors.
#include "ui/mouse.h"

void Ui_DispatchKeyShortcut() {}
