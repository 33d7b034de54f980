// The engine: an ARM7TDMI (Unicorn's ARMv4T core) on the LPC2294 machine.
// It runs the image, counts instructions, enters exceptions as the chip
// does, reports what the machine does as events, runs scheduled actions,
// follows calls of watched functions and stops on faults.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/arm7tdmi.h"
#include "core/arm_timing.h"
#include "core/board_error.h"
#include "core/call_tracker.h"
#include "core/cpu_registers.h"
#include "image/elf_image.h"
#include "core/events.h"
#include "core/loop_regions.h"
#include "machine/lpc2294_machine.h"

struct uc_struct;

namespace boardsim {

struct MmioContext;

constexpr unsigned kLcdWidth = 84;
constexpr unsigned kLcdHeight = 48;
constexpr unsigned kLcdFrameBytes = kLcdWidth * kLcdHeight / 8;

// Functions the board reports calls of, when the image has them.
std::vector<std::string> defaultWatchedFunctions();

struct BoardOptions {
    bool traceIo = false;  // report every peripheral register access
    std::vector<std::string> watchedFunctions = defaultWatchedFunctions();
    double hostBaud = kDefaultHostBaud;  // the terminal on TxD0
    // Key contacts chatter this long when they close and open (0: clean edges).
    double bounceSeconds = 0.005;
    // Off: every instruction takes one cycle (to measure the model's cost).
    bool cycleModel = true;
    // The flash as a programmer left it, instead of the image's contents.
    std::optional<std::vector<uint8_t>> flash;
    // Where the boot loader's G command started the code; none: a reset
    // (which starts the code only when the vector words sum to 0).
    std::optional<uint32_t> startAddress;
    bool startThumb = false;
    // Off: countdown loops run every turn (to measure what skipping their
    // turns saves, and to compare).
    bool fastLoops = true;
};

// A moment of a run: a number of executed instructions, or a simulated time.
struct Moment {
    bool isTime = false;
    uint64_t count = 0;
    double seconds = 0;
    static Moment instructions(uint64_t n) { return {false, n, 0}; }
    static Moment at(double s) { return {true, 0, s}; }
};

enum class StopReason { Limit, Fault, Requested };

class Board final : private BoardServices {
public:
    explicit Board(const ElfImage& image, BoardOptions options = {});
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Runs until `limit` instructions have executed since reset, a fault, or
    // a stop requested by an observer or scheduled action. What an action or
    // observer throws ends the run and comes out of here.
    StopReason runUntil(uint64_t limit);

    // Calls the function at `address` in the current mode and stack with
    // r0.. = args; returns the instructions it took, or nothing when it did
    // not return within `maxInstructions` (or faulted).
    std::optional<uint64_t> call(uint32_t address, const std::vector<uint32_t>& args,
                                 uint64_t maxInstructions);

    // Runs until `end` (an instruction count or a time), a fault or a stop.
    StopReason runUntil(Moment end);

    // `action` runs once `at` instructions have executed, before the next one.
    void schedule(uint64_t at, std::function<void()> action);
    // `action` runs once the simulated time has reached `at`.
    void scheduleAtTime(double at, std::function<void()> action);
    void schedule(Moment at, std::function<void()> action);
    // KEY_k goes down at `at` and up again after `hold` (instructions or
    // time), its contacts chattering for the bounce time at each edge.
    void pressKey(int key, Moment at, Moment hold);
    void pressKey(int key, uint64_t at, uint64_t hold)
    {
        pressKey(key, Moment::instructions(at), Moment::instructions(hold));
    }
    // The host's terminal sends `byte` to UART0 (see Lpc2294Machine::hostSend).
    void hostSend(uint8_t byte) { machine_.hostSend(byte); }
    // The core's nIRQ / nFIQ inputs, as an interrupt controller drives them.
    void setCoreInterrupt(ArmException kind, bool asserted);
    // Sees every event as it happens; may call requestStop().
    void setObserver(std::function<void(const Event&)> observer) { observer_ = std::move(observer); }
    // The run stops before the next instruction.
    void requestStop() { stopRequested_ = true; }

    // Counts executions of each instruction address in [begin, end).
    void profile(uint32_t begin, uint32_t end);
    void clearProfile();
    uint64_t executions(uint32_t address) const;

    uint64_t instructions() const { return count_; }
    uint64_t cycles() const { return cycles_; }
    double seconds() const;  // simulated time since reset
    const std::vector<Event>& events() const { return events_; }
    const std::optional<Fault>& fault() const { return fault_; }
    std::string uartOutput() const;
    bool hasLcd() const { return lcdFrameAddress_.has_value(); }
    std::vector<uint8_t> lcdFrame() const;

    uint32_t reg(CpuReg r) const;
    void setReg(CpuReg r, uint32_t value);
    std::vector<uint8_t> readMemory(uint32_t address, size_t size) const;

    const ElfImage& image() const { return image_; }
    const Lpc2294Machine& machine() const { return machine_; }
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

    // Unicorn callbacks (C linkage trampolines live in board.cpp).
    void onInstruction(uint32_t address, uint32_t size);
    void onInterrupt(uint32_t number);
    bool onBadMemory(int type, uint64_t address, int size, int64_t value);
    uint64_t onPeripheralRead(Peripheral& device, uint32_t base, uint32_t offset, unsigned size);
    void onPeripheralWrite(Peripheral& device, uint32_t base, uint32_t offset, unsigned size, uint32_t value);
    void onWatchedAccess(bool write, uint32_t address);

private:
    enum Mark : uint8_t { kWatched = 1, kTrap = 2, kCoprocessor = 4, kBreakpoint = 8 };
    struct PendingException {
        ArmException kind;
        uint32_t address;  // the instruction it concerns
        std::string what;  // for aborts and undefined instructions: what happened
        uint32_t blame;    // the instruction a fault message names
    };

    // BoardServices, for the machine's peripherals.
    void emit(EventKind kind, uint32_t address, uint32_t value) override;
    void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) override;
    double now() const override { return seconds(); }
    void scheduleAt(double at, std::function<void()> action) override { scheduleAtTime(at, std::move(action)); }
    double pclkHz() const override { return machine_.pclkHz(); }
    void setInterruptLine(unsigned line, bool asserted) override;
    void fault(std::string what) override { raiseFault(std::move(what), lastPc_); }
    void clocksChanged() override;
    uint64_t busAccesses() const override { return busAccesses_; }

    void settle(uint32_t address);
    void charge(uint32_t address, uint32_t size);
    void planTimedActions();
    void keyEdge(int key, bool down);

    void mapMemory();
    void mapPeripherals();
    void markCode(const std::vector<uint8_t>& flash);
    void timeCode(const std::vector<uint8_t>& flash);
    void markAddress(uint32_t address, Mark mark, const std::string& name);
    void startEngine();
    void runDueActions();
    bool takeInterrupt(uint32_t address);
    void inspect(uint32_t address);
    void trapCoprocessor(uint32_t address);
    void enterException(const PendingException& pending);
    void noteCall(uint32_t address);
    void finishReturns(uint32_t address, uint64_t stamp);
    struct Countdown {
        LoopRegion region;
        uint64_t visitCount;  // count_ and cycles_ when its first instruction last came up
        uint64_t visitCycles;
        FetchTiming visitFetch;
    };
    void installCodeHooks();
    void findLoops();
    void skipTurns(Countdown& loop);
    void reachedTrap(uint32_t address);
    void record(EventKind kind, uint32_t pc, uint32_t address, uint32_t value, uint64_t stamp,
                std::optional<double> time = std::nullopt);
    void raiseFault(std::string what, uint32_t pc, std::optional<uint64_t> stamp = std::nullopt,
                    FaultKind kind = FaultKind::Other);
    bool atBreakpoint(uint32_t address);

    const ElfImage& image_;
    BoardOptions options_;
    uc_struct* uc_ = nullptr;
    Lpc2294Machine machine_;
    std::vector<std::unique_ptr<MmioContext>> mmioContexts_;

    uint64_t count_ = 0;
    uint64_t limit_ = 0;
    uint32_t lastPc_ = 0;
    uint32_t previousPc_ = 0;
    bool stopRequested_ = false;
    uint32_t callReturn_ = 0xFFFFFFFF;
    bool callReturned_ = false;

    std::vector<uint8_t> marks_;  // one per halfword of flash
    std::map<uint32_t, std::string> trapNames_;
    CallTracker calls_;

    std::optional<PendingException> pendingException_;  // entered once the core has stopped
    std::optional<PendingException> lastException_;     // the last undefined instruction or abort
    uint64_t lastExceptionStamp_ = 0;
    uint32_t interruptLines_ = 0;  // VIC channels asserted
    bool nIrq_ = false;
    bool nFiq_ = false;

    std::multimap<uint64_t, std::function<void()>> due_;
    uint64_t nextDue_ = UINT64_MAX;
    std::multimap<double, std::function<void()>> timed_;
    uint64_t nextTimedCycle_ = UINT64_MAX;

    // Time: cycles of the core clock, folded into seconds at each change of
    // the clock.
    uint64_t cycles_ = 0;
    double cclkHz_ = 0;
    uint64_t cyclesAtClock_ = 0;
    double secondsAtClock_ = 0;
    unsigned vpbWait_ = 0;  // extra cycles of a peripheral access
    uint64_t busAccesses_ = 0;
    std::vector<uint32_t> flashWords_;
    std::vector<InsnTiming> timing_;  // one per flash word
    FetchTiming fetch_;
    uint32_t lastFetch_ = 0xFFFFFFFF;
    uint32_t pendingCycles_ = 0;  // of the instruction running, settled at the next one
    uint32_t pendingAddress_ = 0;
    uint32_t pendingFetchWait_ = 0;
    bool pendingSkippable_ = false;  // a conditional branch: 1 cycle if not taken
    uint32_t keysHeld_ = 0;           // by pressKey, bit k-1 for KEY_k

    // Countdown loops whose turns can be skipped (see loop_regions.h).
    std::vector<Countdown> countdowns_;
    std::vector<int16_t> loopAt_;  // per flash word: the countdown starting there, or -1
    uint32_t bounceSeed_ = 1;

    uint32_t profileBegin_ = 0;
    std::vector<uint64_t> profileCounts_;

    std::vector<Event> events_;
    std::function<void(const Event&)> observer_;
    std::optional<Fault> fault_;
    std::exception_ptr abandoned_;
    std::optional<uint32_t> lcdFrameAddress_;

    std::vector<uint32_t> ramBreakpoints_;  // breakpoints outside flash (marks_ holds the others)
    size_t breakpointCount_ = 0;
    std::map<int, size_t> watchHooks_;  // Unicorn hook handles by id
    int nextWatchId_ = 1;
    std::optional<DebugStop> debugStop_;
};

}  // namespace boardsim
