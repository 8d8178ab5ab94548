// Stand-in for the crash report's information box, until it is built.
#pragma once

int Sys_InfoBox(const char *caption, const char *text);
