// Stand-in for the front-end start-up until its Part is built: of its steps only the bevel
// colours and the pad binding table.
#include "render/prims2d.h"
#include "ui/bindings.h"

void Ui_InitFrontEnd()
{
    const uint8_t bevel[6] = {15, 20, 20, 70, 80, 80};
    for (int i = 0; i < 6; i++)
        g_abBevelColours[i] = bevel[i];
    Ui_BindScreenButtons();
}
