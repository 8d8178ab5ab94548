// Golden pictures kept as PNG files (under tests/editors/golden unless a folder is given): the test layer's frame is compared
// pixel for pixel; TNV_GOLDEN_WRITE=1 (re)writes the kept file, a mismatch is written to
// golden_out/ under the working directory for a person to look at.
#pragma once

#include "support/studioprocess.h"
#include "support/testlayer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

inline ::testing::AssertionResult MatchesGoldenPng(const std::string &name,
                                                  const std::string &folder = "tests/editors/golden")
{
    const std::string golden = std::string(TNV_TEST_SOURCE_DIR) + "/" + folder + "/" + name + ".png";
    const char *write = std::getenv("TNV_GOLDEN_WRITE");
    if (write && *write == '1') {
        std::filesystem::create_directories(std::filesystem::path(golden).parent_path());
        if (!TestLayer_WritePng(golden))
            return ::testing::AssertionFailure() << "could not write " << golden;
    }
    const std::string made = ::testing::TempDir() + name + std::to_string(getpid()) + ".png";
    if (!TestLayer_WritePng(made))
        return ::testing::AssertionFailure() << "could not write " << made;
    const Picture now = ReadPng(made), kept = ReadPng(golden);
    std::remove(made.c_str());
    if (kept.rgb.empty())
        return ::testing::AssertionFailure() << "no golden picture " << golden;
    if (now.width == kept.width && now.height == kept.height && now.rgb == kept.rgb)
        return ::testing::AssertionSuccess();
    std::error_code ec;
    std::filesystem::create_directories("golden_out", ec);
    TestLayer_WritePng("golden_out/" + name + ".png");
    return ::testing::AssertionFailure() << name << " differs from " << golden << ", see golden_out/" << name << ".png";
}
