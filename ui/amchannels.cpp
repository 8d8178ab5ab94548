#include "ui/amchannels.h"

#include "app/calllog.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridops.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/noteparams.h"
#include "ui/riffeditor.h"
#include "ui/view.h"

#include <algorithm>
#include <cstring>

uint8_t g_aucChannelLink[ED_RIFF_CHANNELS] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

int Ed_IsLinkedChannel(int32_t channel)
{
    return channel >= 0 && channel < ED_RIFF_CHANNELS && g_aucChannelLink[channel] == 1;
}

namespace {

void OneButtonBox(int32_t text, MSGBOXANSWERFN answer)
{
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(text);
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    r.pfnAnswer = answer;
    if (!Ui_OpenMessageBox(&r))
        Ui_PlayRefusal();
}

void BackToMenu(uint8_t)
{
    Ui_ReturnToEditorMenu();
}

void RefreshGrid()
{
    Ui_ClearCellBuffer();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

// Inserts the AM channel after the current one; false (refusal box shown) when the riff cannot
// grow by a channel.
bool AddAmChannel()
{
    const int32_t channel = g_ucCurrentChannel;
    if (!Seq_InsertRiffTrack(0, channel) || !Seq_InsertRiffTrack(1, channel)) {
        OneButtonBox(299, nullptr);
        return false;
    }
    const int32_t added = channel + 1;
    for (int32_t i = ED_RIFF_CHANNELS - 1; i > added; i--)
        g_aucChannelEnabled[i] = g_aucChannelEnabled[i - 1];
    g_aucChannelEnabled[added] = 1;
    g_ucCurrentChannel = uint8_t(added);
    Ed_RebuildChannelLinkFlags();
    RefreshGrid();
    return true;
}

void RemovePairAnswer(uint8_t button)
{
    if (button == 1) {
        int32_t first = -1;
        const int32_t channel = g_ucCurrentChannel;
        if (Ed_IsLinkedChannel(channel))
            first = channel - 1;
        else if (Ed_IsLinkedChannel(channel + 1))
            first = channel;
        if (first >= 0 && Seq_RemoveJoinedTrack(first)) {
            g_ucCurrentChannel = uint8_t(first);
            // The channels after the removed one keep their own enable bytes.
            for (int32_t i = first + 1; i + 1 < ED_RIFF_CHANNELS; i++)
                g_aucChannelEnabled[i] = g_aucChannelEnabled[i + 1];
            g_tSelectedNote.ucFlags &= uint8_t(~NOTE_FLAG_JOINED);
            Ed_RebuildChannelLinkFlags();
            Ui_ReselectNote();
            RefreshGrid();
        }
    }
    Ui_ReturnToEditorMenu();
}

} // namespace

void Ed_RebuildChannelLinkFlags()
{
    const int32_t tracks = Seq_GetRiffTrackCount(g_uCurrentRiff);
    g_ucChannelCount = uint8_t(std::clamp<int32_t>(tracks, 1, ED_RIFF_CHANNELS));
    std::fill(g_aucChannelLink, g_aucChannelLink + ED_RIFF_CHANNELS, uint8_t(2));
    for (int32_t n = 0; n < g_ucChannelCount; n++) {
        // A join bit on the last channel (a damaged or hand-made riff) has no channel to join.
        if (Seq_GetRiffTrackFlag(n) && n + 1 < g_ucChannelCount) {
            g_aucChannelLink[n + 1] = 1;
            n++;
        }
    }
    if (g_ucCurrentChannel >= g_ucChannelCount)
        g_ucCurrentChannel = uint8_t(g_ucChannelCount - 1);
}

void Ui_RebuildChannelLinks()
{
    Ed_RebuildChannelLinkFlags();
}

void Ed_LinkChannel()
{
    Sys_CallLog("Ed_LinkChannel");
    if (AddAmChannel())
        OneButtonBox(301, BackToMenu);
}

void Ed_AskUnlinkChannel()
{
    Sys_CallLog("Ed_AskUnlinkChannel");
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(300);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 112;
    r.asButtonText[1] = 114;
    r.pfnAnswer = RemovePairAnswer;
    if (!Ui_OpenMessageBox(&r))
        Ui_PlayRefusal();
}

// The AM indicator of the note panel.
void Ui_ChannelLinkAction()
{
    Sys_CallLog("Ui_ChannelLinkAction");
    const int32_t channel = g_ucCurrentChannel;
    if (Ed_IsLinkedChannel(channel)) {
        Ui_PlayRefusal();
        return;
    }
    if (g_tSelectedNote.ucFlags & NOTE_FLAG_JOINED) {
        g_tSelectedNote.ucFlags &= uint8_t(~NOTE_FLAG_JOINED);
        Ui_WriteSelectedNote();
        return;
    }
    if (Ed_IsLinkedChannel(channel + 1)) {
        g_tSelectedNote.ucFlags |= NOTE_FLAG_JOINED;
        Ui_WriteSelectedNote();
        return;
    }
    const int16_t step = g_sSelectedStep;
    const NOTEPARAMS kept = g_tSelectedNote;
    if (!AddAmChannel())
        return;
    // The note stays on its own channel, now the first of the pair.
    g_ucCurrentChannel = uint8_t(channel);
    g_tSelectedNote = kept;
    g_sSelectedStep = step;
    g_tSelectedNote.ucFlags |= NOTE_FLAG_JOINED;
    Ui_WriteSelectedNote();
    g_ucCurrentChannel = uint8_t(channel + 1);
    OneButtonBox(301, nullptr);
}

void Ed_UpdateLinkedChannel(int32_t step, int32_t channel)
{
    if (!Ed_IsLinkedChannel(channel) || Seq_FindNoteStart(step, channel, nullptr) != step)
        return;
    NOTEPARAMS p{};
    Seq_ReadNote(step, channel, &p);
    if (p.ucState == 255)
        return;
    // A modifier: it plays on the channel before it, at no level of its own, and its volume
    // envelope loses its first entry.
    p.ucFlags = uint8_t((p.ucFlags | NOTE_FLAG_SECOND_OF_PAIR) & ~NOTE_FLAG_JOINED);
    p.ucLevel = 0;
    if (p.ucCountA > 0) {
        std::memmove(&p.auValuesA[0], &p.auValuesA[1], sizeof(p.auValuesA) - sizeof(p.auValuesA[0]));
        p.ucCountA--;
    }
    Seq_WriteNote(step, channel, &p);
    Ui_ClearCellBuffer();
}

void Ed_InstallAmChannelItems()
{
    g_pfnLinkChannel = Ed_LinkChannel;
    g_pfnAskUnlinkChannel = Ed_AskUnlinkChannel;
}
