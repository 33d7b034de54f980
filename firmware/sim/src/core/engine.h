// The engine: an ARM7TDMI (Unicorn's ARMv4T core) running an image on a
// machine. It counts instructions and cycles, enters exceptions as the chip
// does, runs scheduled work, tells its observers what happens, follows the
// calls of the functions it is asked to watch and stops on faults. It knows
// no particular firmware (what it should watch comes in its options) and no
// particular chip (the machine says what is where).
#pragma once

#include <array>
#include <csignal>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/arm7tdmi.h"
#include "core/board_error.h"
#include "core/call_tracker.h"
#include "core/clock.h"
#include "core/code_marks.h"
#include "core/countdowns.h"
#include "core/wait_loops.h"
#include "core/cpu.h"
#include "core/cpu_registers.h"
#include "core/cycle_model.h"
#include "core/event_bus.h"
#include "core/events.h"
#include "core/machine_model.h"
#include "core/scheduler.h"
#include "image/elf_image.h"
#include "util/when.h"

namespace boardsim {

struct EngineOptions {
    bool traceIo = false;  // report every peripheral register access
    // Off: every instruction takes one cycle (to measure the model's cost).
    bool cycleModel = true;
    // Off: countdown loops run every turn (to measure what skipping their
    // turns saves, and to compare).
    bool fastLoops = true;
    // The flash as a programmer left it, instead of the image's contents.
    std::optional<std::vector<uint8_t>> flash;
    // Where the boot loader's G command started the code; none: a reset
    // (which starts the code only when the vector words sum to 0).
    std::optional<uint32_t> startAddress;
    bool startThumb = false;
    // Functions whose calls and returns are reported (by entry address).
    std::vector<uint32_t> watched;
    // Addresses the code must never reach, with what to call them in the
    // fault: an image's hang loops.
    std::vector<std::pair<uint32_t, std::string>> traps;
    // Count the cycles spent in each mode of the core (costs a register
    // read per instruction: for reports).
    bool accountModes = false;
    // On: what the data sheet rules out and the chip does all the same (a
    // PLL oscillator outside its range) is a fault, not a warning.
    bool strict = false;
    // Hears each warning as it happens; none: the warnings are only kept
    // (Engine::warnings()).
    std::function<void(const std::string&)> onWarning;
};

// Core clock cycles by the mode they were spent in, and asleep.
struct ModeCycles {
    std::array<uint64_t, 32> byMode{};  // indexed by CPSR mode bits (0x10 User ... 0x1F System)
    uint64_t idle = 0;
    uint64_t poweredDown = 0;
};

enum class StopReason { Limit, Fault, Requested };

class Engine : private EngineServices {
public:
    Engine(const ElfImage& image, MachineModel& machine, EngineOptions options);
    virtual ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Runs until `limit` instructions have executed since reset, a fault, or
    // a stop requested by an observer or scheduled action. What an action or
    // observer throws ends the run and comes out of here.
    StopReason runUntil(uint64_t limit);
    // Runs until `end` (an instruction count or a time), a fault or a stop.
    StopReason runUntil(const When& end);

    // Calls the function at `address` in the current mode and stack with
    // r0.. = args; returns the instructions it took, or nothing when it did
    // not return within `maxInstructions` (or faulted).
    std::optional<uint64_t> call(uint32_t address, const std::vector<uint32_t>& args, uint64_t maxInstructions);

    // `action` runs once `at` instructions have executed, before the next one.
    void schedule(uint64_t at, std::function<void()> action) { scheduler_.atCount(at, std::move(action)); }
    // `action` runs once the simulated time has reached `at`.
    void scheduleAtTime(double at, std::function<void()> action) { scheduler_.atTime(at, std::move(action)); }
    void schedule(const When& when, std::function<void()> action) override
    {
        scheduler_.at(when, std::move(action));
    }

    // Every event goes to each subscriber as it happens; one may call
    // requestStop(). Returns an id for unsubscribe().
    size_t subscribe(EventBus::Observer observer) { return bus_.subscribe(std::move(observer)); }
    void unsubscribe(size_t id) { bus_.unsubscribe(id); }
    // The run stops before the next instruction.
    void requestStop() { stopRequested_ = true; }
    // While `*flag` is not 0, every run stops before its next instruction,
    // as requested (a signal's handler may set it: it is only read).
    void stopWhen(const volatile std::sig_atomic_t* flag) { stopFlag_ = flag; }
    // The core's nIRQ / nFIQ inputs, as an interrupt controller drives them.
    void setCoreInterrupt(ArmException kind, bool asserted) override;

    // Counts executions of each instruction address in [begin, end).
    void profile(uint32_t begin, uint32_t end);
    void clearProfile();
    uint64_t executions(uint32_t address) const;

    uint64_t instructions() const override { return count_; }
    // Of those, how many were counted in loops without being run.
    uint64_t skippedInstructions() const { return countdowns_.skipped() + waitLoops_.skipped(); }
    uint64_t cycles() const { return clock_.cycles(); }
    // Core clock cycles spent idle and powered down (PCON) since reset.
    uint64_t idleCycles() const { return idleCycles_; }
    uint64_t powerDownCycles() const { return powerDownCycles_; }
    bool sleeping() const { return sleep_ != Sleep::Awake; }
    // With EngineOptions::accountModes: where the cycles went so far.
    ModeCycles modeCycles() const;
    double seconds() const { return clock_.seconds(); }  // simulated time since reset
    const std::optional<Fault>& fault() const { return fault_; }
    // What the run did that the data sheet rules out, in order.
    const std::vector<std::string>& warnings() const { return warnings_; }
    // Why the chip last reset itself ("watchdog reset (...)"), as its
    // ChipReset event tells; empty before any.
    const std::string& lastChipReset() const { return lastChipReset_; }

    uint32_t reg(CpuReg r) const { return cpu_.reg(r); }
    void setReg(CpuReg r, uint32_t value) { cpu_.setReg(r, value); }
    std::vector<uint8_t> readMemory(uint32_t address, size_t size) const;

    const ElfImage& image() const { return image_; }
    std::string locate(uint32_t address) const;  // "0x0000004c <DelayMs+0xc>"
    // "U0LCR" for a peripheral register's address, else the address in hex.
    std::string registerName(uint32_t address, bool write) const;

    // Ends the run from inside a callback; runUntil() rethrows `error` once
    // the core has stopped.
    void abandonRun(std::exception_ptr error);

    // For a debugger. A breakpoint stops the run before the instruction at
    // its address executes; a watchpoint stops it after the instruction that
    // read or wrote the range. Either ends runUntil() as Requested, and
    // debugStop() then tells which (it is cleared when the next run starts
    // through runForDebugger()).
    struct DebugStop {
        enum Kind { Breakpoint, WriteWatch, ReadWatch } kind;
        uint32_t address;  // the instruction, or the data address accessed
    };
    StopReason runForDebugger(uint64_t limit);
    StopReason runForDebugger(const When& end);
    const std::optional<DebugStop>& debugStop() const { return debugStop_; }
    void setBreakpoint(uint32_t address, bool on);
    // Returns an id for removeWatchpoint().
    int addWatchpoint(uint32_t address, uint32_t length, bool reads, bool writes);
    void removeWatchpoint(int id);
    // Writes RAM or flash (the debugger may patch flash); false, and nothing
    // written, when the range is not all in one of them.
    bool writeMemory(uint32_t address, const std::vector<uint8_t>& bytes);
    // Reads RAM or flash only: a peripheral register read has side effects.
    bool readPlainMemory(uint32_t address, size_t size, std::vector<uint8_t>& out) const;

    // The core's callbacks (see cpu.h).
    void onInstruction(uint32_t address, uint32_t size);
    void onException(uint32_t number);
    void onBadMemory(BadAccess kind, uint32_t address, int size, uint32_t value);
    void onWatchedAccess(bool write, uint32_t address);
    uint32_t onDeviceRead(BusTarget& device, uint32_t base, uint32_t offset, unsigned size);
    void onDeviceWrite(BusTarget& device, uint32_t base, uint32_t offset, unsigned size, uint32_t value);

protected:
    // For the machine's side of a board: the services the machine was given.
    EngineServices& services() { return *this; }

private:
    struct PendingException {
        ArmException kind;
        uint32_t address;  // the instruction it concerns
        std::string what;  // for aborts and undefined instructions: what happened
        uint32_t blame;    // the instruction a fault message names
    };
    struct DeviceContext;

    // EngineServices, for the machine.
    void emit(EventKind kind, uint32_t address, uint32_t value) override;
    void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) override;
    double now() const override { return seconds(); }
    void fault(std::string what) override { raiseFault(std::move(what), lastPc_); }
    void boardFault(std::string what) override;
    void warn(std::string what) override;
    void clocksChanged() override;
    uint64_t busAccesses() const override { return busAccesses_; }
    bool privileged() const override { return (reg(CpuReg::CPSR) & kModeMask) != kModeUsr; }
    void sleep(bool powerDown) override { sleep_ = powerDown ? Sleep::PowerDown : Sleep::Idle; }
    void wake() override { sleep_ = Sleep::Awake; }
    void resetChip(std::string why) override;
    // Takes a reset the chip asked for, if one is due; true when it did.
    bool takeChipReset();

    // While the core sleeps: time goes on to the next scheduled work, which
    // may wake it.
    void passSleep();
    // The machine's clock and memory timing, taken in.
    void applyClocks();
    void loadMemory();
    void mapDevices();
    void markCode();
    void startEngine();
    bool takeInterrupt(uint32_t address);
    void inspect(uint32_t address, uint8_t mark);
    void visitLoop(uint32_t address);
    void trapCoprocessor(uint32_t address);
    bool handlerGaveUp(uint32_t cpsr, const std::string& how);
    void checkSelfBranch(uint32_t address, bool armReading, bool thumbReading);
    void hangs(uint32_t address, const std::string& how);
    // An interrupt the core will take before the next instruction.
    bool interruptComing() const;
    // Words with the NV condition (engine_never.cpp).
    void neverExecuted(uint32_t address);
    void stepOverNever(uint32_t address);
    std::string fetchAbortText(uint32_t address) const;
    void enterException(const PendingException& pending);
    void noteCall(uint32_t address);
    void finishReturns(uint32_t address, uint64_t stamp);
    void reachedTrap(uint32_t address);
    bool atBreakpoint(uint32_t address);
    void record(EventKind kind, uint32_t pc, uint32_t address, uint32_t value, uint64_t stamp,
                std::optional<double> time = std::nullopt);
    void raiseFault(std::string what, uint32_t pc, std::optional<uint64_t> stamp = std::nullopt,
                    FaultKind kind = FaultKind::Other);
    const MemoryRegion* plainRegion(uint32_t address, size_t size) const;

    const ElfImage& image_;
    MachineModel& machine_;
    EngineOptions options_;
    Cpu cpu_;
    std::vector<std::unique_ptr<DeviceContext>> devices_;

    // The run.
    uint64_t count_ = 0;
    uint64_t limit_ = 0;
    uint32_t lastPc_ = 0;
    uint32_t previousPc_ = 0;
    bool stopRequested_ = false;
    const volatile std::sig_atomic_t* stopFlag_ = nullptr;
    bool stopAsked() const { return stopRequested_ || (stopFlag_ != nullptr && *stopFlag_ != 0); }
    uint32_t callReturn_ = 0xFFFFFFFF;
    bool callReturned_ = false;
    std::optional<Fault> fault_;
    std::vector<std::string> warnings_;
    std::exception_ptr abandoned_;
    // A reset from inside the chip, taken before the next instruction.
    std::optional<std::string> chipResetDue_;
    std::string lastChipReset_;
    uint64_t resetAt_ = 0;  // instructions executed before the last reset

    // Time, and what costs it.
    Clock clock_;
    Scheduler scheduler_{clock_};
    CycleModel cycleModel_;
    Countdowns countdowns_;
    WaitLoops waitLoops_;
    void findLoops();
    uint64_t busAccesses_ = 0;
    uint64_t unsteadyAccesses_ = 0;  // all but reads of steady registers
    // The first moment a steady read since the last wait loop's visit
    // stops being steady.
    double steadyUntil_ = std::numeric_limits<double>::infinity();

    // What the code's addresses ask for, and what came of it.
    CodeMarks marks_;
    CallTracker calls_;
    EventBus bus_;

    // Exceptions.
    std::optional<PendingException> pendingException_;  // entered once the core has stopped
    std::optional<PendingException> lastException_;     // the last undefined instruction or abort
    uint64_t lastExceptionStamp_ = 0;
    bool nIrq_ = false;
    bool nFiq_ = false;

    // Power modes.
    enum class Sleep : uint8_t { Awake, Idle, PowerDown };
    Sleep sleep_ = Sleep::Awake;
    uint64_t idleCycles_ = 0;
    uint64_t powerDownCycles_ = 0;

    // Cycles by mode (EngineOptions::accountModes): up to `accountedAt_`,
    // the mode of the instruction that ran then.
    std::array<uint64_t, 32> modeCycles_{};
    uint64_t accountedAt_ = 0;
    uint32_t accountedMode_ = kModeSvc;
    void accountMode();
    // A run of words the core never executes (NV condition), such as erased
    // flash: where it began, the instruction that led into it, its last
    // word so far. The core must not see the word at pendingNever_.
    struct NeverRun {
        uint32_t first;
        uint32_t from;
        uint32_t last;
    };
    std::optional<NeverRun> neverRun_;
    std::optional<uint32_t> pendingNever_;

    // Profile of executions.
    uint32_t profileBegin_ = 0;
    std::vector<uint64_t> profileCounts_;

    // A debugger's watchpoints (Unicorn hooks by id) and why it stopped.
    std::vector<std::pair<int, size_t>> watchHooks_;
    int nextWatchId_ = 1;
    std::optional<DebugStop> debugStop_;
};

}  // namespace boardsim
