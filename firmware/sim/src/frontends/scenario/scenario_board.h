// A scenario's board: fresh from reset, with what its steps follow as it
// runs (each UART's text as it arrives, the pins the steps watch, each
// change at its moment) and runs that never pass the scenario's time-out.
// Every time here is simulated time: a wait that never ends costs the
// simulation of its time-out, not the time-out on the wall clock.
#pragma once

#include <array>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontends/scenario/scenario.h"
#include "frontends/signal/dac_recording.h"
#include "machine/board.h"

namespace boardsim {

class ScenarioBoard {
public:
    // `stopFlag`, when given: while it is not 0, runs end as Interrupted.
    ScenarioBoard(const ElfImage& image, const BoardOptions& options, const Scenario& scenario,
                  const volatile std::sig_atomic_t* stopFlag = nullptr);
    ScenarioBoard(const ScenarioBoard&) = delete;
    ScenarioBoard& operator=(const ScenarioBoard&) = delete;

    Board& board() { return board_; }
    double now() const { return board_.seconds(); }
    // The moment the last step ended, which the next one counts its times
    // from: a run stops at the first instruction at or after its end, a
    // little past it, and steps counted from there would drift.
    double moment() const { return moment_; }
    void setMoment(double seconds) { moment_ = seconds; }
    // The scenario's end, in seconds from reset.
    double deadline() const { return deadline_; }
    const Scenario& scenario() const { return scenario_; }
    // How long key contacts chatter at each edge.
    double bounce() const { return bounce_; }

    enum class Ran {
        Reached,   // the target
        Stopped,   // a watcher called stop()
        Deadline,  // the scenario's time-out, before the target
        Fault,     // the board faulted (board().fault())
        Interrupted,  // a signal, or an output that failed, stopped the run (interruption())
    };
    // Runs until `target` (instructions or seconds from reset), a stop()
    // from a watcher, or the scenario's deadline, whichever comes first.
    Ran runTo(const When& target);
    void stop()
    {
        stopAsked_ = true;
        board_.requestStop();
    }
    // Why a run ended Interrupted: "interrupted (SIGTERM)", or an output
    // of the run that failed (the front end that wrote it says what).
    std::string interruption() const;

    // A UART's text as it arrived at the other end of its line, and where
    // the next wait-serial on it starts looking.
    struct Received {
        std::string text;
        std::vector<double> times;  // the moment each byte's last bit left
        size_t searchFrom = 0;
        size_t unreadLetGo = 0;     // bytes no wait had read when they were let go
        // Takes a byte in. Text a wait has gone past is let go once there
        // is much of it; so is the oldest text no wait has read yet, while
        // no wait is searching (`waiting`), so that a UART that talks
        // through a long scenario does not grow it without end.
        void add(char byte, double time, bool waiting);
    };
    Received& received(int uart) { return received_.at(size_t(uart)); }
    // `watcher` hears each byte once it is in received(); none: nobody.
    void watchUart(std::function<void(int uart)> watcher) { uartWatcher_ = std::move(watcher); }
    // `watcher` hears each change of the pins the scenario follows
    // (Scenario::pinsWatched), with its moment; none: nobody.
    void watchPins(std::function<void(unsigned pin, bool level, double time)> watcher)
    {
        pinWatcher_ = std::move(watcher);
    }
    // The DAC's outputs since reset, kept when the scenario's steps follow
    // them (Scenario::followsDac); null otherwise.
    const DacRecording* dac() const { return dac_ ? &*dac_ : nullptr; }

private:
    void keep(const Event& e);

    Board board_;
    const Scenario& scenario_;
    double deadline_;
    double bounce_;
    double moment_ = 0;
    const volatile std::sig_atomic_t* stopFlag_;
    bool stopAsked_ = false;  // by a watcher, through stop()
    std::array<Received, Lpc2294Machine::kUarts> received_;
    std::function<void(int)> uartWatcher_;
    std::function<void(unsigned, bool, double)> pinWatcher_;
    std::optional<DacRecording> dac_;
};

}  // namespace boardsim
