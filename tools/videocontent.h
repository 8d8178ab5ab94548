// The studio's own short video clip, drawn at build time, and the video-file writer it is stored
// with (also used by the tests for their fixtures).
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <vector>

constexpr int32_t CONTENT_VIDEO_WIDTH = 160;
constexpr int32_t CONTENT_VIDEO_HEIGHT = 120;
constexpr int32_t CONTENT_VIDEO_RATE = 25; // frames a second
constexpr int32_t CONTENT_VIDEO_FRAMES = 100;
// Relative to the data folder.
constexpr const char *CONTENT_VIDEO_PATH = "video/tnvclip.avi";

// What a video file holds: one video stream of frames stored as given.
struct CONTENTVIDEO
{
    int32_t width = 0;
    int32_t height = 0; // stored negative (rows top first) when topDown
    bool topDown = false;
    int32_t bitCount = 24;
    uint32_t compression = 0; // 0 rows as they are, 1 run-length coded 8-bit
    uint32_t handler = 0;     // the stream's handler code
    uint32_t rate = 25;
    uint32_t scale = 1;
    uint32_t length = 0; // announced frame count; 0: the number of frames
    std::vector<uint32_t> palette; // 0x00RRGGBB, for 8-bit frames
    std::vector<std::vector<uint8_t>> frames; // stored bytes of each frame
    bool index = true;            // write an index after the frames
    bool indexFromFileStart = false; // index offsets from the file's start instead of the frame list
};

std::vector<uint8_t> Content_EncodeAvi(const CONTENTVIDEO &video);
// Palette indices (rows top first) as run-length coded rows, bottom row first.
std::vector<uint8_t> Content_EncodeRle8(const std::vector<uint8_t> &indices, int32_t width, int32_t height);

// The clip's 256 colours (0x00RRGGBB) and frame n as palette indices, rows top first.
std::vector<uint32_t> Content_VideoPalette();
std::vector<uint8_t> Content_DrawVideoFrame(int32_t n);
// The clip, run-length coded, at CONTENT_VIDEO_PATH.
std::vector<CONTENTFILE> Content_VideoFiles();
