// A fresh folder per test, used as the data folder; removed afterwards.
#pragma once

#include "core/file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

class ScratchDir : public ::testing::Test
{
public:
    std::string m_dir;

    void SetUp() override
    {
        char tmpl[] = "/tmp/tnv_core_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        chmod(tmpl, 0755); // other users may look in (permission tests run as nobody)
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", m_dir.c_str());
        g_szErrorText[0] = 0;
    }

    void TearDown() override
    {
        g_szDataDir[0] = 0;
        std::error_code ec;
        std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string Path(const std::string &rel) const { return m_dir + "/" + rel; }

    void Write(const std::string &rel, const std::string &bytes) const
    {
        std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
        std::ofstream(Path(rel), std::ios::binary) << bytes;
    }

    std::string Read(const std::string &rel) const
    {
        std::ifstream in(Path(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    size_t CountEntries() const
    {
        size_t n = 0;
        for ([[maybe_unused]] auto &e : std::filesystem::directory_iterator(m_dir))
            ++n;
        return n;
    }
};

// Runs fn with file permissions enforced even when the tests run as root.
template <typename F> void AsUnprivileged(F fn)
{
    const bool root = geteuid() == 0;
    if (root)
        setfsuid(65534);
    fn();
    if (root)
        setfsuid(0);
}
