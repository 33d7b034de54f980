#include "core/board.h"

#include <unicorn/unicorn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "image/flash_image.h"

namespace boardsim {
namespace {

// Unicorn's ARMv4T core. It still answers for a CP15; the board traps every
// coprocessor instruction before the core sees it (see arm7tdmi.h).
constexpr int kCpuModel = UC_CPU_ARM_TI925T;

constexpr uint32_t kResetCpsr = kModeSvc | kIrqMask | kFiqMask;
// The reserved vector word holds the boot checksum and is never executed, so
// a return there can only be the end of a call() made by the simulator.
constexpr uint32_t kCallReturnAddress = 0x14;
constexpr uint32_t kNoEndAddress = 0xFFFFFFFF;  // odd: never a PC in ARM state
constexpr uint32_t kMmioPage = 0x1000;

int ucRegister(CpuReg r)
{
    static const int map[kCpuRegCount] = {
        UC_ARM_REG_R0,  UC_ARM_REG_R1,  UC_ARM_REG_R2,  UC_ARM_REG_R3, UC_ARM_REG_R4,   UC_ARM_REG_R5,
        UC_ARM_REG_R6,  UC_ARM_REG_R7,  UC_ARM_REG_R8,  UC_ARM_REG_R9, UC_ARM_REG_R10,  UC_ARM_REG_R11,
        UC_ARM_REG_R12, UC_ARM_REG_SP,  UC_ARM_REG_LR,  UC_ARM_REG_PC, UC_ARM_REG_CPSR, UC_ARM_REG_SPSR,
    };
    return map[int(r)];
}

Board& boardOf(void* user) { return *static_cast<Board*>(user); }

// Unicorn's frames are C: an exception thrown through them is undefined
// behaviour (in practice std::terminate). Every callback runs its work here;
// what it throws waits in the board until uc_emu_start has returned.
template <typename Work>
auto guarded(Board& board, Work&& work) -> decltype(work())
{
    try {
        return work();
    } catch (...) {
        board.abandonRun(std::current_exception());
        return decltype(work())();
    }
}

void watchHook(uc_engine* /*uc*/, uc_mem_type type, uint64_t address, int /*size*/, int64_t /*value*/,
               void* user)
{
    guarded(boardOf(user), [&] { boardOf(user).onWatchedAccess(type == UC_MEM_WRITE, uint32_t(address)); });
}

void codeHook(uc_engine* /*uc*/, uint64_t address, uint32_t size, void* user)
{
    guarded(boardOf(user), [&] { boardOf(user).onInstruction(uint32_t(address), size); });
}

void interruptHook(uc_engine* /*uc*/, uint32_t number, void* user)
{
    guarded(boardOf(user), [&] { boardOf(user).onInterrupt(number); });
}

bool badMemoryHook(uc_engine* /*uc*/, uc_mem_type type, uint64_t address, int size, int64_t value, void* user)
{
    return guarded(boardOf(user), [&] { return boardOf(user).onBadMemory(type, address, size, value); });
}

}  // namespace

struct MmioContext {
    Board* board;
    Peripheral* device;
    uint32_t base;
};

namespace {

uint64_t mmioRead(uc_engine* /*uc*/, uint64_t offset, unsigned size, void* user)
{
    auto& t = *static_cast<MmioContext*>(user);
    return guarded(*t.board, [&] { return t.board->onPeripheralRead(*t.device, t.base, uint32_t(offset), size); });
}

void mmioWrite(uc_engine* /*uc*/, uint64_t offset, unsigned size, uint64_t value, void* user)
{
    auto& t = *static_cast<MmioContext*>(user);
    guarded(*t.board, [&] { t.board->onPeripheralWrite(*t.device, t.base, uint32_t(offset), size, uint32_t(value)); });
}

void check(uc_err err, const char* what)
{
    if (err != UC_ERR_OK) {
        throw BoardError(std::string(what) + ": " + uc_strerror(err));
    }
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

bool isAbortOrUndefined(ArmException kind)
{
    return kind == ArmException::Undefined || kind == ArmException::PrefetchAbort ||
           kind == ArmException::DataAbort;
}

FaultKind faultKindOf(ArmException kind)
{
    return kind == ArmException::Undefined ? FaultKind::UndefinedInstruction : FaultKind::BadAccess;
}

}  // namespace

std::vector<std::string> defaultWatchedFunctions()
{
    return {"main", "DelayMs", "SysVersion", "SysAuthor", "DealKey", "KeySysInit", "GUI_Init",
            "Menu_Init", "UART0_Init", "UART0_SendStr", "LcdClrScrn", "WaitAnyKeyDown", "SwiHandle1"};
}

std::string Fault::message() const
{
    std::string text = "fault after " + std::to_string(stamp) + " instructions: " + what;
    text += "; instruction at " + location;
    if (instructionKnown) {
        text += " (" + hex(instruction) + ")";
    }
    return text;
}

Board::Board(const ElfImage& image, BoardOptions options)
    : image_(image), options_(std::move(options)), machine_(static_cast<BoardServices&>(*this), options_.hostBaud)
{
    check(uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_), "starting the ARM engine");
    try {
        check(uc_ctl_set_cpu_model(uc_, kCpuModel), "selecting the ARMv4T core");
        mapMemory();
        machine_.reset();
        cclkHz_ = machine_.cclkHz();
        clocksChanged();
        mapPeripherals();

        if (auto frame = image_.find("LcdFrame")) {
            if (frame->size != 0 && frame->size != kLcdFrameBytes) {
                throw BoardError("LcdFrame is " + std::to_string(frame->size) + " bytes, not " +
                                 std::to_string(kLcdFrameBytes));
            }
            lcdFrameAddress_ = frame->address;
        }

        findLoops();
        installCodeHooks();
        uc_hook hook;
        check(uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(interruptHook), this, 1, 0),
              "hooking exceptions");
        check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(badMemoryHook), this, 1,
                          0),
              "hooking bad memory accesses");

        // Reset state of the core: Supervisor mode, IRQ and FIQ masked, ARM
        // state; or as the boot loader's G command leaves it.
        setReg(CpuReg::CPSR, kResetCpsr | (options_.startThumb ? kThumbBit : 0));
        setReg(CpuReg::PC, options_.startAddress.value_or(0));
    } catch (...) {
        uc_close(uc_);
        throw;
    }
}

Board::~Board()
{
    uc_close(uc_);
}

void Board::mapMemory()
{
    for (const MemoryRegion& region : Lpc2294Machine::memory()) {
        const uint32_t protection = region.writable ? UC_PROT_ALL : (UC_PROT_READ | UC_PROT_EXEC);
        check(uc_mem_map(uc_, region.base, region.size, protection), "mapping memory");
        std::vector<uint8_t> contents(region.size, region.powerUpFill);
        if (region.base == kFlashBase) {
            contents = options_.flash ? *options_.flash : flashContents(image_, region.size, region.powerUpFill);
            contents.resize(region.size, region.powerUpFill);
            if (!options_.startAddress) {
                requireValidUserCode(contents);
            }
            markCode(contents);
            timeCode(contents);
        }
        check(uc_mem_write(uc_, region.base, contents.data(), contents.size()), "loading memory");
    }
}

void Board::mapPeripherals()
{
    for (const Placement& p : machine_.peripherals()) {
        mmioContexts_.push_back(std::make_unique<MmioContext>(MmioContext{this, p.device, p.base}));
        void* context = mmioContexts_.back().get();
        const uint32_t size = (p.device->size() + kMmioPage - 1) / kMmioPage * kMmioPage;
        check(uc_mmio_map(uc_, p.base, size, mmioRead, context, mmioWrite, context), "mapping a peripheral");
    }
}

void Board::markCode(const std::vector<uint8_t>& flash)
{
    marks_.assign(flash.size() / 2, 0);
    for (size_t at = 0; at + 4 <= flash.size(); at += 4) {
        uint32_t word = 0;
        std::memcpy(&word, &flash[at], 4);
        if (isCoprocessorInstruction(word)) {
            marks_[at / 2] |= kCoprocessor;
        }
    }
    for (const std::string& name : options_.watchedFunctions) {
        if (auto symbol = image_.find(name)) {
            markAddress(symbol->address, kWatched, name);
        }
    }
    markAddress(0x00, kTrap, "the reset vector again (a jump to address 0)");
    for (const char* hang : {"Undef_Hang", "PAbt_Hang", "DAbt_Hang", "Irq_Hang", "Fiq_Hang"}) {
        if (auto symbol = image_.find(hang)) {
            markAddress(symbol->address, kTrap, hang);
        }
    }
}

// The vectors and their table are never a busy-wait loop.
constexpr uint32_t kFirstLoopAddress = 0x40;

void Board::findLoops()
{
    loopAt_.assign(flashWords_.size(), -1);
    if (!options_.fastLoops) {
        return;
    }
    for (const LoopRegion& loop : findLoopRegions(flashWords_, timing_, [this](size_t i) {
             return i * 4 >= kFirstLoopAddress && marks_[i * 2] == 0 && marks_[i * 2 + 1] == 0;
         })) {
        if (loop.counter >= 0) {
            loopAt_[loop.start / 4] = int16_t(countdowns_.size());
            countdowns_.push_back({loop, 0, 0, {}});
        }
    }
}

void Board::installCodeHooks()
{
    uc_hook hook;
    check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(codeHook), this, 1, 0),
          "hooking instructions");
}

// At the first instruction of a countdown ("subs rN, rN, #step; bne" back to
// it): once a turn has run from here to here with the fetch timing as it
// was, every turn but the last is alike, so they are counted without being
// run, as far as nothing the run must see falls among them (an instruction
// deadline, a timed action). The counter is all a turn leaves behind: the
// turn that runs next sets the flags anew.
void Board::skipTurns(Countdown& loop)
{
    const uint64_t turnLength = loop.region.length();
    const bool oneTurnAgo = count_ == loop.visitCount + turnLength && loop.visitFetch == fetch_;
    const uint64_t turnCycles = cycles_ - loop.visitCycles;
    loop.visitCount = count_;
    loop.visitCycles = cycles_;
    loop.visitFetch = fetch_;
    // A debugger's breakpoint in the loop must see every turn.
    if (!oneTurnAgo || turnCycles == 0 || !profileCounts_.empty() || breakpointCount_ != 0) {
        return;
    }
    const uint32_t counter = reg(cpuReg(loop.region.counter));
    if (counter == 0 || counter % loop.region.step != 0) {
        return;
    }
    uint64_t turns = counter / loop.region.step - 1;  // the last one runs, and leaves
    const uint64_t deadline = std::min(limit_, nextDue_);
    turns = std::min(turns, deadline > count_ ? (deadline - count_) / turnLength : 0);
    turns = std::min(turns, nextTimedCycle_ > cycles_ ? (nextTimedCycle_ - cycles_) / turnCycles : 0);
    if (turns == 0) {
        return;
    }
    setReg(cpuReg(loop.region.counter), counter - uint32_t(turns) * loop.region.step);
    count_ += turns * turnLength;
    cycles_ += turns * turnCycles;
    loop.visitCount = count_;
    loop.visitCycles = cycles_;
}

void Board::timeCode(const std::vector<uint8_t>& flash)
{
    flashWords_.resize(flash.size() / 4);
    std::memcpy(flashWords_.data(), flash.data(), flashWords_.size() * 4);
    timing_.resize(flashWords_.size());
    for (size_t i = 0; i < flashWords_.size(); ++i) {
        timing_[i] = armTiming(flashWords_[i]);
    }
}

void Board::markAddress(uint32_t address, Mark mark, const std::string& name)
{
    if (address / 2 >= marks_.size()) {
        return;  // only code in flash is watched
    }
    marks_[address / 2] |= mark;
    if (mark == kTrap) {
        trapNames_[address] = name;
    }
}

StopReason Board::runUntil(uint64_t limit)
{
    limit_ = limit;
    stopRequested_ = false;
    while (!fault_ && !stopRequested_ && count_ < limit_) {
        startEngine();
    }
    if (fault_) {
        return StopReason::Fault;
    }
    return stopRequested_ ? StopReason::Requested : StopReason::Limit;
}

StopReason Board::runUntil(Moment end)
{
    if (!end.isTime) {
        return runUntil(end.count);
    }
    // Shared with the action, which may outlive this call when the run ends
    // early (a fault, a stop): it then only marks a flag nobody reads.
    auto reached = std::make_shared<bool>(false);
    auto active = std::make_shared<bool>(true);
    scheduleAtTime(end.seconds, [this, reached, active] {
        if (*active) {
            *reached = true;
            requestStop();
        }
    });
    const StopReason reason = runUntil(UINT64_MAX);
    *active = false;
    return reason == StopReason::Requested && *reached ? StopReason::Limit : reason;
}

void Board::startEngine()
{
    uint32_t pc = reg(CpuReg::PC);
    if (reg(CpuReg::CPSR) & kThumbBit) {
        pc |= 1;
    }
    const uc_err err = uc_emu_start(uc_, pc, kNoEndAddress, 0, 0);
    if (abandoned_) {
        std::exception_ptr error = abandoned_;
        abandoned_ = nullptr;
        std::rethrow_exception(error);
    }
    if (pendingException_) {
        const PendingException pending = *pendingException_;
        pendingException_.reset();
        enterException(pending);
        return;
    }
    if (err == UC_ERR_INSN_INVALID && !fault_) {
        // Unicorn reports some undefined encodings this way instead of
        // through the exception hook; the chip takes them alike.
        enterException({ArmException::Undefined, lastPc_, "undefined instruction", lastPc_});
        return;
    }
    if (err != UC_ERR_OK && !fault_) {
        raiseFault(std::string("the core stopped: ") + uc_strerror(err), lastPc_);
    }
}

std::optional<uint64_t> Board::call(uint32_t address, const std::vector<uint32_t>& args,
                                    uint64_t maxInstructions)
{
    if (args.size() > 4) {
        throw BoardError("call() passes at most four arguments in registers");
    }
    for (size_t i = 0; i < args.size(); ++i) {
        setReg(cpuReg(int(i)), args[i]);
    }
    setReg(CpuReg::LR, kCallReturnAddress);
    uint32_t cpsr = reg(CpuReg::CPSR);
    cpsr = (address & 1) ? (cpsr | kThumbBit) : (cpsr & ~kThumbBit);
    setReg(CpuReg::CPSR, cpsr);
    setReg(CpuReg::PC, address & ~1u);

    const uint64_t start = count_;
    callReturn_ = kCallReturnAddress;
    callReturned_ = false;
    runUntil(count_ + maxInstructions);
    callReturn_ = kNoEndAddress;
    if (!callReturned_ || fault_) {
        return std::nullopt;
    }
    return count_ - start;
}

void Board::schedule(uint64_t at, std::function<void()> action)
{
    due_.emplace(at, std::move(action));
    nextDue_ = due_.begin()->first;
}

void Board::scheduleAtTime(double at, std::function<void()> action)
{
    timed_.emplace(at, std::move(action));
    planTimedActions();
}

void Board::schedule(Moment at, std::function<void()> action)
{
    if (at.isTime) {
        scheduleAtTime(at.seconds, std::move(action));
    } else {
        schedule(at.count, std::move(action));
    }
}

void Board::planTimedActions()
{
    if (timed_.empty()) {
        nextTimedCycle_ = UINT64_MAX;
        return;
    }
    const double ahead = (timed_.begin()->first - secondsAtClock_) * cclkHz_;
    nextTimedCycle_ = ahead <= 0 ? cyclesAtClock_ : cyclesAtClock_ + uint64_t(std::ceil(ahead - 1e-6));
}

double Board::seconds() const
{
    return secondsAtClock_ + double(cycles_ - cyclesAtClock_) / cclkHz_;
}

void Board::clocksChanged()
{
    secondsAtClock_ = seconds();
    cyclesAtClock_ = cycles_;
    cclkHz_ = machine_.cclkHz();
    const SystemControl& scb = machine_.systemControl;
    fetch_.configure(scb.mamMode(), scb.mamFetchCycles());
    // The VPB bridge waits for the slower peripheral clock.
    vpbWait_ = scb.vpbDivider();
    for (const Placement& p : machine_.peripherals()) {
        p.device->pclkChanged();
    }
    planTimedActions();
}

void Board::pressKey(int key, Moment at, Moment hold)
{
    if (key < 1 || key > Lpc2294Machine::kKeyCount) {
        throw BoardError("there is no KEY_" + std::to_string(key));
    }
    schedule(at, [this, key, hold] {
        const uint32_t bit = 1u << (key - 1);
        if ((keysHeld_ & bit) != 0) {
            throw BoardError("KEY_" + std::to_string(key) + " pressed again while still held");
        }
        keysHeld_ |= bit;
        keyEdge(key, true);
        auto release = [this, key, bit] {
            keysHeld_ &= ~bit;
            keyEdge(key, false);
        };
        if (hold.isTime) {
            scheduleAtTime(seconds() + hold.seconds, release);
        } else {
            schedule(count_ + hold.count, release);
        }
    });
}

void Board::keyEdge(int key, bool down)
{
    record(EventKind::Key, 0, uint32_t(key), down ? 1 : 0, count_);
    // Contacts chatter: the level flips at a few uneven moments within the
    // bounce time before it settles where the edge goes.
    const double start = seconds();
    double t = start;
    bool level = down;
    machine_.setKey(key, level);
    while (options_.bounceSeconds > 0) {
        bounceSeed_ = bounceSeed_ * 1103515245u + 12345u;
        t += options_.bounceSeconds * (0.05 + 0.25 * double((bounceSeed_ >> 16) & 0x7FFF) / 32768.0);
        if (t >= start + options_.bounceSeconds) {
            break;
        }
        level = !level;
        scheduleAtTime(t, [this, key, level] { machine_.setKey(key, level); });
    }
    if (level != down) {
        scheduleAtTime(start + options_.bounceSeconds, [this, key, down] { machine_.setKey(key, down); });
    }
}

void Board::setInterruptLine(unsigned line, bool asserted)
{
    // No interrupt controller yet: until the VIC is modelled, every line
    // drives nIRQ directly. The VIC will sit here, choosing IRQ or FIQ,
    // masking and prioritising the 32 channels.
    const uint32_t bit = 1u << (line & 31);
    interruptLines_ = asserted ? (interruptLines_ | bit) : (interruptLines_ & ~bit);
    setCoreInterrupt(ArmException::Irq, interruptLines_ != 0);
}

void Board::setCoreInterrupt(ArmException kind, bool asserted)
{
    if (kind == ArmException::Fiq) {
        nFiq_ = asserted;
    } else if (kind == ArmException::Irq) {
        nIrq_ = asserted;
    } else {
        throw BoardError("only IRQ and FIQ are core inputs");
    }
}

void Board::profile(uint32_t begin, uint32_t end)
{
    profileBegin_ = begin;
    profileCounts_.assign(end > begin ? end - begin : 0, 0);
}

void Board::clearProfile()
{
    std::fill(profileCounts_.begin(), profileCounts_.end(), 0);
}

uint64_t Board::executions(uint32_t address) const
{
    const uint32_t index = address - profileBegin_;
    return index < profileCounts_.size() ? profileCounts_[index] : 0;
}

void Board::runDueActions()
{
    while (!due_.empty() && due_.begin()->first <= count_) {
        auto action = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        action();
    }
    nextDue_ = due_.empty() ? UINT64_MAX : due_.begin()->first;
    while (!timed_.empty() && cycles_ >= nextTimedCycle_) {
        auto action = std::move(timed_.begin()->second);
        timed_.erase(timed_.begin());
        planTimedActions();
        action();
    }
}

// The instruction before has run: its cycles count now that it is known
// where it went (a conditional branch not taken costs one cycle).
void Board::settle(uint32_t address)
{
    if (pendingCycles_ != 0) {
        // Not taken: 1S, and the fetch it waited for all the same.
        cycles_ += pendingSkippable_ && address == pendingAddress_ + 4 ? 1 + pendingFetchWait_ : pendingCycles_;
        pendingCycles_ = 0;
    }
}

void Board::charge(uint32_t address, uint32_t size)
{
    if (!options_.cycleModel || size != 4) {
        pendingCycles_ = 1;  // Thumb code: one cycle each, no model yet
        pendingSkippable_ = false;
        return;
    }
    const bool inFlash = address / 4 < timing_.size();
    uint32_t word = 0;
    InsnTiming t;
    if (inFlash) {
        word = flashWords_[address / 4];
        t = timing_[address / 4];
    } else {
        uc_mem_read(uc_, address, &word, 4);
        t = armTiming(word);
    }
    uint32_t cost = t.cycles;
    if ((t.flags & (InsnTiming::kMultiply | InsnTiming::kMemory)) != 0) {
        if ((t.flags & InsnTiming::kConditional) != 0 && !conditionPasses(word, reg(CpuReg::CPSR))) {
            cost = 1;
        } else if ((t.flags & InsnTiming::kMultiply) != 0) {
            cost += multiplierCycles(reg(cpuReg(t.multiplierRegister)));
        } else if ((t.flags & InsnTiming::kFlashLiteral) != 0 && inFlash) {
            const uint32_t offset = word & 0xFFF;
            const uint32_t literal = (word & (1u << 23)) != 0 ? address + 8 + offset : address + 8 - offset;
            cost += fetch_.dataWait(literal);
        }
    }
    pendingFetchWait_ = inFlash ? fetch_.wait(address, address == lastFetch_ + 4) : 0;
    cost += pendingFetchWait_;
    lastFetch_ = address;
    pendingCycles_ = cost;
    pendingAddress_ = address;
    pendingSkippable_ = (t.flags & (InsnTiming::kConditional | InsnTiming::kWritesPc)) ==
                        (InsnTiming::kConditional | InsnTiming::kWritesPc);
}

// Called before each instruction executes. Stopping here leaves the
// instruction unexecuted and uncounted: the next run starts with it.
void Board::onInstruction(uint32_t address, uint32_t size)
{
    settle(address);
    if (address / 4 < loopAt_.size() && loopAt_[address / 4] >= 0 && !stopRequested_ && !fault_) {
        skipTurns(countdowns_[size_t(loopAt_[address / 4])]);
    }
    if (count_ >= nextDue_ || cycles_ >= nextTimedCycle_) {
        runDueActions();
    }
    if (address == callReturn_) {
        callReturned_ = true;
        stopRequested_ = true;
        finishReturns(address, count_);
        uc_emu_stop(uc_);
        return;
    }
    if (stopRequested_ || fault_ || count_ >= limit_ || atBreakpoint(address)) {
        uc_emu_stop(uc_);
        return;
    }
    if ((nIrq_ || nFiq_) && takeInterrupt(address)) {
        return;
    }
    ++count_;
    previousPc_ = lastPc_;
    lastPc_ = address;
    charge(address, size);
    if (calls_.returnDue(address)) {
        finishReturns(address, count_ - 1);
    }
    inspect(address);
    const uint32_t index = address - profileBegin_;
    if (index < profileCounts_.size()) {
        ++profileCounts_[index];
    }
}

// What the marks of this address ask for: a coprocessor trap, a hang, a
// watched call.
void Board::inspect(uint32_t address)
{
    if (address / 2 >= marks_.size()) {
        // Code in RAM: rare (a boot loader's download), so read the word.
        uint32_t word = 0;
        if (uc_mem_read(uc_, address, &word, 4) == UC_ERR_OK && isCoprocessorInstruction(word)) {
            trapCoprocessor(address);
        }
        return;
    }
    const uint8_t mark = marks_[address / 2];
    if ((mark & kCoprocessor) != 0) {
        trapCoprocessor(address);
    }
    if ((mark & kTrap) != 0) {
        reachedTrap(address);
    }
    if ((mark & kWatched) != 0) {
        noteCall(address);
    }
}

bool Board::takeInterrupt(uint32_t address)
{
    const uint32_t cpsr = reg(CpuReg::CPSR);
    ArmException kind = ArmException::Reset;
    if (nFiq_ && (cpsr & kFiqMask) == 0) {
        kind = ArmException::Fiq;  // FIQ wins when both are pending
    } else if (nIrq_ && (cpsr & kIrqMask) == 0) {
        kind = ArmException::Irq;
    } else {
        return false;
    }
    pendingException_ = PendingException{kind, address, "", address};
    uc_emu_stop(uc_);
    return true;
}

void Board::trapCoprocessor(uint32_t address)
{
    if ((reg(CpuReg::CPSR) & kThumbBit) != 0) {
        return;  // the marks are of ARM words; Thumb has no coprocessor instructions
    }
    pendingException_ = PendingException{ArmException::Undefined, address,
                                         "coprocessor instruction (the ARM7TDMI has no coprocessor)", address};
    uc_emu_stop(uc_);
}

void Board::enterException(const PendingException& pending)
{
    const ExceptionEntry& entry = exceptionEntry(pending.kind);
    const uint32_t cpsr = reg(CpuReg::CPSR);
    if (isAbortOrUndefined(pending.kind)) {
        if ((cpsr & kModeMask) == entry.mode) {
            raiseFault(pending.what + ", inside the " + entry.name + " handler", pending.blame, std::nullopt,
                       faultKindOf(pending.kind));
            return;
        }
        lastException_ = pending;
        lastExceptionStamp_ = count_;
    }
    setReg(CpuReg::CPSR, exceptionCpsr(pending.kind, cpsr));  // banks in the mode's SP and LR
    setReg(CpuReg::SPSR, cpsr);
    setReg(CpuReg::LR, exceptionLink(pending.kind, pending.address, (cpsr & kThumbBit) != 0));
    setReg(CpuReg::PC, entry.vector);
    if (pending.kind != ArmException::SoftwareInterrupt && pending.kind != ArmException::Undefined) {
        cycles_ += 3;  // 2S + 1N; an SWI or undefined instruction counts it as its own
    }
    if (pending.kind != ArmException::SoftwareInterrupt) {
        record(EventKind::Exception, pending.address, entry.vector, uint32_t(pending.kind), count_);
    }
}

void Board::noteCall(uint32_t address)
{
    calls_.entered(address, reg(CpuReg::LR) & ~1u, reg(CpuReg::SP));
    // Stamped with the instructions done before its first one.
    record(EventKind::Call, address, address, reg(CpuReg::R0), count_ - 1);
}

// `stamp`: the instructions done before the return address runs.
void Board::finishReturns(uint32_t address, uint64_t stamp)
{
    for (uint32_t function : calls_.returned(address, reg(CpuReg::SP))) {
        record(EventKind::Return, lastPc_, function, reg(CpuReg::R0), stamp);
    }
}

void Board::reachedTrap(uint32_t address)
{
    if (address == 0 && count_ == 1) {
        return;  // the reset itself starts at 0
    }
    const std::string& trap = trapNames_[address];
    if (lastException_ &&
        (reg(CpuReg::CPSR) & kModeMask) == exceptionEntry(lastException_->kind).mode) {
        // The handler of the last undefined instruction or abort gave up:
        // name what it was handling, where it happened.
        raiseFault(std::string(exceptionEntry(lastException_->kind).name) + ": " + lastException_->what +
                       "; its handler hangs at " + trap,
                   lastException_->blame, lastExceptionStamp_, faultKindOf(lastException_->kind));
        return;
    }
    raiseFault("execution reached " + trap + " from " + locate(previousPc_), address);
}

void Board::onInterrupt(uint32_t number)
{
    // QEMU's ARM exception numbers, as Unicorn passes them on. The core has
    // not entered the exception: the board does, as the ARM7TDMI would.
    const bool thumb = (reg(CpuReg::CPSR) & kThumbBit) != 0;
    switch (number) {
    case 2: {  // SWI: PC is already past it
        const uint32_t address = reg(CpuReg::PC) - (thumb ? 2 : 4);
        record(EventKind::Swi, address, 0, reg(CpuReg::R0), count_);
        enterException({ArmException::SoftwareInterrupt, address, "", address});
        break;
    }
    case 1:  // undefined instruction
    case 7:  // BKPT, which ARMv4T does not have
        enterException({ArmException::Undefined, lastPc_, "undefined instruction", lastPc_});
        break;
    default:
        raiseFault("exception " + std::to_string(number) + " from the core", lastPc_);
        uc_emu_stop(uc_);
        break;
    }
}

bool Board::onBadMemory(int type, uint64_t address, int size, int64_t value)
{
    // The chip aborts an access no memory or peripheral answers; the core
    // enters the abort once Unicorn has stopped.
    const auto where = hex(uint32_t(address));
    const std::string bits = std::to_string(size * 8) + "-bit ";
    switch (type) {
    case UC_MEM_READ_UNMAPPED:
        pendingException_ = {ArmException::DataAbort, lastPc_, bits + "read of unmapped address " + where, lastPc_};
        break;
    case UC_MEM_WRITE_UNMAPPED:
        pendingException_ = {ArmException::DataAbort, lastPc_,
                             bits + "write of " + hex(uint32_t(value)) + " to unmapped address " + where, lastPc_};
        break;
    case UC_MEM_WRITE_PROT:
        pendingException_ = {ArmException::DataAbort, lastPc_,
                             "write of " + hex(uint32_t(value)) + " to flash at " + where, lastPc_};
        break;
    case UC_MEM_FETCH_UNMAPPED:
        // Nothing to name at the target: blame the jump that got there.
        pendingException_ = {ArmException::PrefetchAbort, uint32_t(address),
                             "instruction fetch from unmapped address " + where +
                                 " (jumped there from the instruction below)",
                             lastPc_};
        break;
    default:
        raiseFault("bad memory access at " + where, lastPc_, std::nullopt, FaultKind::BadAccess);
        break;
    }
    return false;  // the core stops with an error
}

uint64_t Board::onPeripheralRead(Peripheral& device, uint32_t base, uint32_t offset, unsigned size)
{
    ++busAccesses_;
    cycles_ += vpbWait_;
    const BusResult result = device.read(offset, size);
    if (!result.ok) {
        raiseFault(std::to_string(size * 8) + "-bit read of " + device.registerName(offset, false) + " (" +
                       hex(base + offset) + "): " + result.problem,
                   lastPc_, std::nullopt, FaultKind::BadAccess);
        return 0;
    }
    if (options_.traceIo) {
        record(EventKind::IoRead, lastPc_, base + offset, result.value, count_);
    }
    return result.value;
}

void Board::onPeripheralWrite(Peripheral& device, uint32_t base, uint32_t offset, unsigned size, uint32_t value)
{
    ++busAccesses_;
    cycles_ += vpbWait_;
    if (options_.traceIo) {
        record(EventKind::IoWrite, lastPc_, base + offset, value, count_);
    }
    const BusResult result = device.write(offset, size, value);
    if (!result.ok) {
        raiseFault(std::to_string(size * 8) + "-bit write of " + hex(value) + " to " +
                       device.registerName(offset, true) + " (" + hex(base + offset) + "): " + result.problem,
                   lastPc_, std::nullopt, FaultKind::BadAccess);
    }
}

void Board::emit(EventKind kind, uint32_t address, uint32_t value)
{
    record(kind, lastPc_, address, value, count_);
}

void Board::emitAt(double time, EventKind kind, uint32_t address, uint32_t value)
{
    record(kind, lastPc_, address, value, count_, time);
}

void Board::record(EventKind kind, uint32_t pc, uint32_t address, uint32_t value, uint64_t stamp,
                   std::optional<double> time)
{
    events_.push_back({stamp, time.value_or(seconds()), kind, pc, address, value});
    if (observer_) {
        observer_(events_.back());
    }
}

void Board::raiseFault(std::string what, uint32_t pc, std::optional<uint64_t> stamp, FaultKind kind)
{
    if (fault_) {
        return;  // the first fault is the one that matters
    }
    Fault found;
    found.stamp = stamp.value_or(count_);
    found.pc = pc;
    found.what = std::move(what);
    found.location = locate(pc);
    found.kind = kind;
    const bool thumb = (reg(CpuReg::CPSR) & kThumbBit) != 0;
    uint32_t word = 0;
    if (uc_mem_read(uc_, pc, &word, thumb ? 2 : 4) == UC_ERR_OK) {
        found.instructionKnown = true;
        found.instruction = word;
    }
    fault_ = std::move(found);
    stopRequested_ = true;
}

void Board::abandonRun(std::exception_ptr error)
{
    if (!abandoned_) {
        abandoned_ = std::move(error);
    }
    stopRequested_ = true;
    uc_emu_stop(uc_);
}

std::string Board::uartOutput() const
{
    std::string text;
    for (const Event& e : events_) {
        if (e.kind == EventKind::UartByte) {
            text += char(e.value);
        }
    }
    return text;
}

std::vector<uint8_t> Board::lcdFrame() const
{
    if (!lcdFrameAddress_) {
        throw BoardError("the image has no LcdFrame symbol");
    }
    return readMemory(*lcdFrameAddress_, kLcdFrameBytes);
}

uint32_t Board::reg(CpuReg r) const
{
    uint32_t value = 0;
    uc_reg_read(uc_, ucRegister(r), &value);
    return value;
}

void Board::setReg(CpuReg r, uint32_t value)
{
    check(uc_reg_write(uc_, ucRegister(r), &value), "writing a register");
}

std::vector<uint8_t> Board::readMemory(uint32_t address, size_t size) const
{
    std::vector<uint8_t> bytes(size);
    check(uc_mem_read(uc_, address, bytes.data(), size), "reading memory");
    return bytes;
}

std::string Board::locate(uint32_t address) const
{
    std::string text = hex(address);
    const std::string symbol = image_.describe(address);
    if (!symbol.empty()) {
        text += " <" + symbol + ">";
    }
    return text;
}

std::string Board::registerName(uint32_t address, bool write) const
{
    if (const auto device = machine_.deviceAt(address)) {
        return device->first->registerName(device->second, write);
    }
    return hex(address);
}

// Debugger support.

StopReason Board::runForDebugger(uint64_t limit)
{
    debugStop_.reset();
    return runUntil(limit);
}

bool Board::atBreakpoint(uint32_t address)
{
    if (breakpointCount_ == 0) {
        return false;
    }
    const bool hit = address / 2 < marks_.size()
                         ? (marks_[address / 2] & kBreakpoint) != 0
                         : std::find(ramBreakpoints_.begin(), ramBreakpoints_.end(), address) != ramBreakpoints_.end();
    if (hit) {
        debugStop_ = DebugStop{DebugStop::Breakpoint, address};
        stopRequested_ = true;
    }
    return hit;
}

void Board::setBreakpoint(uint32_t address, bool on)
{
    bool was = false;
    if (address / 2 < marks_.size()) {
        uint8_t& mark = marks_[address / 2];
        was = (mark & kBreakpoint) != 0;
        mark = on ? (mark | kBreakpoint) : (mark & ~kBreakpoint);
    } else {
        const auto at = std::find(ramBreakpoints_.begin(), ramBreakpoints_.end(), address);
        was = at != ramBreakpoints_.end();
        if (was && !on) {
            ramBreakpoints_.erase(at);
        } else if (!was && on) {
            ramBreakpoints_.push_back(address);
        }
    }
    if (was != on) {
        breakpointCount_ = on ? breakpointCount_ + 1 : breakpointCount_ - 1;
    }
}

int Board::addWatchpoint(uint32_t address, uint32_t length, bool reads, bool writes)
{
    if (length == 0 || (!reads && !writes)) {
        throw BoardError("a watchpoint needs a length and an access to watch");
    }
    const int types = (reads ? UC_HOOK_MEM_READ : 0) | (writes ? UC_HOOK_MEM_WRITE : 0);
    uc_hook hook = 0;
    const uint64_t last = uint64_t(address) + length - 1;
    check(uc_hook_add(uc_, &hook, types, reinterpret_cast<void*>(watchHook), this, address, last),
          "adding a watchpoint");
    const int id = nextWatchId_++;
    watchHooks_[id] = hook;
    return id;
}

void Board::removeWatchpoint(int id)
{
    const auto found = watchHooks_.find(id);
    if (found != watchHooks_.end()) {
        uc_hook_del(uc_, found->second);
        watchHooks_.erase(found);
    }
}

void Board::onWatchedAccess(bool write, uint32_t address)
{
    // The instruction completes; the run stops before the next one.
    if (!debugStop_) {
        debugStop_ = DebugStop{write ? DebugStop::WriteWatch : DebugStop::ReadWatch, address};
    }
    stopRequested_ = true;
}

namespace {

const MemoryRegion* plainRegion(uint32_t address, size_t size)
{
    const auto& regions = Lpc2294Machine::memory();
    const auto found = std::find_if(regions.begin(), regions.end(), [&](const MemoryRegion& region) {
        return address >= region.base && address - region.base < region.size &&
               size <= region.size - (address - region.base);
    });
    return found == regions.end() ? nullptr : &*found;
}

}  // namespace

bool Board::readPlainMemory(uint32_t address, size_t size, std::vector<uint8_t>& out) const
{
    if (plainRegion(address, size) == nullptr) {
        return false;
    }
    out.resize(size);
    return uc_mem_read(uc_, address, out.data(), size) == UC_ERR_OK;
}

bool Board::writeMemory(uint32_t address, const std::vector<uint8_t>& bytes)
{
    const MemoryRegion* region = plainRegion(address, bytes.size());
    if (region == nullptr) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    if (uc_mem_write(uc_, address, bytes.data(), bytes.size()) != UC_ERR_OK) {
        return false;
    }
    const uint32_t end = address + uint32_t(bytes.size());
    // Code translated from the old bytes would otherwise still run.
    uc_ctl_remove_cache(uc_, address, end);
    if (region->base == kFlashBase) {
        // What the board knows of each flash word (coprocessor marks, timing,
        // countdown loops) follows the new words.
        for (uint32_t word = address & ~3u; word < end && word / 4 < flashWords_.size(); word += 4) {
            uint32_t value = 0;
            uc_mem_read(uc_, word, &value, 4);
            uint8_t& mark = marks_[word / 2];
            mark = isCoprocessorInstruction(value) ? (mark | kCoprocessor) : (mark & ~kCoprocessor);
            flashWords_[word / 4] = value;
            timing_[word / 4] = armTiming(value);
        }
        countdowns_.clear();
        findLoops();
    }
    return true;
}

}  // namespace boardsim
