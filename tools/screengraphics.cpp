#include "tools/screengraphics.h"

#include "tools/interfaceset.h"

namespace {

// Pages the VRM file fills: those the allocator never hands out.
const uint32_t kVrmPages[] = {6, 7, 8, 9, 22, 23, 24, 25};
constexpr uint32_t kClutRows = 1;

void Put16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t> &b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

void Content_ImagePlace(int n, int *page, int *u, int *v)
{
    const CONTENTIMAGE &im = Content_InterfaceSet().images[static_cast<size_t>(n)];
    *page = im.page;
    *u = im.u;
    *v = im.v;
}

std::vector<uint8_t> Content_WinTx()
{
    std::vector<uint8_t> b;
    Put32(b, sizeof(kVrmPages) / sizeof(kVrmPages[0]));
    for (uint32_t page : kVrmPages)
        Put32(b, page);
    Put32(b, kClutRows);
    // The interface pictures are direct texel sources; the CLUT word names the file's first row.
    const uint16_t clut = (256 << 6) | (768 >> 4);
    const INTERFACESET &set = Content_InterfaceSet();
    for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++) {
        const CONTENTIMAGE &im = set.images[static_cast<size_t>(n)];
        // 4-bit images: one 4-bit unit per picture texel, and the depth field of the page word 0,
        // so the rasteriser reads the picture column u as it stands.
        b.push_back(static_cast<uint8_t>(im.u));
        b.push_back(static_cast<uint8_t>(im.v));
        b.push_back(static_cast<uint8_t>(im.u));
        b.push_back(1);
        Put16(b, 0);
        Put16(b, static_cast<uint16_t>(n)); // font sheets use their own CLUT; frame parts stand for themselves
        Put16(b, static_cast<uint16_t>(im.w));
        Put16(b, static_cast<uint16_t>(im.h));
        Put16(b, static_cast<uint16_t>(im.page));
        Put16(b, clut);
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, 0);
    }
    return b;
}

std::vector<uint8_t> Content_WinVrm()
{
    const size_t pages = sizeof(kVrmPages) / sizeof(kVrmPages[0]);
    return std::vector<uint8_t>(pages * 32768 + kClutRows * 512, 0);
}

std::vector<uint8_t> Content_PaletteTim()
{
    // An 8-bit image of one word with a 256-colour ramp of greys and hues.
    std::vector<uint8_t> b;
    Put32(b, 0x10);
    Put32(b, 1);
    Put32(b, 12 + 512);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, 256);
    Put16(b, 1);
    for (int i = 0; i < 256; i++) {
        const int r = (i * 31 / 255), g = ((i * 7) % 32), bl = 31 - r;
        Put16(b, static_cast<uint16_t>(r | (g << 5) | (bl << 10)));
    }
    Put32(b, 12 + 2);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, 1);
    Put16(b, 0);
    return b;
}

std::vector<CONTENTFILE> Content_ScreenGraphicsFiles()
{
    std::vector<CONTENTFILE> files(3);
    files[0].path = "win.tx";
    files[0].data = Content_WinTx();
    files[1].path = "win.vrm";
    files[1].data = Content_WinVrm();
    files[2].path = "gfx/pal.tim";
    files[2].data = Content_PaletteTim();
    return files;
}
