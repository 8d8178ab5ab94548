/* The calling contract of effect plug-in libraries.
 *
 * A plug-in is a shared library in the studio's plug-in folder that exports these eight functions
 * by name, with C linkage. The studio calls them with its plug-in lock held, from the main thread
 * or the mixing thread, so a library never sees two calls at once; it must not call back into the
 * studio from another thread. Return values are ignored unless stated.
 *
 * Handles are 32-bit numbers the library chooses: keep an index, not a pointer.
 *
 * Sound buffers are 16-bit stereo frames, left word first, as the mixer makes them. The picture
 * is 128 x 64 bytes, one colour index a pixel, rows of 128; the palette is 256 colours 0xRRGGBB.
 */
#ifndef TNV_AUDIO_PLUGINABI_H
#define TNV_AUDIO_PLUGINABI_H

#include <stdint.h>

#define PLUGIN_PICTURE_WIDTH 128
#define PLUGIN_PICTURE_HEIGHT 64
#define PLUGIN_PICTURE_BYTES 8192
#define PLUGIN_PALETTE_BYTES 1024
#define PLUGIN_WORK_BYTES 1024
#define PLUGIN_EVENT_BYTES 4

#ifdef __cplusplus
extern "C" {
#endif

/* Once per instance. Writes the handle and the out value. *ppPicture and *ppPalette come in
 * pointing at buffers the studio offers (PLUGIN_PICTURE_BYTES, PLUGIN_PALETTE_BYTES); leave them,
 * or set them to null, to draw into those, or point them at buffers of the library's own that stay
 * valid until PLUGIN_Close. The palette is read once, when this returns. pWork is
 * PLUGIN_WORK_BYTES of scratch for the instance. */
typedef int32_t (*PLUGINOPENPROC)(uint32_t *pHandle, void *pWork, uint32_t *pOutValue,
                                  uint8_t **ppPicture, uint32_t **ppPalette);
typedef int32_t (*PLUGINCLOSEPROC)(uint32_t handle);
/* Once per mixed block: adds the processed input, frames frames, into pMix. The studio clears
 * pInput afterwards. */
typedef int32_t (*PLUGINAPPLYPROC)(uint32_t handle, int16_t *pInput, int16_t *pMix, int32_t frames);
/* A pointer event of PLUGIN_EVENT_BYTES: 1; (high nibble << 4) | low nibble; x; y. */
typedef int32_t (*PLUGININPUTPROC)(uint32_t handle, const uint8_t *pEvent);
/* Back to the state after PLUGIN_Open. */
typedef int32_t (*PLUGINRESETPROC)(uint32_t handle);
/* Leaves the current picture in the picture buffer in use. */
typedef int32_t (*PLUGINDRAWPROC)(uint32_t handle);
/* A setting by number: its value, and a new value. */
typedef int32_t (*PLUGINGETPROC)(uint32_t handle, int32_t id);
typedef int32_t (*PLUGINSETPROC)(uint32_t handle, int32_t id, int32_t value);

#ifdef __cplusplus
}
#endif

#endif
