#include "peripherals/system_control.h"

#include <string>

#include "util/text.h"

namespace boardsim {

using namespace scb;

namespace {

constexpr double kFccoMinHz = 156e6;
constexpr double kFccoMaxHz = 320e6;
constexpr double kCclkMaxHz = 60e6;
constexpr uint32_t kFeedFirst = 0xAA;
constexpr uint32_t kFeedSecond = 0x55;
constexpr uint32_t kReservedVpbdiv = 0x3;

}  // namespace

// Widths as the user manual's System Control Block chapter gives them:
// PLLSTAT 16 bits, PCONP 32, every other register 8.
SystemControl::SystemControl()
    : Peripheral("SCB", 0x150),
      mamcr_(define(0x000, "MAMCR", 8).field(kMamMode)),  // MAM off
      mamtim_(define(0x004, "MAMTIM", 8, 0x7).field(kMamFetchCycles)),  // 7 fetch cycles
      // As written; they take effect at the next valid feed.
      pllcon_(define(0x080, "PLLCON", 8).field(kPllEnable).field(kPllConnect)),
      pllcfg_(define(0x084, "PLLCFG", 8).field(kMsel).field(kPsel)),
      vpbdiv_(define(0x100, "VPBDIV", 8).field(kVpbDivider)),  // pclk = cclk / 4
      pcon_(define(0x0C0, "PCON", 8).field(kIdle).field(kPowerDown)),
      // Writing 1 clears a flag; in level mode it comes back while the input
      // is still active.
      extint_(define(0x140, "EXTINT", 8).field(kEints, Access::WriteOneToClear)),
      extwake_(define(0x144, "EXTWAKE", 8).field(kEints)),
      extmode_(define(0x148, "EXTMODE", 8).field(kEints)),      // level-sensitive
      extpolar_(define(0x14C, "EXTPOLAR", 8).field(kEints))     // active low
{
    const auto clocks = [this](uint32_t) { board().clocksChanged(); };
    mamcr_.afterWrite(clocks);
    mamtim_.afterWrite(clocks);
    define(0x040, "MEMMAP", 8).field(kMap);  // boot block mapped at 0
    define(0x088, "PLLSTAT", 16, 0, Access::ReadOnly)
        .field(kStatMsel, Access::ReadOnly, [this] { return kMsel.get(activeCfg_); })
        .field(kStatPsel, Access::ReadOnly, [this] { return kPsel.get(activeCfg_); })
        .field(kStatPlle, Access::ReadOnly, [this] { return kPllEnable.get(activeCon_); })
        .field(kStatPllc, Access::ReadOnly, [this] { return kPllConnect.get(activeCon_); })
        .field(kPlock, Access::ReadOnly, [this] { return locked_ ? 1u : 0u; });
    define(0x08C, "PLLFEED", 8, 0, Access::WriteOnly).writes([this](uint32_t v) { feed(v); });
    vpbdiv_.writes([this](uint32_t v) {
        // 11 is reserved: writing it leaves the divider as it was.
        if (kVpbDivider.get(v) != kReservedVpbdiv) {
            vpbdiv_.set(v);
            board().clocksChanged();
        }
    });
    pcon_.writes([this](uint32_t v) { writePcon(v); });
    // Every peripheral powered after reset (TIM0..CAN4; bits 0 and 6 reserved).
    define(0x0C4, "PCONP", 32, 0x0001FFBE).field({"PCONP", 0, 17});
    for (Register* r : {&extint_, &extmode_, &extpolar_}) {
        r->afterWrite([this](uint32_t) { updateExternal(); });
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
    const bool activeHigh = ((extpolar_.value() >> n) & 1) != 0;
    return high == activeHigh;
}

void SystemControl::setExternalInput(unsigned n, bool high)
{
    const bool wasActive = externalActive(n);
    inputs_ = high ? (inputs_ | (1u << n)) : (inputs_ & ~(1u << n));
    const bool edgeMode = ((extmode_.value() >> n) & 1) != 0;
    if (edgeMode && !wasActive && externalActive(n)) {
        extint_.set(extint_.value() | (1u << n));
    }
    updateExternal();
}

void SystemControl::updateExternal()
{
    uint32_t flags = extint_.value();
    for (unsigned n = 0; n < kExternalInterrupts; ++n) {
        const bool levelMode = ((extmode_.value() >> n) & 1) == 0;
        if (levelMode && externalActive(n)) {
            flags |= 1u << n;
        }
    }
    extint_.set(flags);
    for (unsigned n = 0; n < kExternalInterrupts; ++n) {
        irq(n).set(((flags >> n) & 1) != 0);
    }
    // An external interrupt that may wake the chip does so.
    if (poweredDown_ && (flags & extwake_.value()) != 0) {
        poweredDown_ = false;
        pcon_.set(0);
        board().clocksChanged();
        board().wake();
    }
}

void SystemControl::writePcon(uint32_t value)
{
    pcon_.set(value);
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
    pcon_.put(kIdle, 0);
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
    switch (vpbdiv_.get(kVpbDivider)) {
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
    const uint32_t pllcon = pllcon_.value();
    const uint32_t pllcfg = pllcfg_.value();
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
            // Public firmware for this family does it, and real chips run
            // it: the data sheet's range is a warning here.
            board().warn("PLL enabled with Fcco = " + mhz(fcco) + " (M = " + std::to_string(multiplier()) +
                         ", P = " + std::to_string(divider()) + "), outside 156-320 MHz");
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
