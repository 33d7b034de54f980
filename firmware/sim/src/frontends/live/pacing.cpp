#include "frontends/live/pacing.h"

#include <thread>

namespace boardsim {
namespace {

constexpr double kLagAllowed = 0.25;  // wall seconds

}  // namespace

Pacer::Pacer(double speed) : speed_(speed) {}

void Pacer::waitFor(double t)
{
    const Clock::time_point now = Clock::now();
    if (!started_) {
        started_ = true;
        wallStart_ = now;
        simStart_ = t;
        return;
    }
    const auto due = wallStart_ + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>((t - simStart_) / speed_));
    if (due > now) {
        std::this_thread::sleep_until(due);
    } else if (std::chrono::duration<double>(now - due).count() > kLagAllowed) {
        wallStart_ = now;
        simStart_ = t;
    }
}

}  // namespace boardsim
