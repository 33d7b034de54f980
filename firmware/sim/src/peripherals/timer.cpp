#include "peripherals/timer.h"

#include <cmath>

namespace boardsim {

using namespace timer;

namespace {

std::vector<RegisterSpec> timerTable(const std::string& p)
{
    const Field twelveBits{"BITS", 0, 12};
    std::vector<RegisterSpec> table = {
        {kIr, p + "IR", Access::ReadWrite, 0, Behaviour::Handled, {kInterruptFlags}},
        {kTcr, p + "TCR", Access::ReadWrite, 0, Behaviour::Handled, {kCounterEnable, kCounterReset}},
        {kTc, p + "TC", Access::ReadWrite, 0, Behaviour::Handled},
        {kPr, p + "PR", Access::ReadWrite, 0, Behaviour::Handled},
        {kPc, p + "PC", Access::ReadWrite, 0, Behaviour::Handled},
        {kMcr, p + "MCR", Access::ReadWrite, 0, Behaviour::Handled, {kMatchControl}},
    };
    for (unsigned n = 0; n < 4; ++n) {
        table.push_back({kMr0 + 4 * n, p + "MR" + std::to_string(n), Access::ReadWrite, 0, Behaviour::Handled});
    }
    table.push_back({kCcr, p + "CCR", Access::ReadWrite, 0, Behaviour::Storage, {twelveBits}});
    // Nothing is ever captured: the capture pins are not modelled.
    for (unsigned n = 0; n < 4; ++n) {
        table.push_back({kCr0 + 4 * n, p + "CR" + std::to_string(n), Access::ReadOnly, 0});
    }
    table.push_back({kEmr, p + "EMR", Access::ReadWrite, 0, Behaviour::Storage, {twelveBits}});
    return table;
}

}  // namespace

Timer::Timer(unsigned index)
    : Peripheral("TIMER" + std::to_string(index), 0x40, timerTable("T" + std::to_string(index)))
{
    handle(kIr, [this] { return stored(kIr); },
           [this](uint32_t v) {
               const uint32_t flags = stored(kIr) & ~v;  // writing 1 clears the flag
               store(kIr, flags);
               if (kInterruptFlags.get(flags) == 0) {
                   irq().set(false);
               }
           });
    handle(kTcr, [this] { return stored(kTcr); },
           [this](uint32_t v) {
               catchUp();
               store(kTcr, v & (kCounterEnable.mask() | kCounterReset.mask()));
               if (kCounterReset.in(v)) {
                   tc_ = 0;
                   pc_ = 0;
                   resetPending_ = false;
               }
               planNextMatch();
           });
    handle(kTc, [this] { return counter(); },
           [this](uint32_t v) {
               catchUp();
               tc_ = v;
               resetPending_ = false;
               planNextMatch();
           });
    handle(kPc, [this] { return catchUp(), pc_; },
           [this](uint32_t v) {
               catchUp();
               pc_ = v;
               planNextMatch();
           });
    handle(kPr, [this] { return stored(kPr); }, [this](uint32_t v) { replanning(kPr, v); });
    handle(kMcr, [this] { return stored(kMcr); }, [this](uint32_t v) { replanning(kMcr, v & kMatchControl.mask()); });
    for (unsigned n = 0; n < 4; ++n) {
        const uint32_t offset = kMr0 + 4 * n;
        handle(offset, [this, offset] { return stored(offset); },
               [this, offset](uint32_t v) { replanning(offset, v); });
    }
    reset();
}

void Timer::resetState()
{
    tc_ = pc_ = 0;
    resetPending_ = false;
    anchor_ = 0;
    anchorHz_ = 0;
    anchorFraction_ = 0;
    ++plan_;
}

bool Timer::counting() const
{
    const uint32_t tcr = stored(kTcr);
    return kCounterEnable.in(tcr) && !kCounterReset.in(tcr);
}

void Timer::replanning(uint32_t offset, uint32_t value)
{
    catchUp();
    store(offset, value);
    planNextMatch();
}

void Timer::catchUp()
{
    const double now = board().now();
    if (counting()) {
        // Whole pclk cycles since the anchor, at the rate of that stretch;
        // the rest carries over.
        const double cycles = (now - anchor_) * anchorHz_ + anchorFraction_;
        const double whole = std::floor(cycles + 1e-6);
        anchorFraction_ = cycles - whole > 0 ? cycles - whole : 0;
        const auto ticks = uint64_t(whole);
        const uint64_t period = uint64_t(stored(kPr)) + 1;
        const uint64_t total = uint64_t(pc_) + ticks;
        uint64_t steps = total / period;
        if (resetPending_ && steps > 0) {
            tc_ = 0;  // the count after the match is the reset
            --steps;
            resetPending_ = false;
        }
        tc_ += uint32_t(steps);
        pc_ = uint32_t(total % period);
    }
    anchor_ = now;
    anchorHz_ = board().pclkHz();
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
    const uint32_t mcr = stored(kMcr);
    uint64_t soonest = UINT64_MAX;
    unsigned which = 0;
    for (unsigned n = 0; n < 4; ++n) {
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
    if (soonest == UINT64_MAX || board().pclkHz() <= 0) {
        return;  // no match with an action, or no clock (powered down)
    }
    const double pclkCycles = double(soonest) * (double(stored(kPr)) + 1) - double(pc_) - anchorFraction_;
    const double at = anchor_ + pclkCycles / board().pclkHz();
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
    anchor_ = at;
    anchorFraction_ = 0;
    tc_ = match(n);
    pc_ = 0;
    const uint32_t actions = (stored(kMcr) >> (3 * n)) & 0x7;
    if ((actions & kMatchInterrupt) != 0) {
        store(kIr, stored(kIr) | (1u << n));
        irq().set(true);
    }
    if ((actions & kMatchReset) != 0) {
        resetPending_ = true;
    }
    if ((actions & kMatchStop) != 0) {
        store(kTcr, stored(kTcr) & ~kCounterEnable.mask());
    }
    planNextMatch();
}

}  // namespace boardsim
