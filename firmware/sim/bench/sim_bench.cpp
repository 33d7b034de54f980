// How fast the simulator runs images: simulated instructions, and
// simulated seconds, per wall-clock second, with the hooks a normal run has
// (watched calls, events to an observer): as boardsim runs them, and with
// skipped loops and then the cycle model taken out, to show what each
// costs. Best of a few runs, so another process on the machine costs less
// of the figure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "frontends/common/firmware_profile.h"
#include "machine/board.h"

namespace {

struct Setting {
    const char* name;
    bool fastLoops;
    bool cycleModel;
};

struct Rate {
    double instructionsPerSecond = 0;
    double realTime = 0;  // simulated seconds per wall second
};

bool measure(const boardsim::ElfImage& image, const Setting& setting, double seconds, int runs, Rate& best)
{
    for (int run = 0; run < runs; ++run) {
        boardsim::BoardOptions options = boardsim::boardOptionsFor(image);
        options.fastLoops = setting.fastLoops;
        options.cycleModel = setting.cycleModel;
        boardsim::Board board(image, options);
        uint64_t events = 0;
        board.subscribe([&](const boardsim::Event&) { ++events; });
        const auto start = std::chrono::steady_clock::now();
        board.runUntil(boardsim::When::at(seconds));
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (board.fault()) {
            std::fprintf(stderr, "boardsim_bench: %s\n", board.fault()->message().c_str());
            return false;
        }
        const double rate = double(board.instructions()) / took.count();
        const double realTime = board.seconds() / took.count();
        best.instructionsPerSecond = rate > best.instructionsPerSecond ? rate : best.instructionsPerSecond;
        best.realTime = realTime > best.realTime ? realTime : best.realTime;
    }
    return true;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: boardsim_bench [--seconds S] [--runs N] IMAGE.elf...\n");
        return 2;
    }
    double seconds = 1;
    int runs = 3;
    std::vector<std::string> images;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            images.push_back(arg);
        }
    }
    static const Setting settings[] = {
        {"as boardsim runs", true, true},
        {"every instruction, cycle model", false, true},
        {"every instruction, no cycle model", false, false},
    };
    try {
        std::printf("%.3g s of simulated time per run, best of %d runs\n", seconds, runs);
        std::printf("%-22s %-34s %12s %14s\n", "image", "", "M instr/s", "x real time");
        for (const std::string& path : images) {
            const auto image = boardsim::ElfImage::fromFile(path);
            for (const Setting& setting : settings) {
                Rate best;
                if (!measure(image, setting, seconds, runs, best)) {
                    return 1;
                }
                std::printf("%-22s %-34s %12.1f %14.1f\n", baseName(path).c_str(), setting.name,
                            best.instructionsPerSecond / 1e6, best.realTime);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "boardsim_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
