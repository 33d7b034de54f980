// The system control block: the PLL with its feed sequence and lock, the
// VPB divider, the memory accelerator (MAM), the memory map register, the
// power modes (PCON idle and power-down, PCONP) and the external interrupts
// EINT0..3 (EXTINT, EXTWAKE, EXTMODE, EXTPOLAR). The processor and
// peripheral clocks follow from these registers at every moment; the board
// hears of each change. Interrupt outputs: EINT0..3 (0..3), PLL lock (4).
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

namespace scb {
constexpr unsigned kExternalInterrupts = 4;
constexpr unsigned kPllInterrupt = 4;  // the output after EINT0..3

constexpr Field kMamMode{"MAM_mode_control", 0, 2};
constexpr Field kMamFetchCycles{"MAM_fetch_cycle_timing", 0, 3};
constexpr Field kMap{"MAP", 0, 2};
constexpr Field kPllEnable{"PLLE", 0, 1};
constexpr Field kPllConnect{"PLLC", 1, 1};
constexpr Field kMsel{"MSEL", 0, 5};
constexpr Field kPsel{"PSEL", 5, 2};
constexpr Field kStatMsel{"MSEL", 0, 5};
constexpr Field kStatPsel{"PSEL", 5, 2};
constexpr Field kStatPlle{"PLLE", 8, 1};
constexpr Field kStatPllc{"PLLC", 9, 1};
constexpr Field kPlock{"PLOCK", 10, 1};
constexpr Field kVpbDivider{"VPBDIV", 0, 2};
constexpr Field kIdle{"IDL", 0, 1};
constexpr Field kPowerDown{"PD", 1, 1};
constexpr Field kEints{"EINT", 0, 4};
}  // namespace scb

class SystemControl final : public Peripheral {
public:
    // The board's crystal.
    static constexpr double kFoscHz = 11059200.0;
    // How long the PLL takes to lock after it is enabled (well inside the
    // user manual's bound).
    static constexpr double kLockSeconds = 100e-6;

    SystemControl();

    // The level on the pin selected as EINTn (true: high); unselected EINTs
    // see their inactive level.
    void setExternalInput(unsigned n, bool high);
    bool poweredDown() const { return poweredDown_; }
    // The core left idle mode: PCON.IDL reads 0 again.
    void idleEnded();

    double cclkHz() const;
    // No peripheral clock runs while the chip is powered down.
    double pclkHz() const { return poweredDown_ ? 0 : cclkHz() / vpbDivider(); }
    unsigned vpbDivider() const;
    unsigned mamMode() const { return mamcr_.get(scb::kMamMode); }
    unsigned mamFetchCycles() const { return mamtim_.get(scb::kMamFetchCycles); }
    bool pllLocked() const { return locked_; }
    bool pllConnected() const;

protected:
    void resetState() override;

private:
    void feed(uint32_t value);
    void writePcon(uint32_t value);
    bool externalActive(unsigned n) const;
    // EXTINT's flags follow the inputs (level mode) and drive the outputs.
    void updateExternal();
    void setLocked(bool locked);
    void applyFeed();
    unsigned multiplier() const { return scb::kMsel.get(activeCfg_) + 1; }
    unsigned divider() const { return 1u << scb::kPsel.get(activeCfg_); }

    Register& mamcr_;
    Register& mamtim_;
    Register& pllcon_;
    Register& pllcfg_;
    Register& vpbdiv_;
    Register& pcon_;
    Register& extint_;
    Register& extwake_;
    Register& extmode_;
    Register& extpolar_;

    uint32_t activeCon_ = 0;  // in effect since the last valid feed
    uint32_t activeCfg_ = 0;
    bool locked_ = false;
    uint64_t lockGeneration_ = 0;   // a lock scheduled for an older PLL setting does not count
    bool feedStarted_ = false;      // 0xAA written, 0x55 must be the next bus access
    uint64_t feedStartAccess_ = 0;
    bool poweredDown_ = false;
    uint32_t inputs_ = 0xF;  // EINT0..3 pin levels, high unless a pin pulls one low
};

}  // namespace boardsim
