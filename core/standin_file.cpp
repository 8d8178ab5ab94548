#include "core/standin_file.h"

#include "app/calllog.h"

// Stand-in for loading "win.tx".
int Sys_LoadWinTexture()
{
    Sys_CallLog("Sys_LoadWinTexture");
    return 0;
}
