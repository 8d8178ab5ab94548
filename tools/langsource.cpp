#include "tools/langsource.h"

#include <cstdint>
#include <cstdio>

const char *const g_apszLangSourceNames[5] = {"english", "french", "italian", "spanish", "german"};

namespace {

// Code page 1252 bytes 0x80..0x9F; 0 where the byte is unassigned.
const uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int ToCp1252(uint32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; i++)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace

bool Lang_Utf8ToCp1252(const std::string &utf8, std::string &out, std::string &err)
{
    out.clear();
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        uint32_t c = s[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + size_t(extra) >= n + (extra == 0 ? 1 : 0)) {
            err = "not UTF-8";
            return false;
        }
        if (extra > 0) {
            c &= 0x3F >> extra;
            for (int k = 1; k <= extra; k++) {
                if (i + size_t(k) >= n || (s[i + k] & 0xC0) != 0x80) {
                    err = "not UTF-8";
                    return false;
                }
                c = (c << 6) | (s[i + k] & 0x3F);
            }
        }
        i += size_t(extra) + 1;
        const int b = ToCp1252(c);
        if (b <= 0) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "character U+%04X is not in the code page", unsigned(c));
            err = c == 0 ? "NUL in text" : buf;
            return false;
        }
        out.push_back(char(b));
    }
    return true;
}

bool Lang_ParseSource(const std::string &utf8, std::vector<std::string> &texts, std::vector<bool> &present,
                      std::string &err)
{
    texts.assign(LANG_TEXT_COUNT, std::string());
    present.assign(LANG_TEXT_COUNT, false);
    size_t pos = 0;
    int lineNo = 0;
    while (pos < utf8.size()) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string::npos)
            end = utf8.size();
        std::string line = utf8.substr(pos, end - pos);
        pos = end + 1;
        lineNo++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab > 3) {
            err = where + "expected id, a tab, then the text";
            return false;
        }
        int id = 0;
        for (size_t k = 0; k < tab; k++) {
            if (line[k] < '0' || line[k] > '9') {
                err = where + "the id is not a number";
                return false;
            }
            id = id * 10 + (line[k] - '0');
        }
        if (id >= LANG_TEXT_COUNT) {
            err = where + "id " + std::to_string(id) + " is not below 700";
            return false;
        }
        if (present[size_t(id)]) {
            err = where + "id " + std::to_string(id) + " is given twice";
            return false;
        }
        std::string raw;
        const std::string body = line.substr(tab + 1);
        for (size_t k = 0; k < body.size(); k++) {
            if (body[k] == '\\' && k + 1 < body.size() && body[k + 1] == 'n') {
                raw.push_back('\n');
                k++;
            } else {
                raw.push_back(body[k]);
            }
        }
        std::string conv, why;
        if (!Lang_Utf8ToCp1252(raw, conv, why)) {
            err = where + why;
            return false;
        }
        texts[size_t(id)] = conv;
        present[size_t(id)] = true;
    }
    return true;
}
