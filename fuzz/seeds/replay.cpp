// Runs every fuzz target once over each of its seeds and two damaged copies of it (cut in half,
// one byte flipped), each target in a child process of its own as the fuzzer would run it. Fails
// when a target has no seeds, ends other than cleanly, or, for the targets named quiet, prints
// anything: a fuzzer runs millions of inputs, so one line per input drowns its own report.
//
//   tnv_fuzz_replay <corpus folder> [quiet target...]
#include "replay_targets.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::vector<uint8_t>> Inputs(const fs::path &dir)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::vector<std::vector<uint8_t>> out;
    for (const fs::path &f : files) {
        std::ifstream in(f, std::ios::binary);
        std::vector<uint8_t> seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        out.push_back(seed);
        out.emplace_back(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(seed.size() / 2));
        if (!seed.empty()) {
            seed[seed.size() / 3] ^= 0x5A;
            out.push_back(seed);
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tnv_fuzz_replay <corpus folder> [quiet target...]\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const std::set<std::string> quiet(argv + 2, argv + argc);
    int failures = 0;
    for (const REPLAYTARGET &t : g_aReplayTargets) {
        const std::vector<std::vector<uint8_t>> inputs = Inputs(corpus / t.name);
        if (inputs.empty()) {
            std::printf("%s: no seeds in %s\n", t.name, (corpus / t.name).c_str());
            failures++;
            continue;
        }
        const bool mustBeQuiet = quiet.count(t.name) > 0;
        char log[] = "/tmp/tnv_fuzz_replay_XXXXXX";
        const int logFd = mustBeQuiet ? mkstemp(log) : -1;
        // Each target's scratch files go in a folder of its own, removed once it ends.
        char scratch[] = "/tmp/tnv_fuzz_run_XXXXXX";
        const bool haveScratch = mkdtemp(scratch) != nullptr;
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (haveScratch)
                setenv("TMPDIR", scratch, 1);
            if (logFd >= 0) {
                dup2(logFd, 1);
                dup2(logFd, 2);
            }
            for (const std::vector<uint8_t> &in : inputs)
                t.run(in.data(), in.size());
            std::fflush(nullptr);
            _exit(0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("%s: did not end cleanly over its %zu inputs (status %d)\n", t.name, inputs.size(), status);
            failures++;
        }
        if (logFd >= 0) {
            const off_t printed = lseek(logFd, 0, SEEK_END);
            if (printed > 0) {
                std::printf("%s: printed %lld bytes over %zu inputs\n", t.name, static_cast<long long>(printed), inputs.size());
                failures++;
            }
            close(logFd);
            unlink(log);
        }
        if (haveScratch) {
            std::error_code ignored;
            fs::remove_all(scratch, ignored);
        }
        std::printf("%s: %zu inputs\n", t.name, inputs.size());
    }
    return failures ? 1 : 0;
}
