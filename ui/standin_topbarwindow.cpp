// STAND-IN for the editor top bar's window until the top bar is built; its owner's definition
// replaces this weak one.
#include "ui/caption.h"

__attribute__((weak)) WINDOW *g_pTopBarWindow = nullptr;
