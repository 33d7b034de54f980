// Simulated instructions, and simulated seconds, per wall-clock second on a
// real image, with the hooks a normal run has (watched calls, LED and UART
// events to an observer): as boardsim runs it, and with busy-wait loops and
// then the cycle model taken out, to show what each costs. Best of a few
// runs, so another process on the machine costs less of the figure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "frontends/common/firmware_profile.h"
#include "machine/board.h"

namespace {

struct Setting {
    const char* name;
    bool fastLoops;
    bool cycleModel;
};

bool measure(const boardsim::ElfImage& image, const Setting& setting, uint64_t instructions, int runs)
{
    double bestRate = 0;
    double bestRealTime = 0;
    for (int run = 0; run < runs; ++run) {
        boardsim::BoardOptions options = boardsim::boardOptionsFor(image);
        options.fastLoops = setting.fastLoops;
        options.cycleModel = setting.cycleModel;
        boardsim::Board board(image, options);
        uint64_t events = 0;
        board.subscribe([&](const boardsim::Event&) { ++events; });
        const auto start = std::chrono::steady_clock::now();
        board.runUntil(instructions);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (board.fault()) {
            std::fprintf(stderr, "boardsim_bench: %s\n", board.fault()->message().c_str());
            return false;
        }
        const double rate = double(board.instructions()) / took.count();
        const double realTime = board.seconds() / took.count();
        bestRate = rate > bestRate ? rate : bestRate;
        bestRealTime = realTime > bestRealTime ? realTime : bestRealTime;
    }
    std::printf("%-44s %9.1f M instructions/s  %8.1f x real time\n", setting.name, bestRate / 1e6, bestRealTime);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: boardsim_bench IMAGE.elf [INSTRUCTIONS] [RUNS]\n");
        return 2;
    }
    const uint64_t instructions = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 50'000'000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    static const Setting settings[] = {
        {"as boardsim runs (countdown turns skipped)", true, true},
        {"every instruction run, cycle model", false, true},
        {"every instruction run, no cycle model", false, false},
    };
    try {
        const auto image = boardsim::ElfImage::fromFile(argv[1]);
        std::printf("%llu instructions of %s, best of %d runs\n", static_cast<unsigned long long>(instructions),
                    argv[1], runs);
        for (const Setting& setting : settings) {
            if (!measure(image, setting, instructions, runs)) {
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "boardsim_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
