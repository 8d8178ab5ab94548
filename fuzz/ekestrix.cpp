// The lobby plug-in on arbitrary bytes: the settings text it reads, a remote game's data as the
// lobby hands it over (compatibility and dialog), and launch words (checked and built, never
// started). Nothing may crash, and every text stays terminated in its buffer.
#include "lobbyplugin/gameinfo.h"
#include "lobbyplugin/launch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);

    char out[EKX_PATH_SIZE];
    for (const char *name : {"Language", "DataDir", "BaseDir"}) {
        Ekx_FindSetting(text, size, EKX_SETTINGS_KEY, name, out, sizeof out);
        if (strnlen(out, sizeof out) >= sizeof out)
            abort();
    }

    int32_t flags = Ekx_Compatibility(data, static_cast<int32_t>(size < 64 ? size : 64));
    if (flags < 0 || flags > 15)
        abort();

    int32_t dialogSize = size ? static_cast<int32_t>(size) - (data[0] & 1 ? 2 : 0) : 0;
    EkestrixDialog *dlg = Ekx_DialogOpen(nullptr, size ? data : nullptr, dialogSize);
    if (dlg) {
        if (strnlen(dlg->szCaption, sizeof dlg->szCaption) >= sizeof dlg->szCaption)
            abort();
        if (dialogSize >= 0 && std::memcmp(dlg->pszText, data, static_cast<size_t>(dialogSize)) != 0)
            abort();
        if (Ekx_DialogClose(dlg) != 0 || Ekx_DialogClose(dlg) != -1)
            abort();
    }

    // Launch words: the bytes up to the first NUL as the address, the rest as the port.
    std::string all(text, size);
    size_t nul = all.find('\0');
    std::string address = all.substr(0, nul);
    std::string port = nul == std::string::npos ? std::string() : all.substr(nul + 1);
    for (int32_t type = 0; type <= 3; ++type) {
        const char *argv[7];
        int n = Ekx_BuildLaunchArgs(type, address.c_str(), port.c_str(), argv);
        if (n < 0)
            continue;
        for (int i = 1; i < n; ++i)
            if (!Ekx_LaunchWordOk(argv[i]) || std::strpbrk(argv[i], " \t\r\n"))
                abort();
        if (argv[n] != nullptr)
            abort();
    }
    return 0;
}
