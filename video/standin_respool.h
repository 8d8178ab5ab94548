// Stand-ins for the resource pages' start-up calls, until the resource pages are built (same
// declarations as theirs). Weak, so the real definitions win at link time.
#pragma once

void Vid_CreateResPagePool();
void Vid_InstallResLoaders();
