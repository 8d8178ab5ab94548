// Stand-in until the texture table is built: the upload is only counted.
#include "render/standin_nibbleimage.h"

int32_t g_iNibbleImageUploads = 0;

void Gfx_BlitNibbleImage(const uint8_t *pBytes, const NIBBLERECT *pRect)
{
    if (pBytes && pRect)
        g_iNibbleImageUploads++;
}
