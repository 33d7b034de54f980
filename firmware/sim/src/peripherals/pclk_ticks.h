// Whole cycles of the peripheral clock between the moments a model looks
// at it, for models that count it (a timer, the watchdog): the rate may
// change at any moment (it is passed each time), and the part of a cycle
// already gone at a moment carries over to the next.
#pragma once

#include <cmath>
#include <cstdint>

namespace boardsim {

class PclkTicks {
public:
    // The whole cycles from the anchor to `now`, at the rate in force
    // since the anchor; `now` becomes the anchor, `hz` the rate from it.
    uint64_t advance(double now, double hz)
    {
        const double cycles = (now - anchor_) * hz_ + fraction_;
        const double whole = std::floor(cycles + 1e-6);
        fraction_ = cycles - whole > 0 ? cycles - whole : 0;
        moveTo(now, hz);
        return uint64_t(whole);
    }
    // The anchor moves to `now` without counting (the count stands still);
    // the part of a cycle gone stays.
    void moveTo(double now, double hz)
    {
        anchor_ = now;
        hz_ = hz;
    }
    // A cycle ends exactly at `at` (a match, a time-out): the anchor.
    void restartAt(double at)
    {
        anchor_ = at;
        fraction_ = 0;
    }
    void reset() { anchor_ = hz_ = fraction_ = 0; }
    // The moment `cycles` whole cycles after the anchor have gone.
    double after(double cycles) const { return anchor_ + (cycles - fraction_) / hz_; }
    double hz() const { return hz_; }

private:
    double anchor_ = 0;    // the moment last looked at
    double hz_ = 0;        // the clock since then
    double fraction_ = 0;  // part of a cycle already gone at the anchor
};

}  // namespace boardsim
