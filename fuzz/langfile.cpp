// A language file on arbitrary bytes: refused or accepted, and when accepted every text ends
// inside the copied block.
#include "ui/langtext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *block = nullptr;
    const char *texts[TEXT_COUNT];
    if (!Ui_ParseLanguageFile(data, size, &block, texts))
        return 0;
    const size_t blockSize = size - size_t(TEXT_COUNT) * 4;
    for (int id = 0; id < TEXT_COUNT; id++) {
        if (texts[id] < block || texts[id] >= block + blockSize)
            abort();
        if (strnlen(texts[id], size_t(block + blockSize - texts[id])) >= size_t(block + blockSize - texts[id]))
            abort();
    }
    delete[] block;
    return 0;
}
