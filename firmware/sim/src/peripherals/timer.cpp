#include "peripherals/timer.h"

#include <cmath>

namespace boardsim {

using namespace timer;

namespace {

// MR0..3 interrupts, then CR0..3 interrupts: each flag cleared by writing 1.
constexpr Field kInterruptFlags[] = {{"MR0", 0, 1}, {"MR1", 1, 1}, {"MR2", 2, 1}, {"MR3", 3, 1},
                                     {"CR0", 4, 1}, {"CR1", 5, 1}, {"CR2", 6, 1}, {"CR3", 7, 1}};
constexpr uint32_t kInterruptMask = 0xFF;

}  // namespace

// Widths as the user manual's Timer chapter gives them: IR and TCR 8 bits,
// MCR, CCR and EMR 16, the counts, match and capture registers 32.
Timer::Timer(unsigned index) : Timer(index, "T" + std::to_string(index)) {}

Timer::Timer(unsigned index, const std::string& p)
    : Peripheral("TIMER" + std::to_string(index), 0x40), ir_(define(0x00, p + "IR", 8)),
      tcr_(define(0x04, p + "TCR", 8)), pr_(define(0x0C, p + "PR", 32)), mcr_(define(0x14, p + "MCR", 16))
{
    for (const Field& flag : kInterruptFlags) {
        ir_.field(flag, Access::WriteOneToClear);
    }
    ir_.afterWrite([this](uint32_t) {
        if ((ir_.value() & kInterruptMask) == 0) {
            irq().set(false);
        }
    });
    replanning(tcr_.field(kCounterEnable).field(kCounterReset)).afterWrite([this](uint32_t) {
        if (tcr_.has(kCounterReset)) {
            tc_ = 0;
            pc_ = 0;
            resetPending_ = false;
        }
        planNextMatch();
    });
    define(0x08, p + "TC", 32)
        .reads([this] { return counter(); })
        .writes([this](uint32_t v) {
            catchUp();
            tc_ = v;
            resetPending_ = false;
            planNextMatch();
        });
    replanning(pr_);
    define(0x10, p + "PC", 32)
        .reads([this] { return catchUp(), pc_; })
        .writes([this](uint32_t v) {
            catchUp();
            pc_ = v;
            planNextMatch();
        });
    replanning(mcr_.field(kMatchControl));
    for (unsigned n = 0; n < kMatches; ++n) {
        mr_[n] = &replanning(define(0x18 + 4 * n, p + "MR" + std::to_string(n), 32));
    }
    define(0x28, p + "CCR", 16).field({"CAP", 0, 12});
    // Nothing is ever captured: the capture pins are not modelled.
    for (unsigned n = 0; n < kMatches; ++n) {
        define(0x2C + 4 * n, p + "CR" + std::to_string(n), 32, 0, Access::ReadOnly);
    }
    define(0x3C, p + "EMR", 16).field({"EM", 0, 4}).field({"EMC", 4, 8});
    reset();
}

Register& Timer::replanning(Register& r)
{
    return r.beforeWrite([this] { catchUp(); }).afterWrite([this](uint32_t) { planNextMatch(); });
}

void Timer::resetState()
{
    tc_ = pc_ = 0;
    resetPending_ = false;
    ticks_.reset();
    ++plan_;
}

bool Timer::counting() const
{
    return tcr_.has(kCounterEnable) && !tcr_.has(kCounterReset);
}

void Timer::catchUp()
{
    const double now = board().now();
    if (!counting()) {
        ticks_.moveTo(now, board().pclkHz());
        return;
    }
    const uint64_t period = uint64_t(pr_.value()) + 1;
    const uint64_t total = uint64_t(pc_) + ticks_.advance(now, board().pclkHz());
    uint64_t steps = total / period;
    if (resetPending_ && steps > 0) {
        tc_ = 0;  // the count after the match is the reset
        --steps;
        resetPending_ = false;
    }
    tc_ += uint32_t(steps);
    pc_ = uint32_t(total % period);
}

uint32_t Timer::counter()
{
    catchUp();
    return tc_;
}

void Timer::pclkChanged()
{
    // Counted so far at the old rate; from here on at the new one.
    catchUp();
    planNextMatch();
}

void Timer::planNextMatch()
{
    const uint64_t plan = ++plan_;
    if (!counting()) {
        return;
    }
    const uint32_t mcr = mcr_.value();
    uint64_t soonest = UINT64_MAX;
    unsigned which = 0;
    for (unsigned n = 0; n < kMatches; ++n) {
        if (((mcr >> (3 * n)) & 0x7) == 0) {
            continue;  // a match without an action needs no moment
        }
        const uint32_t mr = match(n);
        // After a match that resets, TC holds the match value for one count
        // and then starts from 0: a period is MR + 1 counts.
        const uint64_t steps = resetPending_ ? uint64_t(mr) + 1
                               : mr > tc_    ? uint64_t(mr - tc_)
                                             : (uint64_t(1) << 32) - tc_ + mr;
        if (steps < soonest) {
            soonest = steps;
            which = n;
        }
    }
    if (soonest == UINT64_MAX || board().pclkHz() <= 0 || ticks_.hz() <= 0) {
        return;  // no match with an action, or no clock (powered down)
    }
    const double at = ticks_.after(double(soonest) * (double(pr_.value()) + 1) - double(pc_));
    board().scheduleAt(at, [this, plan, which, at] {
        if (plan == plan_) {
            matched(which, at);
        }
    });
}

// `at`: the moment TC reached the match value. The work runs a little
// later, between two instructions; the count goes on from `at`, so that
// periods do not stretch by that delay.
void Timer::matched(unsigned n, double at)
{
    ticks_.restartAt(at);
    tc_ = match(n);
    pc_ = 0;
    const uint32_t actions = (mcr_.value() >> (3 * n)) & 0x7;
    if ((actions & kMatchInterrupt) != 0) {
        ir_.set(ir_.value() | (1u << n));
        irq().set(true);
    }
    if ((actions & kMatchReset) != 0) {
        resetPending_ = true;
    }
    if ((actions & kMatchStop) != 0) {
        tcr_.put(kCounterEnable, 0);
    }
    planNextMatch();
}

}  // namespace boardsim
