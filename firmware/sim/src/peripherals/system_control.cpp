#include "peripherals/system_control.h"

#include <cstdio>
#include <string>

namespace boardsim {

using namespace scb;

namespace {

constexpr double kFccoMinHz = 156e6;
constexpr double kFccoMaxHz = 320e6;
constexpr double kCclkMaxHz = 60e6;
constexpr uint32_t kFeedFirst = 0xAA;
constexpr uint32_t kFeedSecond = 0x55;
constexpr uint32_t kReservedVpbdiv = 0x3;

std::string mhz(double hz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f MHz", hz / 1e6);
    return text;
}

const std::vector<RegisterSpec>& scbTable()
{
    static const std::vector<RegisterSpec> table = {
        {kMamcr, "MAMCR", Access::ReadWrite, 0x0, Behaviour::Handled, {kMamMode}},  // MAM off
        {kMamtim, "MAMTIM", Access::ReadWrite, 0x7, Behaviour::Handled, {kMamFetchCycles}},  // 7 fetch cycles
        {kMemmap, "MEMMAP", Access::ReadWrite, 0x0, Behaviour::Storage, {kMap}},  // boot block mapped at 0
        // As written; they take effect at the next valid feed.
        {kPllcon, "PLLCON", Access::ReadWrite, 0x0, Behaviour::Storage, {kPllEnable, kPllConnect}},
        {kPllcfg, "PLLCFG", Access::ReadWrite, 0x0, Behaviour::Storage, {kMsel, kPsel}},
        {kPllstat, "PLLSTAT", Access::ReadOnly, 0x0, Behaviour::Handled,
         {kStatMsel, kStatPsel, kStatPlle, kStatPllc, kPlock}},
        {kPllfeed, "PLLFEED", Access::WriteOnly, 0x0, Behaviour::Handled, {{"PLLFEED", 0, 8}}},
        {kVpbdiv, "VPBDIV", Access::ReadWrite, 0x0, Behaviour::Handled, {kVpbDivider}},  // pclk = cclk / 4
        {kPcon, "PCON", Access::ReadWrite, 0x0, Behaviour::Handled, {kIdle, kPowerDown}},
        // Every peripheral powered after reset (TIM0..CAN4; bits 0 and 6 reserved).
        {kPconp, "PCONP", Access::ReadWrite, 0x0001FFBE, Behaviour::Storage, {{"PCONP", 0, 17}}},
        {kExtint, "EXTINT", Access::ReadWrite, 0x0, Behaviour::Handled, {kEints}},
        {kExtwake, "EXTWAKE", Access::ReadWrite, 0x0, Behaviour::Storage, {kEints}},
        {kExtmode, "EXTMODE", Access::ReadWrite, 0x0, Behaviour::Handled, {kEints}},  // level-sensitive
        {kExtpolar, "EXTPOLAR", Access::ReadWrite, 0x0, Behaviour::Handled, {kEints}},  // active low
    };
    return table;
}

}  // namespace

SystemControl::SystemControl() : Peripheral("SCB", 0x150, scbTable())
{
    handle(kMamcr, [this] { return stored(kMamcr); },
           [this](uint32_t v) {
               store(kMamcr, v & kMamMode.mask());
               board().clocksChanged();
           });
    handle(kMamtim, [this] { return stored(kMamtim); },
           [this](uint32_t v) {
               store(kMamtim, v & kMamFetchCycles.mask());
               board().clocksChanged();
           });
    handle(kPllstat,
           [this] {
               return kStatMsel.of(kMsel.get(activeCfg_)) | kStatPsel.of(kPsel.get(activeCfg_)) |
                      kStatPlle.of(kPllEnable.get(activeCon_)) | kStatPllc.of(kPllConnect.get(activeCon_)) |
                      kPlock.of(locked_ ? 1 : 0);
           },
           nullptr);
    handle(kPllfeed, nullptr, [this](uint32_t v) { feed(v); });
    handle(kVpbdiv, [this] { return stored(kVpbdiv); },
           [this](uint32_t v) {
               // 11 is reserved: writing it leaves the divider as it was.
               if (kVpbDivider.get(v) != kReservedVpbdiv) {
                   store(kVpbdiv, v & kVpbDivider.mask());
                   board().clocksChanged();
               }
           });
    handle(kPcon, [this] { return stored(kPcon); }, [this](uint32_t v) { writePcon(v); });
    handle(kExtint, [this] { return stored(kExtint); },
           [this](uint32_t v) {
               // Writing 1 clears a flag; in level mode it comes back while
               // the input is still active.
               store(kExtint, stored(kExtint) & ~v & kEints.mask());
               updateExternal();
           });
    for (const uint32_t offset : {kExtmode, kExtpolar}) {
        handle(offset, [this, offset] { return stored(offset); },
               [this, offset](uint32_t v) {
                   store(offset, v & kEints.mask());
                   updateExternal();
               });
    }
    reset();
}

void SystemControl::resetState()
{
    activeCon_ = activeCfg_ = 0;
    locked_ = false;
    ++lockGeneration_;
    feedStarted_ = false;
    poweredDown_ = false;
}

void SystemControl::setLocked(bool locked)
{
    locked_ = locked;
    irq(kPllInterrupt).set(locked);
}

bool SystemControl::externalActive(unsigned n) const
{
    const bool high = ((inputs_ >> n) & 1) != 0;
    const bool activeHigh = ((stored(kExtpolar) >> n) & 1) != 0;
    return high == activeHigh;
}

void SystemControl::setExternalInput(unsigned n, bool high)
{
    const bool wasActive = externalActive(n);
    inputs_ = high ? (inputs_ | (1u << n)) : (inputs_ & ~(1u << n));
    const bool edgeMode = ((stored(kExtmode) >> n) & 1) != 0;
    if (edgeMode && !wasActive && externalActive(n)) {
        store(kExtint, stored(kExtint) | (1u << n));
    }
    updateExternal();
}

void SystemControl::updateExternal()
{
    uint32_t flags = stored(kExtint);
    for (unsigned n = 0; n < kExternalInterrupts; ++n) {
        const bool levelMode = ((stored(kExtmode) >> n) & 1) == 0;
        if (levelMode && externalActive(n)) {
            flags |= 1u << n;
        }
    }
    store(kExtint, flags);
    for (unsigned n = 0; n < kExternalInterrupts; ++n) {
        irq(n).set(((flags >> n) & 1) != 0);
    }
    // An external interrupt that may wake the chip does so.
    if (poweredDown_ && (flags & stored(kExtwake)) != 0) {
        poweredDown_ = false;
        store(kPcon, 0);
        board().clocksChanged();
        board().wake();
    }
}

void SystemControl::writePcon(uint32_t value)
{
    store(kPcon, value & (kIdle.mask() | kPowerDown.mask()));
    if (kPowerDown.in(value)) {
        // The oscillator stops: the PLL is turned off and bypassed, and
        // nothing runs until an external interrupt wakes the chip.
        activeCon_ = 0;
        setLocked(false);
        ++lockGeneration_;
        poweredDown_ = true;
        board().clocksChanged();
        board().sleep(true);
        updateExternal();  // an input already active wakes it at once
    } else if (kIdle.in(value)) {
        board().sleep(false);
    }
}

void SystemControl::idleEnded()
{
    store(kPcon, stored(kPcon) & ~kIdle.mask());
}

bool SystemControl::pllConnected() const
{
    return kPllEnable.in(activeCon_) && kPllConnect.in(activeCon_);
}

double SystemControl::cclkHz() const
{
    return pllConnected() && locked_ ? kFoscHz * multiplier() : kFoscHz;
}

unsigned SystemControl::vpbDivider() const
{
    switch (kVpbDivider.get(stored(kVpbdiv))) {
    case 1: return 1;
    case 2: return 2;
    default: return 4;
    }
}

void SystemControl::feed(uint32_t value)
{
    // 0xAA then 0x55 on two consecutive bus accesses: anything else between
    // them, or any other value, and PLLCON and PLLCFG stay as they were.
    const uint64_t access = board().busAccesses();
    if (value == kFeedFirst) {
        feedStarted_ = true;
        feedStartAccess_ = access;
        return;
    }
    const bool valid = value == kFeedSecond && feedStarted_ && access == feedStartAccess_ + 1;
    feedStarted_ = false;
    if (valid) {
        applyFeed();
    }
}

void SystemControl::applyFeed()
{
    const uint32_t pllcon = stored(kPllcon);
    const uint32_t pllcfg = stored(kPllcfg);
    const bool configChanged = pllcfg != activeCfg_ || kPllEnable.get(pllcon) != kPllEnable.get(activeCon_);
    const double fcclkBefore = cclkHz();
    activeCfg_ = pllcfg;
    activeCon_ = pllcon;
    if (!kPllEnable.in(activeCon_)) {
        setLocked(false);
        ++lockGeneration_;
    } else if (configChanged) {
        const double fcco = kFoscHz * multiplier() * 2 * divider();
        if (fcco < kFccoMinHz || fcco > kFccoMaxHz) {
            board().fault("PLL enabled with Fcco = " + mhz(fcco) + " (M = " + std::to_string(multiplier()) +
                          ", P = " + std::to_string(divider()) + "), outside 156-320 MHz");
            return;
        }
        setLocked(false);
        const uint64_t generation = ++lockGeneration_;
        board().scheduleAt(board().now() + kLockSeconds, [this, generation] {
            if (generation == lockGeneration_) {
                setLocked(true);
            }
        });
    }
    if (pllConnected()) {
        if (!locked_) {
            board().fault("PLL connected before it locked (PLLSTAT.PLOCK = 0)");
            return;
        }
        if (cclkHz() > kCclkMaxHz) {
            board().fault("PLL connected for cclk = " + mhz(cclkHz()) + ", above the chip's 60 MHz");
            return;
        }
    }
    if (cclkHz() != fcclkBefore) {
        board().clocksChanged();
    }
}

}  // namespace boardsim
