#include "core/engine.h"

#include <algorithm>
#include <cmath>

#include "image/flash_image.h"
#include "util/text.h"

namespace boardsim {
namespace {

constexpr uint32_t kResetCpsr = kModeSvc | kIrqMask | kFiqMask;
// The reserved vector word holds the boot checksum and is never executed, so
// a return there can only be the end of a call() made by the simulator.
constexpr uint32_t kCallReturnAddress = 0x14;
constexpr uint32_t kNoReturn = 0xFFFFFFFF;  // odd: never a PC in ARM state
// QEMU's ARM exception numbers, as Unicorn passes them on.
constexpr uint32_t kQemuUndefined = 1;
constexpr uint32_t kQemuSwi = 2;
constexpr uint32_t kQemuBkpt = 7;
// Cycles of the entry of an exception the core does not charge itself
// (2S + 1N).
constexpr uint64_t kExceptionEntryCycles = 3;

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

// A device's window on the bus: which engine it reports to and where it sits.
struct Engine::DeviceContext {
    Engine* engine;
    BusTarget* target;
    uint32_t base;

    Engine& client() const { return *engine; }
    uint32_t read(uint32_t offset, unsigned size) const { return engine->onDeviceRead(*target, base, offset, size); }
    void write(uint32_t offset, unsigned size, uint32_t value) const
    {
        engine->onDeviceWrite(*target, base, offset, size, value);
    }
};

Engine::Engine(const ElfImage& image, MachineModel& machine, EngineOptions options)
    : image_(image), machine_(machine), options_(std::move(options)), cycleModel_(options_.cycleModel)
{
    machine_.attach(*this);
    machine_.reset();
    clock_.setRate(machine_.cclkHz());
    loadMemory();
    applyClocks();
    mapDevices();
    markCode();
    findLoops();
    cpu_.hookInstructions(*this);
    cpu_.hookExceptions(*this);
    cpu_.hookBadMemory(*this);
    // Reset state of the core: Supervisor mode, IRQ and FIQ masked, ARM
    // state; or as the boot loader's G command leaves it.
    setReg(CpuReg::CPSR, kResetCpsr | (options_.startThumb ? kThumbBit : 0));
    setReg(CpuReg::PC, options_.startAddress.value_or(0));
}

Engine::~Engine() = default;

void Engine::loadMemory()
{
    for (const MemoryRegion& region : machine_.memory()) {
        cpu_.mapMemory(region.base, region.size, region.writable);
        std::vector<uint8_t> contents(region.size, region.powerUpFill);
        if (region.holdsImage) {
            contents = options_.flash ? *options_.flash : flashContents(image_, region.size, region.powerUpFill);
            contents.resize(region.size, region.powerUpFill);
            if (!options_.startAddress) {
                requireValidUserCode(contents);
            }
            marks_.load(contents);
            cycleModel_.loadFlash(contents);
        }
        cpu_.write(region.base, contents.data(), contents.size());
    }
}

void Engine::mapDevices()
{
    for (const DeviceMapping& d : machine_.devices()) {
        devices_.push_back(std::make_unique<DeviceContext>(DeviceContext{this, d.target, d.base}));
        cpu_.mapDevice(d.base, d.target->size(), *devices_.back());
    }
}

void Engine::markCode()
{
    for (const uint32_t function : options_.watched) {
        marks_.mark(function, CodeMarks::kWatched);
    }
    marks_.mark(0x00, CodeMarks::kTrap, "the reset vector again (a jump to address 0)");
    for (const auto& [address, name] : options_.traps) {
        marks_.mark(address, CodeMarks::kTrap, name);
    }
}

// Wait loops are found also when no turn may be skipped: one that repeats
// with no way out is a hang either way.
void Engine::findLoops()
{
    if (options_.fastLoops) {
        countdowns_.find(cycleModel_.words(), cycleModel_.timings(), marks_);
    }
    waitLoops_.find(cycleModel_.words(), cycleModel_.timings(), marks_,
                    [this](uint32_t start) { return countdowns_.at(start) >= 0; });
    std::vector<uint32_t> starts = countdowns_.starts();
    const std::vector<uint32_t> waits = waitLoops_.starts();
    starts.insert(starts.end(), waits.begin(), waits.end());
    marks_.markLoopStarts(starts);
}

StopReason Engine::runUntil(uint64_t limit)
{
    limit_ = limit;
    stopRequested_ = false;
    while (!fault_ && !stopAsked() && count_ < limit_) {
        if (takeChipReset()) {
            continue;
        }
        if (sleep_ != Sleep::Awake) {
            passSleep();
        } else {
            startEngine();
        }
    }
    if (fault_) {
        return StopReason::Fault;
    }
    return stopAsked() ? StopReason::Requested : StopReason::Limit;
}

StopReason Engine::runUntil(const When& end)
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

void Engine::startEngine()
{
    const Cpu::RunEnd end = cpu_.run(reg(CpuReg::PC), (reg(CpuReg::CPSR) & kThumbBit) != 0);
    if (abandoned_) {
        std::exception_ptr error = abandoned_;
        abandoned_ = nullptr;
        std::rethrow_exception(error);
    }
    if (takeChipReset()) {
        return;
    }
    if (pendingNever_) {
        const uint32_t address = *pendingNever_;
        pendingNever_.reset();
        stepOverNever(address);
        return;
    }
    if (pendingException_) {
        const PendingException pending = *pendingException_;
        pendingException_.reset();
        enterException(pending);
        return;
    }
    if (end.invalidInstruction && !fault_) {
        // Unicorn reports some undefined encodings this way instead of
        // through the exception hook; the chip takes them alike.
        enterException({ArmException::Undefined, lastPc_, "undefined instruction", lastPc_});
        return;
    }
    if (!end.ok && !fault_) {
        raiseFault("the core stopped: " + end.error, lastPc_);
    }
}

std::optional<uint64_t> Engine::call(uint32_t address, const std::vector<uint32_t>& args, uint64_t maxInstructions)
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
    callReturn_ = kNoReturn;
    if (!callReturned_ || fault_) {
        return std::nullopt;
    }
    return count_ - start;
}

void Engine::passSleep()
{
    if (sleep_ == Sleep::Idle && (nIrq_ || nFiq_)) {
        sleep_ = Sleep::Awake;  // an enabled interrupt ends idle mode
        machine_.idleEnded();
        return;
    }
    const uint64_t next = scheduler_.nextCycle();
    if (next == UINT64_MAX) {
        raiseFault(std::string(sleep_ == Sleep::Idle ? "the core is idle (PCON.IDL)" : "the chip is powered down (PCON.PD)") +
                       " and nothing that could wake it is due: it would sleep for ever",
                   lastPc_);
        return;
    }
    if (next > clock_.cycles()) {
        accountMode();  // what ran before the sleep
        (sleep_ == Sleep::Idle ? idleCycles_ : powerDownCycles_) += next - clock_.cycles();
        clock_.advance(next - clock_.cycles());
        accountedAt_ = clock_.cycles();
    }
    scheduler_.runDue(count_);
}

void Engine::accountMode()
{
    modeCycles_[accountedMode_ & kModeMask] += clock_.cycles() - accountedAt_;
    accountedAt_ = clock_.cycles();
}

ModeCycles Engine::modeCycles() const
{
    ModeCycles result;
    result.byMode = modeCycles_;
    result.byMode[accountedMode_ & kModeMask] += clock_.cycles() - accountedAt_;
    result.idle = idleCycles_;
    result.poweredDown = powerDownCycles_;
    return result;
}

void Engine::clocksChanged()
{
    applyClocks();
}

void Engine::applyClocks()
{
    clock_.setRate(machine_.cclkHz());
    cycleModel_.configure(machine_.memoryTiming());
    machine_.clocksApplied();
    scheduler_.replan();
}

void Engine::setCoreInterrupt(ArmException kind, bool asserted)
{
    if (kind == ArmException::Fiq) {
        nFiq_ = asserted;
    } else if (kind == ArmException::Irq) {
        nIrq_ = asserted;
    } else {
        throw BoardError("only IRQ and FIQ are core inputs");
    }
}

void Engine::profile(uint32_t begin, uint32_t end)
{
    profileBegin_ = begin;
    profileCounts_.assign(end > begin ? end - begin : 0, 0);
}

void Engine::clearProfile()
{
    std::fill(profileCounts_.begin(), profileCounts_.end(), 0);
}

uint64_t Engine::executions(uint32_t address) const
{
    const uint32_t index = address - profileBegin_;
    return index < profileCounts_.size() ? profileCounts_[index] : 0;
}

// Called before each instruction executes. Stopping here leaves the
// instruction unexecuted and uncounted: the next run starts with it.
void Engine::onInstruction(uint32_t address, uint32_t size)
{
    cycleModel_.settle(address, clock_);
    if (sleep_ != Sleep::Awake) {
        cpu_.stop();  // the instruction that wrote PCON has run; the core stops
        return;
    }
    // One look at what this address asks for: most code asks for nothing.
    const uint8_t mark = marks_.at(address);
    if ((mark & CodeMarks::kLoopStart) != 0 && !stopAsked() && !fault_) {
        visitLoop(address);
    }
    if (scheduler_.due(count_)) {
        scheduler_.runDue(count_);
    }
    if (address == callReturn_) {
        callReturned_ = true;
        stopRequested_ = true;
        finishReturns(address, count_);
        cpu_.stop();
        return;
    }
    const bool mayBreak = (mark & CodeMarks::kBreakpoint) != 0 || (marks_.ramBreakpoints() && !marks_.inFlash(address));
    if (stopAsked() || fault_ || count_ >= limit_ || chipResetDue_ || (mayBreak && atBreakpoint(address))) {
        cpu_.stop();
        return;
    }
    if ((nIrq_ || nFiq_) && takeInterrupt(address)) {
        return;
    }
    ++count_;
    previousPc_ = lastPc_;
    lastPc_ = address;
    if (options_.accountModes) {
        accountMode();
        accountedMode_ = reg(CpuReg::CPSR) & kModeMask;
    }
    cycleModel_.charge(address, size, cpu_);
    if (calls_.returnDue(address)) {
        finishReturns(address, count_ - 1);
    }
    if (mark != 0 || !marks_.inFlash(address)) {
        inspect(address, mark);
    }
    if (!profileCounts_.empty()) {
        const uint32_t index = address - profileBegin_;
        if (index < profileCounts_.size()) {
            ++profileCounts_[index];
        }
    }
}

void Engine::visitLoop(uint32_t address)
{
    // A debugger's breakpoint in the loop, or a profile, must see every turn.
    const bool allowed = profileCounts_.empty() && marks_.breakpoints() == 0;
    const SkipBounds bounds{std::min(limit_, scheduler_.nextCount()), scheduler_.nextCycle()};
    if (const int countdown = countdowns_.at(address); countdown >= 0) {
        countdowns_.visit(countdown, count_, clock_, cycleModel_.fetch(), bounds, allowed, cpu_);
    } else if (const int wait = waitLoops_.at(address); wait >= 0 && !interruptComing()) {
        const WaitLoops::Accesses accesses{busAccesses_, unsteadyAccesses_,
                                           std::isinf(steadyUntil_) ? UINT64_MAX : clock_.cycleOf(steadyUntil_),
                                           scheduler_.actionsRun()};
        steadyUntil_ = std::numeric_limits<double>::infinity();  // for the reads of the next turn
        const WaitLoops::Turn turn = waitLoops_.visit(wait, count_, clock_, cycleModel_.fetch(), bounds,
                                                      allowed && options_.fastLoops && watchHooks_.empty(),
                                                      accesses, machine_.fiqPossible(), cpu_);
        if (turn == WaitLoops::Turn::Endless) {
            const WaitLoop& loop = waitLoops_.loopAt(wait);
            hangs(loop.start, "loops from " + locate(loop.start) + " to " + locate(loop.end) +
                                  " reading nothing that can change");
        }
    }
}

bool Engine::interruptComing() const
{
    if (!nIrq_ && !nFiq_) {
        return false;
    }
    const uint32_t cpsr = reg(CpuReg::CPSR);
    return (nIrq_ && (cpsr & kIrqMask) == 0) || (nFiq_ && (cpsr & kFiqMask) == 0);
}

// What the marks of this address ask for: a coprocessor trap, a hang, a
// watched call.
void Engine::inspect(uint32_t address, uint8_t mark)
{
    if (!marks_.inFlash(address)) {
        // Code in RAM: rare (a boot loader's download), so read the word.
        uint32_t word = 0;
        if (!cpu_.read(address, &word, 4)) {
            return;
        }
        if (isCoprocessorInstruction(word)) {
            trapCoprocessor(address);
        } else if (isNeverExecuted(word)) {
            neverExecuted(address);
        }
        if (isArmSelfBranch(word) || isThumbSelfBranch(uint16_t(word))) {
            checkSelfBranch(address, isArmSelfBranch(word), isThumbSelfBranch(uint16_t(word)));
        }
        return;
    }
    if ((mark & CodeMarks::kCoprocessor) != 0) {
        trapCoprocessor(address);
    }
    if ((mark & CodeMarks::kNever) != 0) {
        neverExecuted(address);
    }
    if ((mark & CodeMarks::kTrap) != 0) {
        reachedTrap(address);  // a hang the image names says more than the loop alone
    }
    if ((mark & (CodeMarks::kArmSelfBranch | CodeMarks::kThumbSelfBranch)) != 0) {
        checkSelfBranch(address, (mark & CodeMarks::kArmSelfBranch) != 0, (mark & CodeMarks::kThumbSelfBranch) != 0);
    }
    if ((mark & CodeMarks::kWatched) != 0) {
        noteCall(address);
    }
}

// A branch to itself that nothing can leave: the run is over, and says what
// led there. With interrupts open it is an idle loop waiting for them.
void Engine::checkSelfBranch(uint32_t address, bool armReading, bool thumbReading)
{
    const uint32_t cpsr = reg(CpuReg::CPSR);
    const bool thumb = (cpsr & kThumbBit) != 0;
    if ((thumb ? !thumbReading : !armReading) || !interruptsCannotLeave(cpsr)) {
        return;
    }
    uint32_t word = 0;
    cpu_.read(address & ~1u, &word, thumb ? 2 : 4);
    const uint32_t condition = thumb ? thumbBranchCondition(uint16_t(word)) << 28 : word;
    if (!conditionPasses(condition, cpsr)) {
        return;  // it falls through
    }
    hangs(address, "branches to itself at " + locate(address));
}

// The code at `address` can never leave what it does (`how`), with
// interrupts masked: the last exception's handler gave up, or the run hangs.
void Engine::hangs(uint32_t address, const std::string& how)
{
    const uint32_t cpsr = reg(CpuReg::CPSR);
    if (handlerGaveUp(cpsr, how + " and can never leave")) {
        return;
    }
    const uint32_t mode = cpsr & kModeMask;
    const std::string context = mode == kModeIrq   ? "the IRQ handler"
                                : mode == kModeFiq ? "the FIQ handler"
                                : mode == kModeSvc ? "Supervisor mode (reset or a SWI handler)"
                                                   : std::string(modeName(cpsr)) + " mode";
    raiseFault(context + " " + how + " with interrupts masked (CPSR " + hex(cpsr) + "): it can never leave", address);
}

bool Engine::takeInterrupt(uint32_t address)
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
    cpu_.stop();
    return true;
}

void Engine::trapCoprocessor(uint32_t address)
{
    if ((reg(CpuReg::CPSR) & kThumbBit) != 0) {
        return;  // the marks are of ARM words; Thumb has no coprocessor instructions
    }
    pendingException_ = PendingException{ArmException::Undefined, address,
                                         "coprocessor instruction (the ARM7TDMI has no coprocessor)", address};
    cpu_.stop();
}

void Engine::enterException(const PendingException& pending)
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
        clock_.advance(kExceptionEntryCycles);  // an SWI or undefined instruction counts it as its own
    }
    if (pending.kind != ArmException::SoftwareInterrupt) {
        record(EventKind::Exception, pending.address, entry.vector, uint32_t(pending.kind), count_);
    }
}

void Engine::noteCall(uint32_t address)
{
    calls_.entered(address, reg(CpuReg::LR) & ~1u, reg(CpuReg::SP));
    // Stamped with the instructions done before its first one.
    record(EventKind::Call, address, address, reg(CpuReg::R0), count_ - 1);
}

// `stamp`: the instructions done before the return address runs.
void Engine::finishReturns(uint32_t address, uint64_t stamp)
{
    for (uint32_t function : calls_.returned(address, reg(CpuReg::SP))) {
        record(EventKind::Return, lastPc_, function, reg(CpuReg::R0), stamp);
    }
}

void Engine::reachedTrap(uint32_t address)
{
    if (address == 0 && count_ == resetAt_ + 1) {
        return;  // the reset itself starts at 0
    }
    const std::string& trap = marks_.trapName(address);
    if (handlerGaveUp(reg(CpuReg::CPSR), "hangs at " + trap)) {
        return;
    }
    raiseFault("execution reached " + trap + " from " + locate(previousPc_), address);
}

// In the mode of the last undefined instruction or abort, its handler has
// given up (`how`): the fault names what it was handling, where it happened.
bool Engine::handlerGaveUp(uint32_t cpsr, const std::string& how)
{
    if (!lastException_ || (cpsr & kModeMask) != exceptionEntry(lastException_->kind).mode) {
        return false;
    }
    const std::string name = exceptionEntry(lastException_->kind).name;
    const std::string& what = lastException_->what;
    raiseFault((what.rfind(name, 0) == 0 ? what : name + ": " + what) + "; its handler " + how,
               lastException_->blame, lastExceptionStamp_, faultKindOf(lastException_->kind));
    return true;
}

void Engine::onException(uint32_t number)
{
    // The core has not entered the exception: the engine does, as the
    // ARM7TDMI would.
    const bool thumb = (reg(CpuReg::CPSR) & kThumbBit) != 0;
    switch (number) {
    case kQemuSwi: {  // PC is already past it
        const uint32_t address = reg(CpuReg::PC) - (thumb ? 2 : 4);
        record(EventKind::Swi, address, 0, reg(CpuReg::R0), count_);
        enterException({ArmException::SoftwareInterrupt, address, "", address});
        break;
    }
    case kQemuUndefined:
    case kQemuBkpt:  // BKPT, which ARMv4T does not have
        enterException({ArmException::Undefined, lastPc_, "undefined instruction", lastPc_});
        break;
    default:
        raiseFault("exception " + std::to_string(number) + " from the core", lastPc_);
        cpu_.stop();
        break;
    }
}

void Engine::onBadMemory(BadAccess kind, uint32_t address, int size, uint32_t value)
{
    // The chip aborts an access no memory or peripheral answers; the core
    // enters the abort once Unicorn has stopped.
    const auto where = hex(address);
    const std::string bits = std::to_string(size * 8) + "-bit ";
    switch (kind) {
    case BadAccess::ReadUnmapped:
        pendingException_ = {ArmException::DataAbort, lastPc_, bits + "read of unmapped address " + where, lastPc_};
        break;
    case BadAccess::WriteUnmapped:
        pendingException_ = {ArmException::DataAbort, lastPc_,
                             bits + "write of " + hex(value) + " to unmapped address " + where, lastPc_};
        break;
    case BadAccess::WriteProtected:
        pendingException_ = {ArmException::DataAbort, lastPc_, "write of " + hex(value) + " to flash at " + where,
                             lastPc_};
        break;
    case BadAccess::FetchUnmapped:
        // Nothing to name at the target: blame the jump that got there.
        pendingException_ = {ArmException::PrefetchAbort, address, fetchAbortText(address),
                             neverRun_ && address == neverRun_->last + 4 ? neverRun_->from : lastPc_};
        break;
    case BadAccess::Other:
        raiseFault("bad memory access at " + where, lastPc_, std::nullopt, FaultKind::BadAccess);
        break;
    }
}

uint32_t Engine::onDeviceRead(BusTarget& device, uint32_t base, uint32_t offset, unsigned size)
{
    ++busAccesses_;
    const double steady = options_.traceIo ? 0 : device.steadyUntil(offset);  // a trace shows every read
    if (steady <= seconds()) {
        ++unsteadyAccesses_;
    } else {
        steadyUntil_ = std::min(steadyUntil_, steady);
    }
    clock_.advance(cycleModel_.busWait());
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

void Engine::onDeviceWrite(BusTarget& device, uint32_t base, uint32_t offset, unsigned size, uint32_t value)
{
    ++busAccesses_;
    ++unsteadyAccesses_;
    clock_.advance(cycleModel_.busWait());
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

void Engine::emit(EventKind kind, uint32_t address, uint32_t value)
{
    record(kind, lastPc_, address, value, count_);
}

void Engine::emitAt(double time, EventKind kind, uint32_t address, uint32_t value)
{
    record(kind, lastPc_, address, value, count_, time);
}

void Engine::record(EventKind kind, uint32_t pc, uint32_t address, uint32_t value, uint64_t stamp,
                    std::optional<double> time)
{
    bus_.publish({stamp, time.value_or(seconds()), kind, pc, address, value});
}

void Engine::raiseFault(std::string what, uint32_t pc, std::optional<uint64_t> stamp, FaultKind kind)
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
    if (cpu_.read(pc, &word, thumb ? 2 : 4)) {
        found.instructionKnown = true;
        found.instruction = word;
    }
    fault_ = std::move(found);
    stopRequested_ = true;
}

void Engine::boardFault(std::string what)
{
    const bool first = !fault_;  // the first fault is the one that matters
    raiseFault(std::move(what), lastPc_);
    if (first) {
        fault_->blamesInstruction = false;
    }
}

void Engine::warn(std::string what)
{
    if (options_.strict) {
        raiseFault(std::move(what), lastPc_);
        return;
    }
    if (options_.onWarning) {
        options_.onWarning(what);
    }
    warnings_.push_back(std::move(what));
}

void Engine::resetChip(std::string why)
{
    if (!chipResetDue_) {
        chipResetDue_ = std::move(why);
    }
    cpu_.stop();
}

// The chip's reset from inside: the core as at power-on (Supervisor mode,
// IRQ and FIQ masked, ARM state, at the reset vector), the peripherals and
// clocks at their reset values; RAM and flash keep what they hold. What the
// core was doing (an exception on its way, a sleep, calls under way) is
// gone.
bool Engine::takeChipReset()
{
    if (!chipResetDue_) {
        return false;
    }
    lastChipReset_ = std::move(*chipResetDue_);
    chipResetDue_.reset();
    machine_.resetChip();
    applyClocks();
    sleep_ = Sleep::Awake;
    pendingException_.reset();
    lastException_.reset();
    pendingNever_.reset();
    neverRun_.reset();
    calls_ = CallTracker();
    setReg(CpuReg::CPSR, kResetCpsr);
    setReg(CpuReg::PC, 0);
    resetAt_ = count_;
    record(EventKind::ChipReset, lastPc_, 0, 0, count_);
    return true;
}

void Engine::abandonRun(std::exception_ptr error)
{
    if (!abandoned_) {
        abandoned_ = std::move(error);
    }
    stopRequested_ = true;
    cpu_.stop();
}

std::vector<uint8_t> Engine::readMemory(uint32_t address, size_t size) const
{
    std::vector<uint8_t> bytes(size);
    if (!cpu_.read(address, bytes.data(), size)) {
        throw BoardError("reading memory: " + std::to_string(size) + " bytes at " + hex(address) + " are not mapped");
    }
    return bytes;
}

std::string Engine::locate(uint32_t address) const
{
    std::string text = hex(address);
    const std::string symbol = image_.describe(address);
    if (!symbol.empty()) {
        text += " <" + symbol + ">";
    }
    return text;
}

std::string Engine::registerName(uint32_t address, bool write) const
{
    const auto device = std::find_if(devices_.begin(), devices_.end(), [address](const auto& d) {
        return address >= d->base && address - d->base < d->target->size();
    });
    return device == devices_.end() ? hex(address)
                                    : (*device)->target->registerName(address - (*device)->base, write);
}

}  // namespace boardsim
