// Linked into every test program: gives tests the source and build folders through the same
// variables a person would set, without overriding values set from outside, and a temporary
// folder of their own (gtest's TempDir() follows TEST_TMPDIR), so tests run at the same time
// from several checkouts never share or remove each other's files.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {
struct TestEnv
{
    pid_t owner = 0;
    std::string tmp;

    TestEnv()
    {
        setenv("TNV_SOURCE_DIR", TNV_TEST_SOURCE_DIR, 0);
        setenv("TNV_BUILD_DIR", TNV_TEST_BUILD_DIR, 0);
        if (!std::getenv("TEST_TMPDIR")) {
            char name[] = "/tmp/tnv-test.XXXXXX";
            if (mkdtemp(name)) {
                tmp = name;
                owner = getpid();
                setenv("TEST_TMPDIR", (tmp + "/").c_str(), 1);
            }
        }
    }
    ~TestEnv()
    {
        // Forked children that end normally must not remove the parent's folder.
        if (!tmp.empty() && getpid() == owner) {
            std::error_code ec;
            std::filesystem::remove_all(tmp, ec);
        }
    }
} s_testEnv;
} // namespace
