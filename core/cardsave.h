// Memory-card style saves: the 512-byte save header, the three cards the save lists speak to,
// the request ring of cards 1 and 2, and the host save files.
//
// Cards 1 and 2 are console memory cards; the console card library is empty on this platform, so
// they never answer the probe and stay absent. Card 3 is the archive card: its listing and reads
// are served synchronously by the editors' handlers of events 0x10004 and 0x10005. Saves the user
// makes are host files, "TVPC" + SAVEHEADER + data, written atomically into the browser's folder.
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

enum
{
    SAVEHEADER_BYTES = 512,
    SAVEFILE_TAG_BYTES = 4,
    SAVEFILE_DATA_OFFSET = SAVEFILE_TAG_BYTES + SAVEHEADER_BYTES,
    SAVEHEADER_TYPE = 0x11,
    SAVEHEADER_MAX_BLOCKS = 15, // a card holds 15 blocks; no save can claim more
    CARD_COUNT = 3,
    CARD_SLOTS = 42,
    CARD_NAME_BYTES = 64,
    CARD_TITLE_BYTES = 64,
    CARD_TEXT_BYTES = 32,
    CARD_REQUEST_NAME_BYTES = 24,
    CARD_RING_SIZE = 30,
    CARD_RETRY_LIMIT = 10,
    CARD_BLOCK_BYTES = 8192,
    CARD_RANDOM_NAME_BYTES = 20, // 19 characters and the terminator
    CARD_ICON_HEADER_BYTES = 640, // what the save lists read of a save for its icon
};

// Results of the card calls.
enum
{
    CARD_OK = 0,
    CARD_ERR_ABSENT = -1,
    CARD_ERR_EMPTYSLOT = -5,
    CARD_ERR_QUEUEFULL = -6,
    CARD_ERR_UNUSABLE = -9,
    CARD_ERR_READONLY = -255,
};

enum
{
    CARD_EV_SELECT = 0x10004,  // card 3 selected; argument CARDSTATE *
    CARD_EV_READ = 0x10005,    // read a card-3 save; argument CARDREADREQUEST *
    CARD_EV_ICON = 0x10006,    // a save icon was loaded; argument CARDICONEVENT *
    CARD_EV_FINISHED = 0x10007, // a request finished; argument CARDREQUEST *
    CARD_EV_FRAME = 0x1000a,   // frame start: Sys_CardFrameHook
};

// Request kinds.
enum
{
    CARDREQ_NONE = 0, // cancelled
    CARDREQ_READ = 1,
    CARDREQ_WRITE = 2,
    CARDREQ_FORMAT = 3,
    CARDREQ_DELETE = 4,
    CARDREQ_PROBE = 5,
    CARDREQ_CHANGED = 6,
    CARDREQ_FILEOP = 7,
    CARDREQ_READHEADER = 8,
};

// Present bytes (one per card).
enum
{
    CARD_PRESENT = 3,
    CARD_REMOVED = 254,
    CARD_BUSY = 1,
};

// The save header, byte for byte as stored (no pointers, no padding).
struct SAVEHEADER
{
    char magic[2];      // "SC"
    uint8_t type;       // 0x11 (0x12 and 0x13 are read too)
    uint8_t blocks;
    uint8_t title[64];  // 32 title codes, high byte first
    uint8_t reserved1[28];
    uint8_t palette[32]; // 16 colours, 16 bits each, low byte first
    uint8_t image[128];  // 16x16, 4 bits a pixel, first pixel in the low nibble
    uint8_t reserved2[256];
};
static_assert(sizeof(SAVEHEADER) == SAVEHEADER_BYTES);

// A slot's save icon, as loaded from its header.
struct CARDICON
{
    uint8_t palette[32];
    uint8_t image[128];
    uint16_t page; // texture page word of its place in texture memory
    uint16_t clut;
};

struct CARDSTATE
{
    CARDICON *apIcon[CARD_SLOTS];
    char aszFile[CARD_SLOTS][CARD_NAME_BYTES];
    char aszTitle[CARD_SLOTS][CARD_TITLE_BYTES]; // ASCII, or raw codes (see uRawTitles); empty: deleted
    char aszText[CARD_SLOTS][CARD_TEXT_BYTES];
    uint8_t aucBlocks[CARD_SLOTS];
    uint32_t auState[CARD_SLOTS];
    uint32_t auSize[CARD_SLOTS];
    uint8_t aucColour[CARD_SLOTS][4]; // r, g, b, spare
    uint32_t uCard;       // 1, 2 or 3
    uint16_t uPresence;   // value 1: card 1 answered the probe, value 2: card 2
    uint16_t uUsable;     // bit 0: formatted and readable
    uint64_t uRawTitles;  // a bit per slot whose title holds raw codes
    int32_t iOpState;
    uint8_t *pPresent;    // the present bytes, one per card
};

typedef void (*CARDDONEFN)(int32_t ok);

// Internal to the ring; never stored in a file.
struct CARDREQUEST
{
    int32_t iKind;
    int32_t iCard;
    int32_t iSlot;
    char szName[CARD_REQUEST_NAME_BYTES];
    void *pBuffer;
    uint32_t uOffset;
    uint32_t uSize;
    int32_t iArg;   // the caller's own argument
    uint32_t uFlags; // delete: bit value 2 also queues a re-read
    CARDDONEFN pfnDone; // optional; called with 0 when the request is given up
};

// Argument of CARD_EV_READ: the handler reads the save's data (after its header) into pBuffer
// and calls pfnDone.
struct CARDREADREQUEST
{
    void *pBuffer;
    int32_t iSlot;
    int32_t iArg;
    CARDDONEFN pfnDone;
    CARDSTATE *pState;
};

// Argument of Sys_CardLoadSaveIcon: a save header read for a slot.
struct CARDICONREQUEST
{
    int32_t iCard;
    int32_t iSlot;
    const uint8_t *pHeader;
    uint32_t uBytes; // bytes readable at pHeader
    uint32_t uFlags; // bit value 2: the card is usable; bit value 8: announce CARD_EV_ICON
};

// Argument of CARD_EV_ICON: what follows the header, for the slot just loaded.
struct CARDICONEVENT
{
    const uint8_t *pAfterHeader;
    uint32_t uBytes;
    CARDSTATE *pState;
    int32_t iSlot;
};

extern CARDSTATE g_aCardState[CARD_COUNT];
extern CARDSTATE *g_pCardState;
extern int32_t g_iCardMode;        // selected card, 1 at start
extern uint32_t g_uCardDevice;     // 256 card 1, 257 card 2; card 3: the archive folder (<= 255)
extern uint8_t g_aucCardPresent[CARD_COUNT];
extern int32_t g_bCardActive;
extern int32_t g_bCardServiceOn;   // 1 at start
extern int32_t g_bCardOverlay;
extern int32_t g_iCardBlockCounter;
extern int32_t g_aiCardSeenChange[2]; // change count last seen, cards 1 and 2
extern SAVEHEADER g_tSaveHeader;   // built by Sys_BuildSaveHeader

// Lifecycle and card choice.
CARDSTATE *Sys_CardSetup();
void Sys_CardShutdown();
void Sys_CardSelect(int32_t card);
// slot -1 starts the oldest waiting request.
CARDSTATE *Sys_CardService(int32_t slot = -1);
void Sys_CardFrameHook(uintptr_t arg);
void Sys_CardOverlayEnter();
void Sys_CardOverlayLeave();
void Sys_CardCheckChanged();
void Sys_CardResetState(int32_t card);

// Save operations on the selected card. A load reads the save's data (after its header) into
// buffer and reports through done; arg is the caller's own word, handed on to card 3's read
// handler. A refused load also calls done(0), so a caller waiting for done never waits forever.
int32_t Sys_CardLoadSave(void *buffer, int32_t slot, CARDDONEFN done, int32_t arg);
int32_t Sys_CardDeleteSave(int32_t slot, uint32_t flags);
// Writes the browser's folder (the user's folder before the browser opened one) + name + ".tnv":
// "TVPC", the header titled with name, then size bytes of data; the old file stays whole until
// the new one is complete. done(1) when written, done(0) when not. 0, or -1 on failure (the reason
// is in g_szErrorText).
int32_t Sys_CardWriteSaveFile(const void *data, int32_t size, const char *name, int32_t ignored,
                              CARDDONEFN done);

// The ring.
int32_t Sys_CardQueueRequest(const CARDREQUEST *request);
CARDREQUEST *Sys_CardNextRequest();
void Sys_CardClearRequests(int32_t card);
int32_t Sys_CardWaitingRequests();
int32_t Sys_CardStartRequest(CARDREQUEST *request);
// The running request (the last started), or null.
const CARDREQUEST *Sys_CardCurrentRequest();
// What the card library reports for the running request: 0 success (done(1)); 1, 2, 3, 5 failed
// (retried up to CARD_RETRY_LIMIT times, then the card's queue is dropped and done(0)).
void Sys_CardRequestResult(int32_t result);
void Sys_CardFinishRequest(int32_t result);

// A fresh save name for state (out: CARD_RANDOM_NAME_BYTES); returns the last free slot, or -1.
int32_t Sys_CardRandomName(const CARDSTATE *state, char *out);
void Sys_BuildSaveHeader(const char *title, int32_t blocks, int32_t icon);
void Sys_CardLoadSaveIcon(const CARDICONREQUEST *request);

// Reading saves.
// Title of a header as text (out: CARD_TITLE_BYTES): plain text, or the codes converted; when a
// code has no ASCII form the raw codes are copied instead and 1 is returned (else 0).
int32_t Sys_DecodeSaveTitle(const uint8_t title[64], char *out);
// Checks a save header: "SC", type 0x11-0x13, 1..SAVEHEADER_MAX_BLOCKS blocks. 0 or -1.
int32_t Sys_CheckSaveHeader(const uint8_t *bytes, size_t size);
// Offset of the save data in a save file image (516 with the "TVPC" tag, 512 without), or -1 when
// the file holds no valid header.
int32_t Sys_LocateSaveData(const uint8_t *file, size_t size);
// Reads a host save file: header into *header (when given), data into buffer. The data's size, or
// -1 with a text in g_szErrorText when the file is missing, broken or larger than capacity (the
// buffer is then left alone).
int32_t Sys_ReadSaveFile(const char *path, SAVEHEADER *header, void *buffer, size_t capacity);
