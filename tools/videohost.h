// The studio's video engine run headless by a build-time tool: the 640 x 480 display with the 3-D
// device, the content archive of a data folder opened, the chase engine started as the studio
// starts it. For the song tool's frames and the authoring of the clip library.
#pragma once

#include <string>

// dataDir holds WADS/demowad.IND and .WAD. false with a message in err.
bool Content_StartVideoHost(const std::string &dataDir, std::string &err);
void Content_StopVideoHost();
