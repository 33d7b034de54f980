#include "peripherals/system_control.h"

#include <cstdio>
#include <string>

namespace boardsim {
namespace {

constexpr uint32_t kPlle = 0x1;
constexpr uint32_t kPllc = 0x2;
constexpr uint32_t kPlock = 1u << 10;
constexpr double kFccoMinHz = 156e6;
constexpr double kFccoMaxHz = 320e6;
constexpr double kCclkMaxHz = 60e6;

std::string mhz(double hz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f MHz", hz / 1e6);
    return text;
}

}  // namespace

const std::vector<RegisterSpec>& SystemControl::registers() const
{
    static const std::vector<RegisterSpec> table = {
        {kMamcr, "MAMCR", Access::ReadWrite, 0x0},    // MAM off
        {kMamtim, "MAMTIM", Access::ReadWrite, 0x7},  // 7 fetch cycles
        {kMemmap, "MEMMAP", Access::ReadWrite, 0x0},  // boot block mapped at 0
        {kPllcon, "PLLCON", Access::ReadWrite, 0x0},
        {kPllcfg, "PLLCFG", Access::ReadWrite, 0x0},
        {kPllstat, "PLLSTAT", Access::ReadOnly, 0x0},
        {kPllfeed, "PLLFEED", Access::WriteOnly, 0x0},
        {kVpbdiv, "VPBDIV", Access::ReadWrite, 0x0},  // pclk = cclk / 4
    };
    return table;
}

void SystemControl::reset()
{
    mamcr_ = 0;
    mamtim_ = 7;
    memmap_ = 0;
    pllcon_ = pllcfg_ = activeCon_ = activeCfg_ = 0;
    vpbdiv_ = 0;
    locked_ = false;
    ++lockGeneration_;
    feedStarted_ = false;
}

double SystemControl::cclkHz() const
{
    return pllConnected() && locked_ ? kFoscHz * multiplier() : kFoscHz;
}

unsigned SystemControl::vpbDivider() const
{
    switch (vpbdiv_ & 0x3) {
    case 1: return 1;
    case 2: return 2;
    default: return 4;
    }
}

uint32_t SystemControl::readRegister(uint32_t offset)
{
    switch (offset) {
    case kMamcr: return mamcr_;
    case kMamtim: return mamtim_;
    case kMemmap: return memmap_;
    case kPllcon: return pllcon_;
    case kPllcfg: return pllcfg_;
    case kPllstat: return (activeCfg_ & 0x7F) | ((activeCon_ & 0x3) << 8) | (locked_ ? kPlock : 0);
    default: return vpbdiv_;  // kVpbdiv; PLLFEED is write-only
    }
}

void SystemControl::writeRegister(uint32_t offset, uint32_t value)
{
    switch (offset) {
    case kMamcr: mamcr_ = value & 0x3; board().clocksChanged(); break;
    case kMamtim: mamtim_ = value & 0x7; board().clocksChanged(); break;
    case kMemmap: memmap_ = value & 0x3; break;
    case kPllcon: pllcon_ = value & 0x3; break;
    case kPllcfg: pllcfg_ = value & 0x7F; break;
    case kPllfeed: feed(value); return;
    default:
        // 11 is reserved: writing it leaves the divider as it was.
        if ((value & 0x3) != 0x3) {
            vpbdiv_ = value & 0x3;
            board().clocksChanged();
        }
        break;
    }
}

void SystemControl::feed(uint32_t value)
{
    // 0xAA then 0x55 on two consecutive bus accesses: anything else between
    // them, or any other value, and PLLCON and PLLCFG stay as they were.
    const uint64_t access = board().busAccesses();
    if (value == 0xAA) {
        feedStarted_ = true;
        feedStartAccess_ = access;
        return;
    }
    const bool valid = value == 0x55 && feedStarted_ && access == feedStartAccess_ + 1;
    feedStarted_ = false;
    if (valid) {
        applyFeed();
    }
}

void SystemControl::applyFeed()
{
    const bool configChanged = (pllcfg_ != activeCfg_) || ((pllcon_ & kPlle) != (activeCon_ & kPlle));
    const double fcclkBefore = cclkHz();
    activeCfg_ = pllcfg_;
    activeCon_ = pllcon_;
    if ((activeCon_ & kPlle) == 0) {
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
    if ((activeCon_ & kPllc) != 0 && (activeCon_ & kPlle) != 0) {
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
