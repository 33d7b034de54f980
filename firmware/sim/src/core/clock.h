// Simulated time: cycles of the core clock, folded into seconds at each
// change of the clock's rate, so that a PLL switch mid-run keeps earlier
// time as it was.
#pragma once

#include <cmath>
#include <cstdint>

namespace boardsim {

class Clock {
public:
    uint64_t cycles() const { return cycles_; }
    void advance(uint64_t n) { cycles_ += n; }
    double hz() const { return hz_; }
    double seconds() const { return secondsAtRate_ + double(cycles_ - cyclesAtRate_) / hz_; }

    // From now on the core clock runs at `hz`.
    void setRate(double hz)
    {
        secondsAtRate_ = seconds();
        cyclesAtRate_ = cycles_;
        hz_ = hz;
    }

    // The first cycle count at which time `t` has been reached, at the
    // present rate.
    uint64_t cycleOf(double t) const
    {
        const double ahead = (t - secondsAtRate_) * hz_;
        return ahead <= 0 ? cyclesAtRate_ : cyclesAtRate_ + uint64_t(std::ceil(ahead - 1e-6));
    }

private:
    uint64_t cycles_ = 0;
    double hz_ = 1;
    uint64_t cyclesAtRate_ = 0;
    double secondsAtRate_ = 0;
};

}  // namespace boardsim
