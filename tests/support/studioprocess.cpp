#include "support/studioprocess.h"

#include <gtest/gtest.h>

#include <bit>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace {

uint32_t Be32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

} // namespace

bool HaveTool(const char *name)
{
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string RunAndRead(const std::string &cmd)
{
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// Waits for a child to end, checking a bounded number of times; -1 when it did not end.
int WaitExit(pid_t pid, int tries)
{
    for (int i = 0; i < tries; i++) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(50000);
    }
    return -1;
}

// True once the process catches the signal (its handler is installed), read from /proc; waits a
// bounded time, so a slow start under a sanitizer or a loaded machine is not killed by default.
bool WaitCaught(pid_t pid, int sig, int tries)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    for (int i = 0; i < tries; i++) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("SigCgt:", 0) == 0) {
                unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
                if (mask & (1ull << (sig - 1)))
                    return true;
            }
        }
        usleep(50000);
    }
    return false;
}

// The program sits in the build folder, one above this test program's folder.
std::string ProgramPath()
{
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return std::string();
    std::string dir = self;
    dir = dir.substr(0, dir.rfind('/'));
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/tnvpc";
}



// An 8-bit RGB PNG as the display writes it; empty when it cannot be read.
Picture ReadPng(const std::string &path)
{
    Picture pic;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return pic;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return pic;
    pic.width = image.width;
    pic.height = image.height;
    pic.rgb = std::move(rgb);
    return pic;
}


// A window dump of xwd (true colour, 32 bits a pixel); empty when it is of another kind.
Picture ReadXwd(const std::string &path)
{
    Picture pic;
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.size() < 100)
        return pic;
    const uint32_t headerSize = Be32(b, 0), format = Be32(b, 8), width = Be32(b, 16), height = Be32(b, 20);
    const uint32_t byteOrder = Be32(b, 28), bpp = Be32(b, 44), bytesPerLine = Be32(b, 48);
    const uint32_t masks[3] = {Be32(b, 56), Be32(b, 60), Be32(b, 64)};
    const uint32_t ncolors = Be32(b, 76);
    const size_t data = size_t{headerSize} + size_t{ncolors} * 12;
    if (format != 2 || bpp != 32 || data + size_t{bytesPerLine} * height > b.size())
        return pic;
    pic.width = width;
    pic.height = height;
    pic.rgb.resize(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t *p = &b[data + size_t{y} * bytesPerLine + size_t{x} * 4];
            const uint32_t v = byteOrder == 0 ? (p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                                              : (uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
            for (int c = 0; c < 3; c++)
                pic.rgb[(size_t{y} * width + x) * 3 + c] =
                    static_cast<uint8_t>((v & masks[c]) >> std::countr_zero(masks[c] ? masks[c] : 1));
        }
    return pic;
}

// Runs the program headless for some frames and reads the frame it dumped.
Picture HeadlessFrame(const std::string &program, int frames)
{
    const std::string png = ::testing::TempDir() + "tnv_headless_frame.png";
    std::remove(png.c_str());
    const std::string cmd = "env -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=" + std::to_string(frames) +
                            " TNV_DUMP_FRAME='" + png + "' '" + program + "' >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Picture{};
    return ReadPng(png);
}

std::string SeenIntroductionSettings()
{
    const std::string path = ::testing::TempDir() + "tnv_seen_introduction.ini";
    if (FILE *f = std::fopen(path.c_str(), "w")) {
        std::fputs("[Software\\Quillstone\\Tonnivelle Demo]\nIntroduction=1\n", f);
        std::fclose(f);
    }
    return path;
}
