// A run someone takes part in: paced to the wall clock when there is a
// person or a program at the board (--screen, --uart-pty), with the LCD
// recorded for --lcd-movie. The run goes in short slices of simulated time;
// between them the terminal is redrawn, keys and UART input are taken, and
// what UART0 sent is passed on.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "machine/board.h"
#include "frontends/live/lcd_movie.h"
#include "frontends/cli/options.h"
#include "frontends/live/pacing.h"
#include "frontends/common/pty.h"

namespace boardsim {

class LiveRun {
public:
    // Whether the options ask for any of it.
    static bool wanted(const Options& options);

    // Opens the pty and checks the movie file before anything runs; throws
    // BoardError when either cannot be had.
    LiveRun(Board& board, const Options& options);
    ~LiveRun();
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // Pass every event of the board on to here.
    void observe(const Event& e);

    // Runs the board as the options say and writes the movie. Without --run
    // a paced run goes on until q or an interruption (SIGINT, SIGTERM,
    // SIGHUP), which end the run as a limit would.
    StopReason run();
    // Why the run ended, for the stop line; empty when it reached its end.
    const std::string& ending() const { return ending_; }

private:
    bool wantsPacing() const { return options_.screen || !options_.uartPty.empty(); }
    struct Paced;
    StopReason runPaced();
    void awaitTerminal(Paced& paced);
    void runSlice(Paced& paced);
    bool takeKeys(Paced& paced);  // true: q
    void redraw(Paced& paced);
    void passUart(double until);
    void sampleLcd();

    Board& board_;
    const Options& options_;
    std::unique_ptr<Pty> pty_;
    std::optional<LcdMovie> movie_;
    std::shared_ptr<std::function<void()>> sampler_;  // the LCD's, while the run goes
    std::string uartText_;
    std::vector<std::pair<double, char>> uartPending_;  // sent, not yet passed on
    std::string ending_;
};

}  // namespace boardsim
