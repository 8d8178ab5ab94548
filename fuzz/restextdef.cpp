// Text-definition resource files over arbitrary bytes.
#include "video/resloaders.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TEXTDEF *def = Vid_ParseTextDef(data, size);
    if (def && std::strlen(def->text) > size)
        __builtin_trap();
    Vid_FreeTextDef(def);
    return 0;
}
