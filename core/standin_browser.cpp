// Stand-in until the disk browser is built.
#include "core/standin_browser.h"

char g_szBrowserDir[260];
