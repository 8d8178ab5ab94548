// The built screen-graphics set reads back through the studio's own readers.
#include "core/console_memory.h"
#include "core/file.h"
#include "render/texpages.h"
#include "tools/screengraphics.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ScreenGraphics, WinTxListsEveryInterfaceImageInItsPicture)
{
    const std::vector<uint8_t> tx = Content_WinTx();
    ASSERT_LE(tx.size(), static_cast<size_t>(TX_FILE_MAX));
    ASSERT_EQ(Gfx_ParseTxFile(tx.data(), tx.size()), 0);
    EXPECT_GE(g_iImageCount, 811);
    EXPECT_EQ(Content_WinVrm().size(), static_cast<size_t>(g_iTxPageCount) * VRM_PAGE_BYTES +
                                            static_cast<size_t>(g_iTxClutRows) * VRM_CLUT_ROW_BYTES);
    for (int n = 0; n < g_iImageCount; n++) {
        SCOPED_TRACE(n);
        const IMAGEREC *r = Gfx_GetImage(n);
        ASSERT_NE(r, nullptr);
        int page, u, v;
        Content_ImagePlace(n, &page, &u, &v);
        EXPECT_EQ(r->page & 31, page);
        EXPECT_GE(page, 6);
        EXPECT_LE(page, 27);
        EXPECT_EQ(r->u, u);
        EXPECT_EQ(r->v, v);
        EXPECT_LE(r->u + r->width, 256);
        EXPECT_LE(r->v + r->height, 256);
        EXPECT_EQ(r->related, n);
    }
    // Installed at start-up, the VRM pages are the withheld ones.
    std::memcpy(g_abWinTexture, tx.data(), tx.size());
    g_iWinTextureSize = static_cast<int32_t>(tx.size());
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
    Gfx_InitTexturePages();
    for (int i = 0; i < g_iTxPageCount; i++) {
        EXPECT_EQ(g_aTexPages[g_aiTxPages[i]].state, TEXPAGE_LOADED);
        EXPECT_EQ(g_aTexPages[g_aiTxPages[i]].freeMask, 0u);
    }
    g_iWinTextureSize = 0;
}

TEST(ScreenGraphics, PaletteTimPlacesAndReads)
{
    std::vector<uint8_t> tim = Content_PaletteTim();
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
    Gfx_InitTexturePages();
    IMAGEREC *r = Gfx_LoadImageData(tim.data(), tim.size(), 0, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, IMAGE_KIND_8BIT);
    Gfx_FreeImageArea(r);
}
