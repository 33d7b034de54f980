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
    };
    return table;
}

}  // namespace

SystemControl::SystemControl() : Peripheral("SCB", 0x104, scbTable())
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
    reset();
}

void SystemControl::resetState()
{
    activeCon_ = activeCfg_ = 0;
    locked_ = false;
    ++lockGeneration_;
    feedStarted_ = false;
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
        locked_ = false;
        ++lockGeneration_;
    } else if (configChanged) {
        const double fcco = kFoscHz * multiplier() * 2 * divider();
        if (fcco < kFccoMinHz || fcco > kFccoMaxHz) {
            board().fault("PLL enabled with Fcco = " + mhz(fcco) + " (M = " + std::to_string(multiplier()) +
                          ", P = " + std::to_string(divider()) + "), outside 156-320 MHz");
            return;
        }
        locked_ = false;
        const uint64_t generation = ++lockGeneration_;
        board().scheduleAt(board().now() + kLockSeconds, [this, generation] {
            if (generation == lockGeneration_) {
                locked_ = true;
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
