// Simulated instructions per wall-clock second on a real image, with the
// hooks a normal run has (watched calls, LED and UART events to an
// observer). Best of a few runs, so another process on the machine costs
// less of the figure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "board.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: boardsim_bench IMAGE.elf [INSTRUCTIONS] [RUNS] [--no-cycle-model]\n");
        return 2;
    }
    const uint64_t instructions = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 50'000'000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    boardsim::BoardOptions options;
    options.cycleModel = !(argc > 4 && std::string(argv[4]) == "--no-cycle-model");
    try {
        const auto image = boardsim::ElfImage::fromFile(argv[1]);
        double best = 0;
        for (int run = 0; run < runs; ++run) {
            boardsim::Board board(image, options);
            uint64_t events = 0;
            board.setObserver([&](const boardsim::Event&) { ++events; });
            const auto start = std::chrono::steady_clock::now();
            board.runUntil(instructions);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            if (board.fault()) {
                std::fprintf(stderr, "boardsim_bench: %s\n", board.fault()->message().c_str());
                return 1;
            }
            const double rate = double(board.instructions()) / took.count();
            std::printf("run %d: %llu instructions in %.3f s (%llu events): %.1f M instructions/s\n", run + 1,
                        static_cast<unsigned long long>(board.instructions()), took.count(),
                        static_cast<unsigned long long>(events), rate / 1e6);
            best = rate > best ? rate : best;
        }
        std::printf("best: %.1f M instructions/s\n", best / 1e6);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "boardsim_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
