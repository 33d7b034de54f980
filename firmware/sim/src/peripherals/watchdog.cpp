#include "peripherals/watchdog.h"

#include <algorithm>
#include <string>

namespace boardsim {

using namespace wdt;

namespace {

constexpr uint32_t kFeedFirst = 0xAA;
constexpr uint32_t kFeedSecond = 0x55;
constexpr uint32_t kWdfeed = 0x08;
// The bits software can only set; a reset clears them.
constexpr uint32_t kSetOnly = kEnable.mask() | kResetEnable.mask();

}  // namespace

// Widths as the user manual's watchdog chapter gives them: WDMOD and
// WDFEED 8 bits, WDTC and WDTV 32.
Watchdog::Watchdog()
    : Peripheral("WDT", 0x10), wdmod_(define(0x00, "WDMOD", 8)), wdtc_(define(0x04, "WDTC", 32, kMinimumTimeOut))
{
    wdmod_.field(kEnable).field(kResetEnable).field(kTimeOut).field(kInterrupt, Access::ReadOnly);
    wdmod_.writes([this](uint32_t v) { writeMode(v); });
    // A value below the minimum loads the minimum.
    wdtc_.writes([this](uint32_t v) { wdtc_.set(std::max(v, kMinimumTimeOut)); });
    define(kWdfeed, "WDFEED", 8, 0, Access::WriteOnly).writes([this](uint32_t v) { feed(v); });
    define(0x0C, "WDTV", 32, 0xFF, Access::ReadOnly).reads([this] { return counter(); });
    reset();
}

void Watchdog::resetState()
{
    if (timedOutIntoReset_) {
        wdmod_.put(kTimeOut, 1);
    }
    timedOutIntoReset_ = false;
    running_ = false;
    count_ = wdtc_.value();
    feedStarted_ = false;
    ticks_.reset();
    prescale_ = 0;
    ++plan_;
    irq().set(false);
}

void Watchdog::writeMode(uint32_t value)
{
    const uint32_t old = wdmod_.value();
    // WDEN and WDRESET stay once set; WDTOF is cleared by writing 0 (a 1
    // leaves it as it is); WDINT only a reset clears.
    wdmod_.set((old & kSetOnly) | (value & kSetOnly) | (old & value & kTimeOut.mask()) | (old & kInterrupt.mask()));
}

void Watchdog::feed(uint32_t value)
{
    if (value == kFeedFirst) {
        feedStarted_ = true;
        return;
    }
    if (value != kFeedSecond || !feedStarted_) {
        return;  // no feed under way: nothing happens
    }
    feedStarted_ = false;
    if (!wdmod_.has(kEnable)) {
        return;
    }
    catchUp();
    count_ = wdtc_.value();
    prescale_ = 0;
    running_ = true;
    planTimeOut();
}

void Watchdog::interruptsFeed(uint32_t offset, bool write, uint32_t value)
{
    if (!feedStarted_ || (write && offset == kWdfeed && value == kFeedSecond)) {
        return;
    }
    if (write && offset == kWdfeed && value == kFeedFirst) {
        // 0xAA again: a new sequence, unless the watchdog runs (then the
        // broken one times it out below).
        if (!running_) {
            return;
        }
    }
    feedStarted_ = false;
    if (running_) {
        catchUp();
        ++plan_;
        count_ = 0;
        timeOut("a feed sequence broken by another access of the watchdog after 0xAA");
    }
}

BusResult Watchdog::read(uint32_t offset, unsigned size)
{
    interruptsFeed(offset, false, 0);
    return Peripheral::read(offset, size);
}

BusResult Watchdog::write(uint32_t offset, unsigned size, uint32_t value)
{
    interruptsFeed(offset, true, value);
    return Peripheral::write(offset, size, value);
}

void Watchdog::catchUp()
{
    if (!running_) {
        ticks_.moveTo(board().now(), board().pclkHz());
        return;
    }
    const uint64_t total = prescale_ + ticks_.advance(board().now(), board().pclkHz());
    const uint64_t counts = total / kPclksPerCount;
    prescale_ = uint32_t(total % kPclksPerCount);
    count_ = counts >= count_ ? 0 : count_ - uint32_t(counts);
}

uint32_t Watchdog::counter()
{
    catchUp();
    return count_;
}

void Watchdog::pclkChanged()
{
    catchUp();
    planTimeOut();
}

void Watchdog::planTimeOut()
{
    const uint64_t plan = ++plan_;
    if (!running_ || ticks_.hz() <= 0) {
        return;  // stopped, or no clock (powered down)
    }
    const double at = ticks_.after(double(count_) * kPclksPerCount - prescale_);
    board().scheduleAt(at, [this, plan] {
        if (plan == plan_) {
            catchUp();
            ticks_.restartAt(board().now());
            prescale_ = 0;
            count_ = 0;
            timeOut("time-out after " + std::to_string(wdtc_.value()) + " counts of pclk / 4");
        }
    });
}

void Watchdog::timeOut(const std::string& cause)
{
    running_ = false;
    wdmod_.put(kTimeOut, 1);
    if (wdmod_.has(kResetEnable)) {
        timedOutIntoReset_ = true;
        board().resetChip("watchdog reset (" + cause + ", WDMOD.WDRESET = 1)");
        return;
    }
    wdmod_.put(kInterrupt, 1);
    irq().set(true);
}

}  // namespace boardsim
