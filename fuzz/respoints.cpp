// Point-list resource files over arbitrary bytes: checked, laid out, and evaluated between keys
// chosen from the input's first bytes, past the ends and backwards included.
#include "video/resloaders.h"

#include <cstdint>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    POINTLIST *list = Vid_ParsePointList(data, size);
    if (!list)
        return 0;
    const int32_t picks[] = {0, 1, -1, 2, static_cast<int32_t>(list->keyCount), -static_cast<int32_t>(list->keyCount) - 3,
                             size > 0 ? static_cast<int8_t>(data[0]) : 5, 1000000};
    for (int32_t from : picks)
        for (int32_t to : picks)
            for (int32_t t : {0, 1, 2047, 4095, 4096}) {
                RESPOINT out{};
                Vid_PointListAt(list, from, to, t, &out);
            }
    Vid_FreePointList(list);
    return 0;
}
