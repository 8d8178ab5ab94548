// Stand-in until the card screens are built:
// the answer the format-result box gives.
#include "core/padbind.h"

#include <cstdint>

void Ui_FormatResultClosed(uint8_t)
{
}
