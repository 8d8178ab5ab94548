/* ekestrix: the lobby plug-in library (libekestrix.so).
 *
 * The online lobby client loads this library to list the studio's network jams, to show a remote
 * game's extra data and to start the studio (`tnvpc`) hosting or joining a jam. It shares no
 * memory with the studio: only the command line crosses.
 *
 * Every export is a plain C function. Pointers are 64-bit here, so the header record is 24 bytes
 * (with padding), not the 12 a 32-bit lobby client would expect.
 */
#ifndef EKESTRIX_H
#define EKESTRIX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The game header the lobby shows for the studio's jams. */
struct EkestrixHeader
{
    int32_t iGame;        /* game number: 6 */
    const char *pszName;  /* "Tonnivelle" */
    int32_t iBannerId;    /* banner bitmap resource: 109 (no picture ships on Linux) */
};

/* The remote game dialog. There is no dialog toolkit here, so the "window" is this record: the
 * lobby client reads the two texts and shows them as it likes. Freed by
 * EkestrixViewRemoteGameDialogEnd. */
struct EkestrixDialog
{
    void *pParent;        /* the window the lobby client gave */
    char szCaption[64];   /* "Nonhead string (%d bytes):" */
    char *pszText;        /* "(no string)", or the game's data with a NUL added */
};

/* Launch types of EkestrixExitLaunch. */
enum
{
    EKESTRIX_LAUNCH_HOST = 1,
    EKESTRIX_LAUNCH_JOIN = 2
};

/* The two game fields. */
#define EKESTRIX_FIELD_COUNT 2
#define EKESTRIX_FIELD_NAME_SIZE 32

int32_t EkestrixInit(void);
/* The version word: 256. */
uint16_t GetEkestrixVersion(void);
/* Fills the header record (a null record is left alone). Returns 0. */
int32_t GetEkestrixHeader(struct EkestrixHeader *header);
/* 1 -> 50, 2 -> 100, 3 -> 150, 4 -> 200, 5 -> 1, any other -> 0. */
int32_t GetEkestrixHeaderEx(int32_t index);
/* Keeps the lobby client's two identifiers. Returns 0. */
int32_t EkestrixSetId(int32_t first, int32_t second);
/* 2: the library has the remote game dialog. */
int32_t EkestrixHasDialog(void);
/* *count = 2, *bits = the fields' bit widths {2, 8}. Returns 0. */
int32_t GetFieldBits(int32_t *count, const uint16_t **bits);
/* The field's type code (2, 5); 0 for a number outside the fields. */
int32_t GetFieldType(int32_t field);
/* The field's 32-byte name entry; an empty text for a number outside the fields. */
const char *GetFieldName(int32_t field);
/* Nothing is decoded: returns 1. */
int32_t DecodeFieldData(intptr_t first, intptr_t second, intptr_t third);
/* Makes the dialog showing size bytes of data: the caption gives the size; when size is 0 or
 * more the text is the data (null data or a failed allocation leave "(no string)"). Null when
 * the record cannot be made. */
struct EkestrixDialog *EkestrixViewRemoteGameDialog(void *parent, const void *data, int32_t size);
/* Closes and frees a dialog this library made; anything else is left alone. Returns 0. */
int32_t EkestrixViewRemoteGameDialogEnd(struct EkestrixDialog *dialog);
/* Compatibility flags of a game server from its first little-endian 16-bit word; 0 when fewer
 * than 2 bytes are given. */
int32_t EkestrixCompatibleWithGameServer(const void *data, int32_t size);
/* Starts the studio: type 1 hosts, advertised at address and port; type 2 joins the jam at
 * address. `tnvpc` is taken from the library's own folder, else from the PATH. The address and
 * port must be 1 to 31 characters without white space or control characters. Returns 0 when the
 * studio started or when type is 0 or below (nothing is started), 1 on any failure or another
 * type. The first four arguments are ignored. */
int32_t EkestrixExitLaunch(intptr_t unused1, intptr_t unused2, intptr_t unused3, intptr_t unused4,
                           int32_t type, const char *address, const char *port);

#ifdef __cplusplus
}
static_assert(sizeof(EkestrixHeader) == 24, "header record layout");
#endif

#endif
