#include "video/clipimage.h"

#include "sequencer/songfile.h"
#include "video/clips.h"

namespace {

constexpr uint32_t kClipPart = 1u << (CHUNK_CL - 1);

uint32_t PrepareClip(VIDCLIP *clip, CHUNKCONTEXT *ctx)
{
    const int32_t id = Vid_ClipId(clip);
    if (!clip || id < 0)
        return 0;
    Seq_SetUsageSlot(ctx, 3, CHUNK_CL);
    Seq_MarkBit(Seq_GetUsageBitmap(ctx, CHUNK_CL), (uint32_t)id);
    int32_t blocks = 0;
    return Seq_PrepareSave(kClipPart, &blocks, ctx);
}

} // namespace

uint32_t Vid_SizeClipImage(VIDCLIP *clip)
{
    CHUNKCONTEXT ctx;
    return PrepareClip(clip, &ctx);
}

std::vector<uint8_t> Vid_WriteClipImage(VIDCLIP *clip)
{
    CHUNKCONTEXT ctx;
    const uint32_t size = PrepareClip(clip, &ctx);
    if (!size || !ctx.aChunk[CHUNK_CL].uCount)
        return {};
    const char author[32] = {};
    return Seq_WriteChunks(size, author, &ctx);
}

int32_t Vid_ReadClipImageChunks(const uint8_t *image, size_t size)
{
    CHUNKLOADCONTEXT load;
    const int32_t version = g_iSongFormatVersion;
    const uint32_t mask = kClipPart | 1u << (CHUNK_CH - 1) | 1u << (CHUNK_RE - 1);
    if (Seq_LocateChunks(image, size, mask, 0, &load) != SONGLOAD_OK) {
        g_iSongFormatVersion = version;
        return SONGLOAD_UNREADABLE;
    }
    const int32_t r = Seq_FinishVideoLoad(mask, &load);
    g_iSongFormatVersion = version;
    return r & SONGLOAD_MISSING;
}
