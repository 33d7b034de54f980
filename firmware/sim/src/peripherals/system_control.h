// The system control block's clock part: the PLL with its feed sequence and
// lock, the VPB divider, the memory accelerator (MAM) and the memory map
// register. The processor and peripheral clocks follow from these registers
// at every moment; the board hears of each change.
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

class SystemControl final : public Peripheral {
public:
    static constexpr uint32_t kMamcr = 0x000;
    static constexpr uint32_t kMamtim = 0x004;
    static constexpr uint32_t kMemmap = 0x040;
    static constexpr uint32_t kPllcon = 0x080;
    static constexpr uint32_t kPllcfg = 0x084;
    static constexpr uint32_t kPllstat = 0x088;
    static constexpr uint32_t kPllfeed = 0x08C;
    static constexpr uint32_t kVpbdiv = 0x100;

    // The board's crystal.
    static constexpr double kFoscHz = 11059200.0;
    // How long the PLL takes to lock after it is enabled (well inside the
    // user manual's bound).
    static constexpr double kLockSeconds = 100e-6;

    SystemControl() { reset(); }
    const char* name() const override { return "SCB"; }
    uint32_t size() const override { return 0x104; }
    const std::vector<RegisterSpec>& registers() const override;
    void reset() override;

    double cclkHz() const;
    double pclkHz() const { return cclkHz() / vpbDivider(); }
    unsigned vpbDivider() const;
    unsigned mamMode() const { return mamcr_ & 0x3; }
    unsigned mamFetchCycles() const { return mamtim_ & 0x7; }
    bool pllLocked() const { return locked_; }
    bool pllConnected() const { return (activeCon_ & 0x3) == 0x3; }

protected:
    unsigned accessWidths() const override { return 1u << 4; }
    uint32_t readRegister(uint32_t offset) override;
    void writeRegister(uint32_t offset, uint32_t value) override;

private:
    void feed(uint32_t value);
    void applyFeed();
    unsigned multiplier() const { return (activeCfg_ & 0x1F) + 1; }
    unsigned divider() const { return 1u << ((activeCfg_ >> 5) & 0x3); }

    uint32_t mamcr_ = 0;
    uint32_t mamtim_ = 0;
    uint32_t memmap_ = 0;
    uint32_t pllcon_ = 0;  // as written, waiting for a feed
    uint32_t pllcfg_ = 0;
    uint32_t activeCon_ = 0;  // in effect since the last valid feed
    uint32_t activeCfg_ = 0;
    uint32_t vpbdiv_ = 0;
    bool locked_ = false;
    uint64_t lockGeneration_ = 0;   // a lock scheduled for an older PLL setting does not count
    bool feedStarted_ = false;      // 0xAA written, 0x55 must be the next bus access
    uint64_t feedStartAccess_ = 0;
};

}  // namespace boardsim
