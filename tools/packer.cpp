#include "tools/packer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <strings.h>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSector = 2048;
constexpr uint32_t kMaxRecords = 0x1FFF;
constexpr uint32_t kMaxBlockSector = 0x7FFFF;
constexpr size_t kRow = 32;

bool ValidName(const std::string &n)
{
    if (n.empty() || n.size() > 8)
        return false;
    for (unsigned char c : n)
        if (c <= ' ' || c >= 0x7F || c == '/' || c == '\\')
            return false;
    return true;
}

std::string Trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

void Put16(std::vector<uint8_t> &v, size_t at, uint16_t x)
{
    v[at] = (uint8_t)x;
    v[at + 1] = (uint8_t)(x >> 8);
}

void Put32(std::vector<uint8_t> &v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; i++)
        v[at + i] = (uint8_t)(x >> (8 * i));
}

void PutName(std::vector<uint8_t> &v, size_t at, const std::string &n, size_t width)
{
    std::memcpy(&v[at], n.data(), std::min(n.size(), width));
}

uint32_t Sectors(uint64_t bytes)
{
    return (uint32_t)((bytes + kSector - 1) / kSector);
}

struct NODE
{
    const PACKDIR *dir;
    uint32_t firstChild = 0; // node number
    bool owner = false;
    int32_t ownerNode = -1;  // for a non-owner with entries
    uint32_t first = 0;      // non-owner: first record in its owner's block
    uint32_t records = 0;    // owner: records in its block
    uint32_t blockSector = 0;
    uint32_t companionSector = 0;
    std::vector<uint32_t> fileSectors;
    std::vector<uint32_t> nonOwners; // leaf children kept in this block, in order
};

std::vector<uint8_t> Companion(const PACKDIR &d)
{
    std::vector<uint8_t> rows((1 + d.files.size()) * kRow, 0);
    std::string title = d.title.empty() ? (d.name.empty() ? std::string("ROOT") : d.name) : d.title;
    PutName(rows, 0, title, kRow - 1);
    for (size_t k = 0; k < d.files.size(); k++)
    {
        const PACKFILE &f = d.files[k];
        PutName(rows, (k + 1) * kRow, f.shown.empty() ? f.name : f.shown, kRow - 1);
    }
    return rows;
}

bool CheckDir(const PACKDIR &d, const std::string &where, std::string &err)
{
    for (size_t i = 0; i < d.files.size(); i++)
    {
        if (!ValidName(d.files[i].name))
        {
            err = "bad file name '" + d.files[i].name + "' in " + where + " (1-8 printable characters)";
            return false;
        }
        if (d.files[i].data.size() > 0x7FFFFFFF)
        {
            err = "file " + where + "/" + d.files[i].name + " is too large";
            return false;
        }
        for (size_t j = 0; j < i; j++)
            if (d.files[j].name == d.files[i].name)
            {
                err = "file name '" + d.files[i].name + "' twice in " + where;
                return false;
            }
    }
    if (1 + d.files.size() > kMaxRecords)
    {
        err = "too many files in " + where;
        return false;
    }
    for (size_t i = 0; i < d.dirs.size(); i++)
    {
        if (!ValidName(d.dirs[i].name))
        {
            err = "bad directory name '" + d.dirs[i].name + "' in " + where + " (1-8 printable characters)";
            return false;
        }
        for (size_t j = 0; j < i; j++)
            if (strcasecmp(d.dirs[j].name.c_str(), d.dirs[i].name.c_str()) == 0)
            {
                err = "directory names '" + d.dirs[j].name + "' and '" + d.dirs[i].name + "' in " + where +
                      " differ only in case";
                return false;
            }
        if (!CheckDir(d.dirs[i], where + "/" + d.dirs[i].name, err))
            return false;
    }
    if (d.dirs.size() > 0x7FFF)
    {
        err = "too many directories in " + where;
        return false;
    }
    return true;
}

} // namespace

bool Pack_ReadTree(const std::string &folder, PACKDIR &out, std::string &err)
{
    std::error_code ec;
    std::vector<fs::directory_entry> items;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        items.push_back(*it);
    if (ec)
    {
        err = "cannot read folder " + folder + ": " + ec.message();
        return false;
    }
    std::sort(items.begin(), items.end(),
              [](const fs::directory_entry &a, const fs::directory_entry &b) {
                  return a.path().filename().string() < b.path().filename().string();
              });
    std::vector<std::pair<std::string, std::string>> shown;
    for (const fs::directory_entry &e : items)
    {
        std::string name = e.path().filename().string();
        if (e.is_directory(ec))
        {
            PACKDIR sub;
            sub.name = name;
            if (!Pack_ReadTree(e.path().string(), sub, err))
                return false;
            out.dirs.push_back(std::move(sub));
            continue;
        }
        std::ifstream in(e.path(), std::ios::binary);
        if (!in)
        {
            err = "cannot read " + e.path().string();
            return false;
        }
        if (name == "_names.txt")
        {
            std::string line;
            while (std::getline(in, line))
            {
                size_t eq = line.find('=');
                if (Trim(line).empty() || Trim(line)[0] == '#')
                    continue;
                if (eq == std::string::npos)
                {
                    err = e.path().string() + ": line without '=': " + line;
                    return false;
                }
                std::string key = Trim(line.substr(0, eq));
                std::string text = Trim(line.substr(eq + 1));
                if (key.empty())
                    out.title = text;
                else
                    shown.emplace_back(key, text);
            }
            continue;
        }
        PACKFILE f;
        f.name = name;
        f.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        out.files.push_back(std::move(f));
    }
    for (const auto &item : shown)
    {
        const std::string &key = item.first;
        auto it = std::find_if(out.files.begin(), out.files.end(), [&](const PACKFILE &f) { return f.name == key; });
        if (it == out.files.end())
        {
            err = folder + "/_names.txt names a file that is not there: " + key;
            return false;
        }
        it->shown = item.second;
    }
    return CheckDir(out, folder, err);
}

PACKDIR &Pack_Dir(PACKDIR &root, const std::string &path)
{
    PACKDIR *at = &root;
    size_t pos = 0;
    while (pos <= path.size())
    {
        size_t slash = path.find('/', pos);
        std::string comp = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        pos = slash == std::string::npos ? path.size() + 1 : slash + 1;
        if (comp.empty())
            continue;
        auto it = std::find_if(at->dirs.begin(), at->dirs.end(),
                               [&](const PACKDIR &d) { return strcasecmp(d.name.c_str(), comp.c_str()) == 0; });
        if (it == at->dirs.end())
        {
            PACKDIR d;
            d.name = comp;
            at->dirs.push_back(std::move(d));
            it = at->dirs.end() - 1;
        }
        at = &*it;
    }
    return *at;
}

bool Pack_Build(const PACKDIR &root, const PACKOPTIONS &options, std::vector<uint8_t> &index,
                std::vector<uint8_t> &data, std::string &err)
{
    if (!root.name.empty())
    {
        err = "the root directory has no name";
        return false;
    }
    if (!CheckDir(root, "", err))
        return false;

    // Nodes: the root alone in the top-level list, then each directory's children as one run, in
    // breadth-first order.
    std::vector<NODE> nodes;
    nodes.push_back(NODE{&root});
    for (size_t i = 0; i < nodes.size(); i++)
    {
        nodes[i].firstChild = (uint32_t)nodes.size();
        if (nodes.size() - i > 0x7FFF && !nodes[i].dir->dirs.empty())
        {
            err = "the tree is too large for 16-bit child offsets";
            return false;
        }
        for (const PACKDIR &d : nodes[i].dir->dirs)
            nodes.push_back(NODE{&d});
    }

    // Owners and the records of each block.
    for (size_t i = 0; i < nodes.size(); i++)
    {
        NODE &n = nodes[i];
        if (i != 0 && n.dir->dirs.empty() && !n.owner)
            continue; // a leaf: placed by its parent below, or made an owner there
        n.owner = true;
        n.records = 1 + (uint32_t)n.dir->files.size();
        for (size_t c = 0; c < n.dir->dirs.size(); c++)
        {
            NODE &child = nodes[n.firstChild + c];
            if (!child.dir->dirs.empty())
                continue;
            uint32_t own = 1 + (uint32_t)child.dir->files.size();
            if (n.records + own <= kMaxRecords)
            {
                child.ownerNode = (int32_t)i;
                child.first = n.records;
                n.records += own;
                n.nonOwners.push_back(n.firstChild + (uint32_t)c);
            }
            else
            {
                child.owner = true;
            }
        }
    }
    // Leaves turned into owners above get their own block now.
    for (NODE &n : nodes)
        if (n.owner && n.records == 0)
            n.records = 1 + (uint32_t)n.dir->files.size();

    // Sectors: per directory in node order, its block (owners), companion file, then files.
    uint64_t sector = 0;
    uint32_t room = 4;
    uint32_t listing = 0;
    for (NODE &n : nodes)
    {
        if (n.owner)
        {
            n.blockSector = (uint32_t)sector;
            if (sector > kMaxBlockSector)
            {
                err = "the data file is too large: a listing block lies past sector 524287";
                return false;
            }
            room = std::max(room, n.records * 16 + 4);
            sector += Sectors(n.records * 16ull + 4);
        }
        n.companionSector = (uint32_t)sector;
        uint32_t companion = (uint32_t)((1 + n.dir->files.size()) * kRow);
        listing = std::max(listing, companion);
        sector += Sectors(companion);
        for (const PACKFILE &f : n.dir->files)
        {
            n.fileSectors.push_back((uint32_t)sector);
            sector += Sectors(f.data.size());
        }
        if (sector > 0xFFFFFFFFull / kSector)
        {
            err = "the data file is too large";
            return false;
        }
    }

    data.assign(sector * kSector, 0);
    auto putEntries = [&](size_t at, const NODE &n) {
        // Header entry (unnamed) then the files.
        Put32(data, at + 8, n.companionSector);
        Put32(data, at + 12, (uint32_t)((1 + n.dir->files.size()) * kRow));
        at += 16;
        for (size_t k = 0; k < n.dir->files.size(); k++, at += 16)
        {
            PutName(data, at, n.dir->files[k].name, 8);
            Put32(data, at + 8, n.fileSectors[k]);
            Put32(data, at + 12, (uint32_t)n.dir->files[k].data.size());
        }
        return at;
    };
    for (const NODE &n : nodes)
    {
        if (n.owner)
        {
            size_t at = (size_t)n.blockSector * kSector;
            Put32(data, at, 1 + (uint32_t)n.dir->files.size());
            at = putEntries(at + 4, n);
            for (uint32_t k : n.nonOwners)
                at = putEntries(at, nodes[k]);
        }
        std::vector<uint8_t> rows = Companion(*n.dir);
        std::copy(rows.begin(), rows.end(), data.begin() + (size_t)n.companionSector * kSector);
        for (size_t k = 0; k < n.dir->files.size(); k++)
        {
            const std::vector<uint8_t> &bytes = n.dir->files[k].data;
            std::copy(bytes.begin(), bytes.end(), data.begin() + (size_t)n.fileSectors[k] * kSector);
        }
    }

    // Index: header, nodes, then the count word and the room for the largest block.
    size_t offset = 48 + nodes.size() * 16 + 4;
    index.assign(offset - 4 + room, 0);
    PutName(index, 0, options.discName, 32);
    Put16(index, 32, options.discNumber);
    Put16(index, 34, 1);
    Put32(index, 36, (uint32_t)offset);
    Put32(index, 40, listing);
    for (size_t i = 0; i < nodes.size(); i++)
    {
        const NODE &n = nodes[i];
        size_t at = 48 + i * 16;
        PutName(index, at, n.dir->name, 8);
        uint16_t children = (uint16_t)n.dir->dirs.size();
        Put16(index, at + 8, children ? (uint16_t)(int16_t)(n.firstChild - i) : 0);
        Put16(index, at + 10, (uint16_t)(children | (n.owner ? 0x8000 : 0)));
        uint32_t word = n.owner ? (n.blockSector | n.records << 19)
                                : (n.ownerNode >= 0 ? n.first | (1 + (uint32_t)n.dir->files.size()) << 19 : 0);
        Put32(index, at + 12, word);
    }
    return true;
}

bool Pack_WriteArchive(const std::string &folder, const std::vector<uint8_t> &index,
                       const std::vector<uint8_t> &data, std::string &err)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
    {
        err = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    const std::pair<const char *, const std::vector<uint8_t> *> files[] = {{"demowad.WAD", &data},
                                                                           {"demowad.IND", &index}};
    for (const auto &file : files)
    {
        const char *name = file.first;
        const std::vector<uint8_t> *bytes = file.second;
        fs::path target = fs::path(folder) / name;
        fs::path temp = target;
        temp += ".tmp";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write((const char *)bytes->data(), (std::streamsize)bytes->size());
            if (!out.flush())
            {
                err = "cannot write " + temp.string();
                return false;
            }
        }
        fs::rename(temp, target, ec);
        if (ec)
        {
            err = "cannot write " + target.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}
