// The windows that show the live video: the clip menus' preview window and the full-screen video
// window; the grid following a playing song under full-screen video; and the clip actions of the
// video grid: clone a shared clip, undo the last lane edit, step the clip cursor.
#pragma once

#include <cstdint>

struct WINDOW;

extern WINDOW *g_pClipPreviewWindow;
extern WINDOW *g_pFullScreenVideoWindow;
extern int32_t g_iFullScreenHold; // frames the full-screen video is not drawn

void Ui_OpenClipPreviewWindow(int32_t x, int32_t y);
void Ui_CloseClipPreviewWindow();
void Ui_DrawClipPreview(void *user);
void Ui_OpenFullScreenVideo();
void Ui_CloseFullScreenVideo();
void Ui_FullScreenVideoTick(void *user);
// 1 when the song reached its end and full-screen video was switched off.
int32_t Ui_FollowSongInGrid();

void Ui_CloneClip();
void Ui_UndoLaneEdit();
void Ui_ClipCursorLeft();
void Ui_ClipCursorRight();
// "Clone clip" and the video track's "Undo".
void Ui_InstallVideoPreviewItems();
