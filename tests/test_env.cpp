// Linked into every test program: gives tests the source and build folders through the same
// variables a person would set, without overriding values set from outside.
#include <cstdlib>

namespace {
struct TestEnv
{
    TestEnv()
    {
        setenv("TNV_SOURCE_DIR", TNV_TEST_SOURCE_DIR, 0);
        setenv("TNV_BUILD_DIR", TNV_TEST_BUILD_DIR, 0);
    }
} s_testEnv;
} // namespace
