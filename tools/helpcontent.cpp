#include "tools/helpcontent.h"

#include "tools/langsource.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

const char *const g_apszHelpLanguageFolders[5] = {"ENGLISH", "FRENCH", "GERMAN", "SPANISH", "ITALIAN"};
const char *const g_apszHelpSourceFolders[5] = {"english", "french", "german", "spanish", "italian"};

namespace {

std::string Trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r'))
        a++;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        b--;
    return s.substr(a, b - a);
}

// Topic files are named by their three-digit number.
bool TopicNumber(const std::string &file, int &topic)
{
    if (file.size() != 7 || file.substr(3) != ".txt")
        return false;
    topic = 0;
    for (int i = 0; i < 3; i++) {
        if (file[size_t(i)] < '0' || file[size_t(i)] > '9')
            return false;
        topic = topic * 10 + (file[size_t(i)] - '0');
    }
    return topic <= 255;
}

bool ReadTopics(const std::filesystem::path &folder, std::map<int, std::vector<std::string>> &topics, std::string &err)
{
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec))
        files.push_back(entry.path());
    if (ec) {
        err = folder.string() + ": cannot list";
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const auto &path : files) {
        int topic = 0;
        if (!TopicNumber(path.filename().string(), topic)) {
            err = path.string() + ": not a topic file (NNN.txt)";
            return false;
        }
        std::ifstream file(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::string why;
        if (!file || !Help_ParseTopic(text, topics[topic], why)) {
            err = path.string() + ": " + (file ? why : "cannot read");
            return false;
        }
    }
    return true;
}

} // namespace

bool Help_ParseTopic(const std::string &utf8, std::vector<std::string> &pages, std::string &err)
{
    pages.clear();
    std::string page, paragraph;
    bool open = false;
    auto endParagraph = [&] {
        if (paragraph.empty())
            return;
        if (page.find("\r\n") != page.size() - 2)
            page += "\r\n"; // an empty line between two paragraphs
        page += paragraph + "\r\n";
        paragraph.clear();
    };
    auto endPage = [&](int line) {
        endParagraph();
        if (page.size() > HELP_PAGE_MAX_BYTES) {
            err = "line " + std::to_string(line) + ": the page before it holds " + std::to_string(page.size()) +
                  " bytes, more than " + std::to_string(HELP_PAGE_MAX_BYTES);
            return false;
        }
        pages.push_back(page);
        return true;
    };
    size_t at = 0;
    int line = 0;
    while (at <= utf8.size()) {
        size_t end = utf8.find('\n', at);
        if (end == std::string::npos)
            end = utf8.size();
        const std::string raw = utf8.substr(at, end - at);
        at = end + 1;
        line++;
        std::string text;
        std::string why;
        if (!Lang_Utf8ToCp1252(Trim(raw), text, why)) {
            err = "line " + std::to_string(line) + ": " + why;
            return false;
        }
        if (text.rfind("==", 0) == 0) {
            if (open && !endPage(line))
                return false;
            const std::string title = Trim(text.substr(2));
            if (title.empty()) {
                err = "line " + std::to_string(line) + ": a page without a title";
                return false;
            }
            page = title + "\r\n";
            open = true;
            continue;
        }
        if (!open) {
            if (!text.empty() && text[0] != '#') {
                err = "line " + std::to_string(line) + ": text before the first page";
                return false;
            }
            continue;
        }
        if (text.empty())
            endParagraph();
        else
            paragraph += (paragraph.empty() ? "" : " ") + text;
    }
    if (open && !endPage(line))
        return false;
    return true;
}

bool Content_HelpFiles(const std::string &source, std::vector<CONTENTFILE> &files, std::string &err)
{
    const std::filesystem::path root = std::filesystem::path(source) / "help";
    std::map<int, std::vector<std::string>> english;
    if (!std::filesystem::is_directory(root / g_apszHelpSourceFolders[0])) {
        err = (root / g_apszHelpSourceFolders[0]).string() + ": missing";
        return false;
    }
    if (!ReadTopics(root / g_apszHelpSourceFolders[0], english, err))
        return false;
    for (int language = 0; language < 5; language++) {
        std::map<int, std::vector<std::string>> own;
        const std::filesystem::path folder = root / g_apszHelpSourceFolders[language];
        if (language > 0 && std::filesystem::is_directory(folder) && !ReadTopics(folder, own, err))
            return false;
        for (const auto &[topic, pages] : english) {
            const std::vector<std::string> *translated = own.count(topic) ? &own.at(topic) : nullptr;
            for (size_t p = 0; p < pages.size(); p++) {
                const std::string &text =
                    translated && p < translated->size() && !(*translated)[p].empty() ? (*translated)[p] : pages[p];
                char path[64];
                std::snprintf(path, sizeof path, "demohelp/%s/%.3d/%.3d", g_apszHelpLanguageFolders[language], topic,
                              int(p));
                files.push_back({path, "", std::vector<uint8_t>(text.begin(), text.end())});
            }
        }
    }
    return true;
}
