// Stand-in for the information box until the platform message box exists: the text goes to the
// log and the answer is OK.
#include "app/crash.h"

#include <cstdio>

int Sys_InfoBox(const char *caption, const char *text)
{
    std::fprintf(stderr, "tnvpc: [%s] %s\n", caption ? caption : "", text ? text : "");
    return 1;
}
