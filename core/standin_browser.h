// Stand-in until the disk browser is built: the folder it shows, where saves are written.
#pragma once

// Host path of the browser's folder ('\' or '/' separators); empty until the browser opens one.
extern char g_szBrowserDir[260];
