// The headless input script and the text conversion on arbitrary bytes: a script is either refused
// with a message or read whole, and its events come out in frame order without end.
#include "platform/backend.h"
#include "fuzz/fuzztemp.h"
#include "platform/window.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = FuzzTempDir() + "/tnv_fuzz_script_" + std::to_string(getpid()) + ".txt";
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    setenv("TNV_INPUT_SCRIPT", path.c_str(), 1);
    if (Plat_WindowCreate("fuzz", 640, 480)) {
        PLATEVENT ev;
        // Every event is handed out once; then the backend ends the wait.
        for (size_t n = 0;; n++) {
            if (n > size + 1)
                abort();
            if (!Plat_WaitEvent(&ev))
                abort();
            if (ev.type == PLAT_EV_CLOSE)
                break;
            if (ev.type == PLAT_EV_CHAR && (ev.code == 0 || ev.code > 255))
                abort();
        }
        Plat_WindowDestroy();
    } else if (Plat_WindowError()[0] == '\0') {
        abort();
    }
    std::string text(reinterpret_cast<const char *>(data), size);
    std::string western = Plat_Utf8ToWestern(text.c_str());
    if (western.size() > text.size())
        abort();
    return 0;
}
