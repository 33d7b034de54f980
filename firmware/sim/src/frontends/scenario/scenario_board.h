// A scenario's board: fresh from reset, with what its steps follow as it
// runs (each UART's text as it arrives, the pins the steps watch, each
// change at its moment) and runs that never pass the scenario's time-out.
// Every time here is simulated time: a wait that never ends costs the
// simulation of its time-out, not the time-out on the wall clock.
#pragma once

#include <array>
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
    ScenarioBoard(const ElfImage& image, const BoardOptions& options, const Scenario& scenario);
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
    };
    // Runs until `target` (instructions or seconds from reset), a stop()
    // from a watcher, or the scenario's deadline, whichever comes first.
    Ran runTo(const When& target);
    void stop() { board_.requestStop(); }

    // A UART's text as it arrived at the other end of its line, and where
    // the next wait-serial on it starts looking.
    struct Received {
        std::string text;
        std::vector<double> times;  // the moment each byte's last bit left
        size_t searchFrom = 0;
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
    std::array<Received, Lpc2294Machine::kUarts> received_;
    std::function<void(int)> uartWatcher_;
    std::function<void(unsigned, bool, double)> pinWatcher_;
    std::optional<DacRecording> dac_;
};

}  // namespace boardsim
