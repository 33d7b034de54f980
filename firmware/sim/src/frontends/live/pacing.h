// Keeps simulated time in step with the wall clock, at a chosen speed, for
// a person watching the board (or a program talking to its UART).
#pragma once

#include <chrono>

namespace boardsim {

class Pacer {
public:
    // `speed`: simulated seconds per wall-clock second.
    explicit Pacer(double speed);

    // Sleeps until the wall clock has reached simulated time `t`. When the
    // simulation has fallen behind by more than a moment (a slow host, a
    // stopped terminal), it starts afresh from here rather than racing to
    // catch up, which would show a burst of board time at once.
    void waitFor(double t);
    // The next waitFor() starts afresh, as after a pause (a debugger's halt).
    void restart() { started_ = false; }
    double speed() const { return speed_; }

private:
    using Clock = std::chrono::steady_clock;
    double speed_;
    bool started_ = false;
    Clock::time_point wallStart_;
    double simStart_ = 0;
};

}  // namespace boardsim
