// STAND-IN (see standin_templates.h). Weak, so the real definitions win.
#include "jam/standin_templates.h"

#include "jam/netsession.h"

#define STANDIN __attribute__((weak))

// Nothing is loaded yet: the image is taken as it came.
STANDIN int32_t Jam_LoadTemplateImage(NETNODE *, int32_t, const uint8_t *, size_t) { return 0; }

STANDIN int32_t Jam_ReloadChosenTemplate(NETNODE *node, std::vector<uint8_t> *image)
{
    if (!node || !image || node->ChosenTemplate.empty())
        return -1;
    *image = node->ChosenTemplate;
    return 0;
}
