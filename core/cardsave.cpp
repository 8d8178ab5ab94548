#include "core/cardsave.h"

#include "app/calllog.h"
#include "app/settings.h"
#include "core/console_memory.h"
#include "core/consolelib.h"
#include "core/event.h"
#include "core/file.h"
#include "core/random.h"
#include "core/savetitle.h"
#include "core/standin_browser.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

CARDSTATE g_aCardState[CARD_COUNT];
CARDSTATE *g_pCardState = &g_aCardState[0];
int32_t g_iCardMode = 1;
uint32_t g_uCardDevice = 256;
uint8_t g_aucCardPresent[CARD_COUNT];
int32_t g_bCardActive;
int32_t g_bCardServiceOn = 1;
int32_t g_bCardOverlay;
int32_t g_iCardBlockCounter;
int32_t g_aiCardSeenChange[2];
SAVEHEADER g_tSaveHeader;

namespace {

CARDREQUEST s_aRing[CARD_RING_SIZE];
int32_t s_iCount;
int32_t s_iWrite;
int32_t s_iRead;
CARDREQUEST s_tCurrent;
bool s_bHaveCurrent;
int32_t s_iRetries;
bool s_bSetupDone;
uint32_t s_uCard3Device;
CARDICON s_aIcons[CARD_COUNT][CARD_SLOTS];

// The console card library: empty on this platform, so no card answers and nothing completes.
namespace cardlib {
int32_t Probe(int32_t /*port*/)
{
    return -1;
}
void Start(int32_t /*port*/, const CARDREQUEST & /*request*/) {}
void Poll() {}
void End() {}
int32_t ChangeCount(int32_t /*card*/)
{
    return 0;
}
} // namespace cardlib

// Long paths are cut in the text.
__attribute__((format(printf, 1, 2))) void SaveError(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_szErrorText, sizeof g_szErrorText, format, args);
    va_end(args);
}

bool ValidCard(int32_t card)
{
    return card >= 1 && card <= CARD_COUNT;
}

bool ValidSlot(int32_t slot)
{
    return slot >= 0 && slot < CARD_SLOTS;
}

int32_t OtherCard(int32_t card)
{
    return card == 1 ? 2 : 1;
}

void CopyName(char *dst, size_t dstSize, const char *src)
{
    size_t n = strnlen(src, dstSize - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

void SetPresent(int32_t card, uint8_t value)
{
    if (ValidCard(card))
        g_aucCardPresent[card - 1] = value;
}

void SetPresence(int32_t card, bool on)
{
    const uint16_t bit = static_cast<uint16_t>(card == 1 ? 1 : card == 2 ? 2 : 0);
    for (CARDSTATE &s : g_aCardState)
        s.uPresence = static_cast<uint16_t>(on ? (s.uPresence | bit) : (s.uPresence & ~bit));
}

// The checks cards 1 and 2 share before a slot operation.
int32_t CheckSlot(const CARDSTATE *s, int32_t slot)
{
    if (!(s->uUsable & 1))
        return CARD_ERR_UNUSABLE;
    if (!(s->uPresence & (g_iCardMode == 1 ? 1 : 2)))
        return CARD_ERR_ABSENT;
    if (!ValidSlot(slot) || s->aszFile[slot][0] == '\0')
        return CARD_ERR_EMPTYSLOT;
    return CARD_OK;
}

void QueueKind(int32_t kind, int32_t card)
{
    CARDREQUEST r{};
    r.iKind = kind;
    r.iCard = card;
    Sys_CardQueueRequest(&r);
}

// A name becomes one file in the folder: no separators, no control characters, not empty.
bool SafeSaveName(const char *name)
{
    if (!name || !name[0])
        return false;
    size_t n = strnlen(name, CARD_NAME_BYTES);
    if (n >= CARD_NAME_BYTES)
        return false;
    for (size_t i = 0; i < n; i++) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 32 || c == 127 || c == '/' || c == '\\')
            return false;
    }
    return true;
}

uint16_t StoredCode(const uint8_t *title, int i)
{
    return static_cast<uint16_t>(title[2 * i] | (title[2 * i + 1] << 8));
}

void WriteAll(FILE *f, const void *data, int32_t size, bool *ok)
{
    if (*ok && size > 0 && Sys_WriteFile(f, data, size) != size)
        *ok = false;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Lifecycle

void Sys_CardResetState(int32_t card)
{
    if (!ValidCard(card))
        return;
    CARDSTATE &s = g_aCardState[card - 1];
    std::memset(&s, 0, sizeof s);
    for (auto &colour : s.aucColour) {
        colour[0] = colour[1] = colour[2] = 127;
    }
    s.pPresent = g_aucCardPresent;
    s.uCard = static_cast<uint32_t>(card);
}

CARDSTATE *Sys_CardSetup()
{
    Sys_CardClearRequests(0);
    if (!ValidCard(g_iCardMode))
        g_iCardMode = 1;
    g_pCardState = &g_aCardState[g_iCardMode - 1];
    if (!s_bSetupDone) {
        s_bSetupDone = true;
        for (int32_t card = 1; card <= CARD_COUNT; card++)
            Sys_CardResetState(card);
        const int32_t ports[2] = {0, 0x10};
        for (int32_t i = 0; i < 2; i++) {
            if (cardlib::Probe(ports[i]) != 0)
                continue;
            SetPresence(i + 1, true);
            if (static_cast<int8_t>(g_aucCardPresent[i]) >= 0)
                g_aucCardPresent[i] = CARD_PRESENT;
        }
        QueueKind(CARDREQ_PROBE, g_iCardMode);
        QueueKind(CARDREQ_PROBE, g_iCardMode == 1 ? 2 : 1);
    }
    g_bCardActive = 1;
    return g_pCardState;
}

void Sys_CardShutdown()
{
    Sys_CardClearRequests(0);
    cardlib::End();
    g_bCardActive = 0;
}

void Sys_CardSelect(int32_t card)
{
    if (!ValidCard(card))
        return;
    // Kept whenever card 3 was the selected one, so choosing it again keeps its folder.
    if (g_iCardMode == 3)
        s_uCard3Device = g_uCardDevice;
    if (card == 1)
        g_uCardDevice = 256;
    else if (card == 2)
        g_uCardDevice = 257;
    else
        g_uCardDevice = s_uCard3Device > 255 ? 255 : s_uCard3Device;
    g_iCardMode = card;
    g_pCardState = &g_aCardState[card - 1];
    if (card == 3)
        Sys_EventDispatch(CARD_EV_SELECT, reinterpret_cast<uintptr_t>(g_pCardState));
}

CARDSTATE *Sys_CardService(int32_t slot)
{
    cardlib::Poll();
    if (slot == -1) {
        CARDREQUEST *next = Sys_CardNextRequest();
        if (next) {
            s_iRetries = 0;
            Sys_CardStartRequest(next);
        }
    }
    return g_pCardState;
}

void Sys_CardFrameHook(uintptr_t)
{
    if (g_bCardActive && g_bCardServiceOn)
        Sys_CardService(-1);
}

void Sys_CardCheckChanged()
{
    g_bCardOverlay = 1;
    for (int32_t card = 1; card <= 2; card++) {
        const int32_t count = cardlib::ChangeCount(card);
        if (count != g_aiCardSeenChange[card - 1]) {
            if (g_aucCardPresent[card - 1] != 0)
                QueueKind(CARDREQ_CHANGED, card);
            g_aiCardSeenChange[card - 1] = count;
        }
    }
}

void Sys_CardOverlayEnter()
{
    Sys_CallLog("Sys_CardOverlayEnter");
    Sys_CardCheckChanged();
}

void Sys_CardOverlayLeave()
{
    Sys_CallLog("Sys_CardOverlayLeave");
    g_bCardOverlay = 0;
    Sys_CardClearRequests(0);
    cardlib::Poll();
}

// ---------------------------------------------------------------------------------------------
// The ring

int32_t Sys_CardQueueRequest(const CARDREQUEST *request)
{
    if (!request)
        return CARD_ERR_EMPTYSLOT;
    if (s_iCount >= CARD_RING_SIZE)
        return CARD_ERR_QUEUEFULL;
    s_aRing[s_iWrite] = *request;
    s_aRing[s_iWrite].szName[CARD_REQUEST_NAME_BYTES - 1] = '\0';
    s_iWrite = (s_iWrite + 1) % CARD_RING_SIZE;
    s_iCount++;
    return CARD_OK;
}

CARDREQUEST *Sys_CardNextRequest()
{
    if (s_iCount <= 0)
        return nullptr;
    CARDREQUEST *r = &s_aRing[s_iRead];
    s_iRead = (s_iRead + 1) % CARD_RING_SIZE;
    s_iCount--;
    return r;
}

int32_t Sys_CardWaitingRequests()
{
    return s_iCount;
}

void Sys_CardClearRequests(int32_t card)
{
    if (card == 0) {
        for (CARDREQUEST &r : s_aRing)
            r.iKind = CARDREQ_NONE;
        s_iCount = s_iWrite = s_iRead = 0;
        return;
    }
    for (int32_t i = 0; i < s_iCount; i++) {
        CARDREQUEST &r = s_aRing[(s_iRead + i) % CARD_RING_SIZE];
        if (r.iCard == card)
            r.iKind = CARDREQ_NONE;
    }
}

int32_t Sys_CardStartRequest(CARDREQUEST *request)
{
    if (!request || request->iKind == CARDREQ_NONE || request->iCard == 3)
        return 0;
    if (!ValidCard(request->iCard))
        return -1;
    s_tCurrent = *request;
    s_bHaveCurrent = true;
    const int32_t card = request->iCard;
    const int32_t port = card == 1 ? 0 : 0x10;
    CARDSTATE &s = g_aCardState[card - 1];
    switch (request->iKind) {
    case CARDREQ_READ:
        if (!ValidSlot(request->iSlot) || s.aszFile[request->iSlot][0] == '\0')
            break;
        s.iOpState = 3;
        cardlib::Start(port, *request);
        SetPresent(card, CARD_BUSY);
        break;
    case CARDREQ_WRITE:
        cardlib::Start(port, *request);
        SetPresent(card, 2);
        s.iOpState = 4;
        break;
    case CARDREQ_READHEADER:
        s.iOpState = 3;
        cardlib::Start(port, *request);
        SetPresent(card, 4);
        break;
    case CARDREQ_DELETE:
        // The delete gives back the blocks Sys_CardDeleteSave took off (once, not per retry).
        if (s_iRetries == 0 && ValidSlot(request->iSlot))
            g_iCardBlockCounter += s.aucBlocks[request->iSlot];
        cardlib::Start(port, *request);
        break;
    case CARDREQ_CHANGED:
        SetPresent(card, CARD_BUSY);
        cardlib::Start(port, *request);
        break;
    default:
        cardlib::Start(port, *request);
        break;
    }
    return 0;
}

const CARDREQUEST *Sys_CardCurrentRequest()
{
    return s_bHaveCurrent ? &s_tCurrent : nullptr;
}

void Sys_CardRequestResult(int32_t result)
{
    if (!s_bHaveCurrent)
        return;
    if (result == 0) {
        s_bHaveCurrent = false;
        if (s_tCurrent.pfnDone)
            s_tCurrent.pfnDone(1);
        return;
    }
    if (result != 1 && result != 2 && result != 3 && result != 5) {
        s_bHaveCurrent = false;
        if (s_tCurrent.pfnDone)
            s_tCurrent.pfnDone(0);
        return;
    }
    if (++s_iRetries < CARD_RETRY_LIMIT) {
        CARDREQUEST again = s_tCurrent;
        Sys_CardStartRequest(&again);
        return;
    }
    s_bHaveCurrent = false;
    Sys_CardClearRequests(s_tCurrent.iCard);
    SetPresent(s_tCurrent.iCard, 3);
    if (s_tCurrent.pfnDone)
        s_tCurrent.pfnDone(0);
}

void Sys_CardFinishRequest(int32_t result)
{
    if (!s_bHaveCurrent)
        return;
    Sys_EventDispatch(CARD_EV_FINISHED, reinterpret_cast<uintptr_t>(&s_tCurrent));
    const int32_t card = s_tCurrent.iCard;
    if (!ValidCard(card) || card == 3)
        return;
    CARDSTATE &s = g_aCardState[card - 1];
    switch (result) {
    case 1:
        Sys_CardResetState(card);
        SetPresence(card, false);
        s.iOpState = 1;
        SetPresent(card, CARD_REMOVED);
        break;
    case 2:
        Sys_CardClearRequests(card);
        Sys_CardResetState(card);
        for (uint32_t &state : s.auState)
            state = 255;
        s.uUsable &= static_cast<uint16_t>(~1u);
        g_aCardState[OtherCard(card) - 1].uUsable &= static_cast<uint16_t>(~2u);
        SetPresence(card, true);
        QueueKind(CARDREQ_CHANGED, card);
        s.iOpState = 2;
        SetPresent(card, CARD_BUSY);
        break;
    case 3:
        SetPresence(card, true);
        s.iOpState = -2;
        SetPresent(card, CARD_REMOVED);
        break;
    case 4:
        SetPresence(card, true);
        s.iOpState = -4;
        SetPresent(card, 252);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Save operations

int32_t Sys_CardLoadSave(void *buffer, int32_t slot, CARDDONEFN done, int32_t arg)
{
    if (g_iCardMode == 3) {
        // Without a listing handler nobody would ever answer the read.
        if (Sys_EventCountHandlers(CARD_EV_READ) <= 0 || !ValidSlot(slot)) {
            if (done)
                done(0);
            return CARD_ERR_EMPTYSLOT;
        }
        CARDREADREQUEST r{buffer, slot, arg, done, &g_aCardState[2]};
        Sys_EventDispatch(CARD_EV_READ, reinterpret_cast<uintptr_t>(&r));
        return CARD_OK;
    }
    const CARDSTATE *s = g_pCardState;
    int32_t result = CheckSlot(s, slot);
    if (result == CARD_OK && s->auSize[slot] < SAVEHEADER_BYTES)
        result = CARD_ERR_EMPTYSLOT;
    if (result == CARD_OK) {
        CARDREQUEST r{};
        r.iKind = CARDREQ_READ;
        r.iCard = g_iCardMode;
        r.iSlot = slot;
        CopyName(r.szName, sizeof r.szName, s->aszFile[slot]);
        r.pBuffer = buffer;
        r.uOffset = SAVEHEADER_BYTES;
        r.uSize = s->auSize[slot] - SAVEHEADER_BYTES;
        r.iArg = arg;
        r.pfnDone = done;
        result = Sys_CardQueueRequest(&r);
    }
    if (result != CARD_OK && done)
        done(0);
    return result;
}

int32_t Sys_CardDeleteSave(int32_t slot, uint32_t flags)
{
    if (g_iCardMode == 3)
        return CARD_ERR_READONLY;
    CARDSTATE *s = g_pCardState;
    int32_t result = CheckSlot(s, slot);
    if (result != CARD_OK)
        return result;
    CARDREQUEST r{};
    r.iKind = CARDREQ_DELETE;
    r.iCard = g_iCardMode;
    r.iSlot = slot;
    CopyName(r.szName, sizeof r.szName, s->aszFile[slot]);
    r.uFlags = flags;
    result = Sys_CardQueueRequest(&r);
    if (result != CARD_OK)
        return result;
    g_iCardBlockCounter -= s->aucBlocks[slot];
    s->aszTitle[slot][0] = '\0';
    if (flags & 2) {
        CARDREQUEST changed{};
        changed.iKind = CARDREQ_CHANGED;
        changed.iCard = g_iCardMode;
        result = Sys_CardQueueRequest(&changed);
    }
    return result;
}

int32_t Sys_CardRandomName(const CARDSTATE *state, char *out)
{
    if (!out)
        return -1;
    int32_t freeSlot;
    for (;;) {
        char letters[8];
        for (int i = 0; i < 7; i++)
            letters[i] = static_cast<char>('A' + Sys_Rand() % 26);
        letters[7] = '\0';
        std::snprintf(out, CARD_RANDOM_NAME_BYTES, "%s%s%s", "BE", "SLES-99417", letters);
        if (!state)
            return -1;
        freeSlot = -1;
        bool clash = false;
        for (int32_t i = 0; i < CARD_SLOTS && !clash; i++) {
            if (state->aszFile[i][0] == '\0' || state->aszTitle[i][0] == '\0')
                freeSlot = i;
            clash = strncmp(state->aszFile[i], out, CARD_NAME_BYTES) == 0;
        }
        if (!clash)
            return freeSlot;
    }
}

void Sys_BuildSaveHeader(const char *title, int32_t blocks, int32_t icon)
{
    SAVEHEADER &h = g_tSaveHeader;
    std::memset(&h, 0, sizeof h);
    h.magic[0] = 'S';
    h.magic[1] = 'C';
    h.type = SAVEHEADER_TYPE;
    h.blocks = static_cast<uint8_t>(blocks);
    for (int i = 0; title && i < TITLE_CODES && title[i]; i++) {
        const uint16_t code = Sys_AsciiToTitleCode(static_cast<unsigned char>(title[i]));
        if (code == 0)
            break;
        h.title[2 * i] = static_cast<uint8_t>(code & 0xFF);
        h.title[2 * i + 1] = static_cast<uint8_t>(code >> 8);
    }
    if (icon >= 0 && icon < CONSOLE_SAVE_ICONS) {
        if (g_apSaveIconPalette[icon])
            std::memcpy(h.palette, g_apSaveIconPalette[icon], sizeof h.palette);
        if (g_apSaveIconImage[icon])
            std::memcpy(h.image, g_apSaveIconImage[icon], sizeof h.image);
    }
}

int32_t Sys_CardWriteSaveFile(const void *data, int32_t size, const char *name, int32_t, CARDDONEFN done)
{
    bool ok = SafeSaveName(name) && size >= 0 && (data || size == 0);
    if (!ok)
        SaveError("Couldn't Write to File (%s). Invalid Name!",
                      name && strnlen(name, CARD_NAME_BYTES) < CARD_NAME_BYTES ? name : "");
    char path[SYS_HOSTPATH_SIZE];
    if (ok) {
        // Before the browser has shown a folder, saves go to the user's folder.
        const bool base = g_szBrowserDir[0] == '\0';
        const char *dir = base ? g_szBaseDir : g_szBrowserDir;
        const size_t len = strnlen(dir, 260);
        const bool sep = len > 0 && (dir[len - 1] == '\\' || dir[len - 1] == '/');
        const int n = std::snprintf(path, sizeof path, "%.*s%s%s.tnv", static_cast<int>(len), dir,
                                    sep || len == 0 ? "" : "\\", name);
        ok = n > 0 && static_cast<size_t>(n) < sizeof path;
        if (!ok)
            SaveError("Couldn't Write to File (%s). Path too long!", name);
        char host[SYS_HOSTPATH_SIZE];
        if (ok && base && len > 0 && Sys_HostPath(dir, host, sizeof host) == 0) {
            std::error_code ec;
            std::filesystem::create_directories(host, ec);
        }
    }
    FILE *f = ok ? Sys_OpenFileWrite(path, 1, 0) : nullptr;
    ok = f != nullptr;
    if (ok) {
        Sys_BuildSaveHeader(name, 1, 0);
        WriteAll(f, "TVPC", SAVEFILE_TAG_BYTES, &ok);
        WriteAll(f, &g_tSaveHeader, SAVEHEADER_BYTES, &ok);
        WriteAll(f, data, size, &ok);
        if (ok)
            ok = Sys_CloseFile(f) == 0;
        else
            Sys_DiscardFile(f);
    }
    if (done)
        done(ok ? 1 : 0);
    return ok ? 0 : -1;
}

// ---------------------------------------------------------------------------------------------
// Reading saves

int32_t Sys_DecodeSaveTitle(const uint8_t title[64], char *out)
{
    bool coded = false;
    for (int i = 0; i < TITLE_CODES; i++)
        coded = coded || (title[2 * i] & 0x80);
    if (!coded) {
        const size_t n = strnlen(reinterpret_cast<const char *>(title), CARD_TITLE_BYTES - 1);
        std::memcpy(out, title, n);
        std::memset(out + n, 0, CARD_TITLE_BYTES - n);
        return 0;
    }
    char text[CARD_TITLE_BYTES] = {};
    for (int i = 0; i < TITLE_CODES; i++) {
        const uint16_t code = StoredCode(title, i);
        if (code == 0)
            break;
        const int32_t ch = Sys_TitleCodeToAscii(code);
        if (ch == 0) {
            uint16_t src[TITLE_CODES];
            uint16_t dst[TITLE_CODES];
            for (int k = 0; k < TITLE_CODES; k++)
                src[k] = StoredCode(title, k);
            Sys_CopyTitleCodes(dst, src, TITLE_CODES);
            std::memcpy(out, dst, CARD_TITLE_BYTES);
            return 1;
        }
        text[i] = static_cast<char>(ch);
    }
    std::memcpy(out, text, CARD_TITLE_BYTES);
    return 0;
}

void Sys_CardLoadSaveIcon(const CARDICONREQUEST *request)
{
    if (!request || !ValidCard(request->iCard) || !ValidSlot(request->iSlot))
        return;
    const int32_t card = request->iCard;
    const int32_t slot = request->iSlot;
    CARDSTATE &s = g_aCardState[card - 1];
    if (request->uFlags & 2) {
        s.uUsable |= 1;
        if (card != 3)
            g_aCardState[OtherCard(card) - 1].uUsable |= 2;
    }
    const uint8_t *h = request->pHeader;
    if (!h || request->uBytes < SAVEHEADER_BYTES || h[0] != 'S' || h[1] != 'C' || h[2] < 0x11 || h[2] > 0x13)
        return;
    CARDICON &icon = s_aIcons[card - 1][slot];
    std::memcpy(icon.palette, h + offsetof(SAVEHEADER, palette), sizeof icon.palette);
    std::memcpy(icon.image, h + offsetof(SAVEHEADER, image), sizeof icon.image);
    // Each slot's icon has its own 16x16 place in texture memory, four to a row.
    const int32_t x = 640 + (slot % 4) * 4 + (card - 1) * 16;
    const int32_t y = 256 + (slot / 4) * 16;
    const int16_t imageRect[4] = {static_cast<int16_t>(x), static_cast<int16_t>(y), 4, 16};
    const int16_t clutRect[4] = {static_cast<int16_t>(x), static_cast<int16_t>(y + 480 - 256), 16, 1};
    Sys_LoadVramImage(clutRect, icon.palette);
    Sys_LoadVramImage(imageRect, icon.image);
    icon.page = Sys_TexturePageId(0, 0, x, y);
    icon.clut = Sys_ClutId(clutRect[0], clutRect[1]);
    s.apIcon[slot] = &icon;

    if (Sys_DecodeSaveTitle(h + offsetof(SAVEHEADER, title), s.aszTitle[slot]))
        s.uRawTitles |= uint64_t(1) << slot;
    else
        s.uRawTitles &= ~(uint64_t(1) << slot);

    if (request->uFlags & 8) {
        CARDICONEVENT ev{h + SAVEHEADER_BYTES, request->uBytes - SAVEHEADER_BYTES, &s, slot};
        Sys_EventDispatch(CARD_EV_ICON, reinterpret_cast<uintptr_t>(&ev));
    }
}

int32_t Sys_CheckSaveHeader(const uint8_t *bytes, size_t size)
{
    if (!bytes || size < SAVEHEADER_BYTES)
        return -1;
    if (bytes[0] != 'S' || bytes[1] != 'C' || bytes[2] < 0x11 || bytes[2] > 0x13)
        return -1;
    if (bytes[3] < 1 || bytes[3] > SAVEHEADER_MAX_BLOCKS)
        return -1;
    return 0;
}

int32_t Sys_LocateSaveData(const uint8_t *file, size_t size)
{
    if (!file)
        return -1;
    if (size >= SAVEFILE_DATA_OFFSET && std::memcmp(file, "TVPC", SAVEFILE_TAG_BYTES) == 0 &&
        Sys_CheckSaveHeader(file + SAVEFILE_TAG_BYTES, size - SAVEFILE_TAG_BYTES) == 0)
        return SAVEFILE_DATA_OFFSET;
    if (Sys_CheckSaveHeader(file, size) == 0)
        return SAVEHEADER_BYTES;
    return -1;
}

int32_t Sys_ReadSaveFile(const char *path, SAVEHEADER *header, void *buffer, size_t capacity)
{
    char host[SYS_HOSTPATH_SIZE];
    if (!path || Sys_HostPath(path, host, sizeof host) != 0) {
        SaveError("Couldn't Load File (%s). Path too long!", "");
        return -1;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(host, ec)) {
        SaveError("Couldn't Load File (%s). File doesn't exist!", host);
        return -1;
    }
    FILE *f = std::fopen(host, "rb");
    if (!f) {
        SaveError("Couldn't Load File (%s). File doesn't exist!", host);
        return -1;
    }
    int32_t result = -1;
    uint8_t head[SAVEFILE_DATA_OFFSET];
    const size_t headBytes = std::fread(head, 1, sizeof head, f);
    const int32_t offset = Sys_LocateSaveData(head, headBytes);
    long size = -1;
    if (offset >= 0 && std::fseek(f, 0, SEEK_END) == 0)
        size = std::ftell(f);
    const long dataBytes = size < 0 ? -1 : size - offset;
    if (offset < 0 || dataBytes < 0)
        SaveError("Couldn't Load File (%s). Not a save file!", host);
    else if (dataBytes > 0x7FFFFFFFL || static_cast<unsigned long>(dataBytes) > capacity || (!buffer && dataBytes > 0))
        SaveError("Couldn't Load File (%s). File too large!", host);
    else if (dataBytes > 0 && (std::fseek(f, offset, SEEK_SET) != 0 ||
                               std::fread(buffer, 1, static_cast<size_t>(dataBytes), f) != static_cast<size_t>(dataBytes)))
        SaveError("Couldn't Read from File (%s). Read Error!", host);
    else {
        if (header)
            std::memcpy(header, head + offset - SAVEHEADER_BYTES, SAVEHEADER_BYTES);
        result = static_cast<int32_t>(dataBytes);
    }
    std::fclose(f);
    return result;
}
