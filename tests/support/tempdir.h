// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <string>

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &Path() const { return m_path; }
    std::string File(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Whole-file helpers for fixtures.
void WriteTextFile(const std::string &path, const std::string &bytes);
std::string ReadTextFile(const std::string &path);
