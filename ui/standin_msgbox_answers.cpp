// Stand-ins until the library pop-ups' return and the card screens are built:
// the answers the operation-result boxes give.
#include "core/padbind.h"

#include <cstdint>

void Ui_FormatResultClosed(uint8_t)
{
}

// Back to the library pop-up the operation came from.
void Ui_ReturnToPopup(uint8_t)
{
    g_iNextScreen = 9;
}
