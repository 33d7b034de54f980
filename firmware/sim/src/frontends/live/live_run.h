// A run someone takes part in: paced to the wall clock when there is a
// person or a program at the board (--screen, --uart-pty, the ISP link after
// G), with the LCD recorded for --lcd-movie. The run goes in short slices of
// simulated time; between them the terminal is redrawn, keys and UART input
// are taken, and what UART0 sent is passed on: as a terminal at its own
// rate reads it (the screen at --baud, a pty's client at the rate it set),
// garbage when the rates differ, which boardsim says once on stderr. Such a
// session goes on through garbage; a plain run fails on it.
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
    // Whether the options (or an ISP link) ask for any of it.
    static bool wanted(const Options& options, const Pty* link);

    // Opens the pty and checks the movie file before anything runs; throws
    // BoardError when either cannot be had. `link`: the ISP link, whose
    // host is there already, to carry UART0 after the boot loader's G.
    LiveRun(Board& board, const Options& options, Pty* link = nullptr);
    ~LiveRun();
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // Pass every event of the board on to here.
    void observe(const Event& e);

    // Runs the board as the options say and writes the movie. A paced run
    // goes on until its --run end (the screen closes then too), q, or an
    // ending signal (signals.h), which end the run as a limit would.
    StopReason run();
    // Why the run ended, for the stop line; empty when it reached its end.
    const std::string& ending() const { return ending_; }

private:
    bool wantsPacing() const { return options_.screen || pty_ != nullptr; }
    struct Paced;
    StopReason runPaced();
    void awaitTerminal(Paced& paced);
    void runSlice(Paced& paced);
    bool takeKeys(Paced& paced);  // true: q
    void redraw(Paced& paced);
    void passUart(double until);
    void followClientRate();
    void noteRates(const std::string& who, double listens, bool& noted);
    void note(const std::string& text);
    void sampleLcd();

    Board& board_;
    const Options& options_;
    std::unique_ptr<Pty> ownPty_;  // --uart-pty's
    Pty* pty_ = nullptr;           // that one, or the ISP link
    LineReceiver screenLine_;      // the screen's terminal, at --baud
    LineReceiver ptyLine_;                 // the pty's client, at the rate it set
    unsigned ptyBaud_ = 0;                 // 0: it set none, and gets the bytes as sent
    double lineBaud_ = 0;                  // UART0's rate, as its last frame went
    bool screenRateNoted_ = false;
    bool ptyRateNoted_ = false;
    std::vector<std::string> notes_;  // for stderr once the screen is gone
    std::optional<LcdMovie> movie_;
    std::shared_ptr<std::function<void()>> sampler_;  // the LCD's, while the run goes
    std::string uartText_;
    std::vector<std::pair<double, char>> uartPending_;  // sent, not yet passed on (for a client with no rate)
    std::string ending_;
};

}  // namespace boardsim
