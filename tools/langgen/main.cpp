// tnv_langgen SOURCEDIR OUT.cpp
// Turns the UTF-8 text sources SOURCEDIR/<language>.txt into the studio's five built-in tables
// (code page 1252 strings). A text a translation lacks is the English one, so no table has holes.
#include "tools/langsource.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool ReadFile(const std::string &path, std::string &out)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream s;
    s << file.rdbuf();
    out = s.str();
    return true;
}

std::string Literal(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F || c == '?') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tnv_langgen SOURCEDIR OUT.cpp\n");
        return 2;
    }
    std::vector<std::string> tables[5];
    for (int t = 0; t < 5; t++) {
        const std::string path = std::string(argv[1]) + "/" + g_apszLangSourceNames[t] + ".txt";
        std::string source, err;
        std::vector<bool> present;
        if (!ReadFile(path, source)) {
            std::fprintf(stderr, "%s: cannot read\n", path.c_str());
            return 1;
        }
        if (!Lang_ParseSource(source, tables[t], present, err)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), err.c_str());
            return 1;
        }
        for (int id = 0; t > 0 && id < LANG_TEXT_COUNT; id++)
            if (!present[size_t(id)])
                tables[t][size_t(id)] = tables[0][size_t(id)];
    }
    std::ostringstream out;
    out << "// Made by tnv_langgen from data/lang; edit the sources there.\n"
           "#include \"ui/langtext.h\"\n\n"
           "const char *const g_aapszBuiltinText[5][700] = {\n";
    for (int t = 0; t < 5; t++) {
        out << "  { // " << g_apszLangSourceNames[t] << "\n";
        for (int id = 0; id < LANG_TEXT_COUNT; id++)
            out << "    " << Literal(tables[t][size_t(id)]) << ",\n";
        out << "  },\n";
    }
    out << "};\n";
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush()) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
