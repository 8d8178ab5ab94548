// Small archives for tests: trees built in memory, packed into a fresh data folder's WADS/.
#pragma once

#include "core/archive.h"
#include "core/disc.h"
#include "core/file.h"
#include "tools/packer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

inline std::vector<uint8_t> Bytes(const std::string &s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline PACKFILE File(const std::string &name, const std::string &data, const std::string &shown = "")
{
    return PACKFILE{name, shown, Bytes(data)};
}

// A fresh data folder per test, removed afterwards; the archive is closed and freed at the end.
class WadTest : public ::testing::Test
{
public:
    std::string m_dir;

    void SetUp() override
    {
        char tmpl[] = "/tmp/tnv_wad_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", m_dir.c_str());
        Sys_DiscInit();
    }

    void TearDown() override
    {
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        g_szDataDir[0] = 0;
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string Path(const std::string &rel) const { return m_dir + "/" + rel; }

    // Packs root into index and data, failing the test when it cannot.
    static void Pack(const PACKDIR &root, std::vector<uint8_t> &index, std::vector<uint8_t> &data,
                     const PACKOPTIONS &options = PACKOPTIONS{})
    {
        std::string err;
        ASSERT_TRUE(Pack_Build(root, options, index, data, err)) << err;
    }

    void WriteArchive(const std::vector<uint8_t> &index, const std::vector<uint8_t> &data,
                      const std::string &folder = "WADS") const
    {
        std::string err;
        ASSERT_TRUE(Pack_WriteArchive(Path(folder), index, data, err)) << err;
    }

    void PackAndWrite(const PACKDIR &root, const PACKOPTIONS &options = PACKOPTIONS{})
    {
        std::vector<uint8_t> index, data;
        Pack(root, index, data, options);
        WriteArchive(index, data);
    }
};
