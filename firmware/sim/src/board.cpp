#include "board.h"

#include <unicorn/unicorn.h>

#include <cstdio>
#include <cstring>

namespace boardsim {
namespace {

// The LPC2294's core is an ARM7TDMI (ARMv4T), which Unicorn does not model.
// The ARM926 (ARMv5TE) runs ARMv4T ARM- and Thumb-state code unchanged: the
// same instruction encodings, register banks, modes and exception model, and
// with alignment checking off (its reset state) the same rotated unaligned
// loads. It only adds instructions (BLX, CLZ, DSP multiplies) that an image
// built for ARMv4T never contains. Later cores (ARMv6 on) differ in unaligned
// access and so could hide or invent faults.
constexpr int kCpuModel = UC_CPU_ARM_926;

constexpr uint32_t kModeMask = 0x1F;
constexpr uint32_t kModeSvc = 0x13;
constexpr uint32_t kIrqMask = 0x80;
constexpr uint32_t kFiqMask = 0x40;
constexpr uint32_t kThumbBit = 0x20;
constexpr uint32_t kResetCpsr = kModeSvc | kIrqMask | kFiqMask;
constexpr uint32_t kSwiVector = 0x08;
// The reserved vector word holds the boot checksum and is never executed, so
// a return there can only be the end of a call() made by the simulator.
constexpr uint32_t kCallReturnAddress = 0x14;
constexpr uint32_t kNoEndAddress = 0xFFFFFFFF;  // odd: never a PC in ARM state
// Erased flash reads as ones; RAM holds no useful value after power-up, so
// it starts with a pattern rather than the zeros that could hide a missing
// initialisation.
constexpr uint8_t kErasedFlash = 0xFF;
constexpr uint8_t kRamPowerUpPattern = 0xA5;
constexpr uint32_t kPeripheralPage = 0x1000;

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

void codeHook(uc_engine* /*uc*/, uint64_t address, uint32_t /*size*/, void* user)
{
    guarded(boardOf(user), [&] { boardOf(user).onInstruction(uint32_t(address)); });
}

void interruptHook(uc_engine* /*uc*/, uint32_t number, void* user)
{
    guarded(boardOf(user), [&] { boardOf(user).onInterrupt(number); });
}

bool badMemoryHook(uc_engine* /*uc*/, uc_mem_type type, uint64_t address, int size, int64_t value, void* user)
{
    return guarded(boardOf(user), [&] { return boardOf(user).onBadMemory(type, address, size, value); });
}

uint64_t mmioRead(uc_engine* /*uc*/, uint64_t offset, unsigned size, void* user)
{
    auto* context = static_cast<std::pair<Board*, uint32_t>*>(user);
    return guarded(*context->first,
                   [&] { return context->first->onPeripheralRead(context->second, uint32_t(offset), size); });
}

void mmioWrite(uc_engine* /*uc*/, uint64_t offset, unsigned size, uint64_t value, void* user)
{
    auto* context = static_cast<std::pair<Board*, uint32_t>*>(user);
    guarded(*context->first, [&] {
        context->first->onPeripheralWrite(context->second, uint32_t(offset), size, uint32_t(value));
    });
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

const char* exceptionName(uint32_t number)
{
    // QEMU's ARM exception numbers, as Unicorn passes them on.
    switch (number) {
    case 1: return "undefined instruction";
    case 2: return "software interrupt";
    case 3: return "prefetch abort";
    case 4: return "data abort";
    case 5: return "IRQ";
    case 6: return "FIQ";
    case 7: return "breakpoint";
    default: return "exception";
    }
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

Board::Board(const ElfImage& image, BoardOptions options) : image_(image), options_(std::move(options))
{
    check(uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_), "starting the ARM engine");
    try {
        check(uc_ctl_set_cpu_model(uc_, kCpuModel), "selecting the ARM926 core");
        check(uc_mem_map(uc_, kFlashBase, kFlashSize, UC_PROT_READ | UC_PROT_EXEC), "mapping flash");
        check(uc_mem_map(uc_, kRamBase, kRamSize, UC_PROT_ALL), "mapping RAM");
        std::vector<uint8_t> fill(kFlashSize, kErasedFlash);
        check(uc_mem_write(uc_, kFlashBase, fill.data(), kFlashSize), "erasing flash");
        fill.assign(kRamSize, kRamPowerUpPattern);
        check(uc_mem_write(uc_, kRamBase, fill.data(), kRamSize), "filling RAM");
        loadImage();
        checkVectorChecksum();

        mapPeripheral(PinSelect::kBase);
        mapPeripheral(Port0::kBase);
        mapPeripheral(Uart0::kBase);

        marks_.assign(kFlashSize / 2, kNone);
        for (const std::string& name : options_.watchedFunctions) {
            if (auto symbol = image_.find(name)) {
                markAddress(symbol->address, kWatched, name);
            }
        }
        // Exceptions the image never expects: Unicorn does not enter these
        // vectors by itself, so reaching one means a jump there.
        markAddress(0x00, kTrap, "the reset vector again (a jump to address 0)");
        markAddress(0x04, kTrap, "the undefined-instruction vector");
        markAddress(0x0C, kTrap, "the prefetch-abort vector");
        markAddress(0x10, kTrap, "the data-abort vector");
        markAddress(0x18, kTrap, "the IRQ vector");
        markAddress(0x1C, kTrap, "the FIQ vector");
        for (const char* hang : {"Undef_Hang", "PAbt_Hang", "DAbt_Hang", "Irq_Hang", "Fiq_Hang"}) {
            if (auto symbol = image_.find(hang)) {
                markAddress(symbol->address, kTrap, hang);
            }
        }

        if (auto frame = image_.find("LcdFrame")) {
            if (frame->size != 0 && frame->size != kLcdFrameBytes) {
                throw BoardError("LcdFrame is " + std::to_string(frame->size) + " bytes, not " +
                                 std::to_string(kLcdFrameBytes));
            }
            lcdFrameAddress_ = frame->address;
        }

        uc_hook hook;
        check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(codeHook), this, 1, 0),
              "hooking instructions");
        check(uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(interruptHook), this, 1, 0),
              "hooking exceptions");
        check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(badMemoryHook), this, 1,
                          0),
              "hooking bad memory accesses");

        // Reset state of the core: Supervisor mode, IRQ and FIQ masked, ARM state.
        setReg(UC_ARM_REG_CPSR, kResetCpsr);
        setReg(UC_ARM_REG_PC, 0);
    } catch (...) {
        uc_close(uc_);
        throw;
    }
}

Board::~Board()
{
    uc_close(uc_);
}

void Board::loadImage()
{
    for (const LoadChunk& chunk : image_.loadChunks()) {
        const uint64_t end = uint64_t(chunk.address) + chunk.bytes.size();
        if (end > uint64_t(kFlashBase) + kFlashSize) {  // flash starts at 0: only the end can be out
            throw BoardError("the image puts " + std::to_string(chunk.bytes.size()) + " bytes at " +
                             hex(chunk.address) + ", outside the 256 KiB flash");
        }
        check(uc_mem_write(uc_, chunk.address, chunk.bytes.data(), chunk.bytes.size()), "loading the image");
    }
}

void Board::checkVectorChecksum() const
{
    // The LPC2000 boot loader starts user code only when the eight vector
    // words add up to zero; a real chip would stay in the boot loader.
    uint32_t sum = 0;
    for (uint32_t address = 0; address < 0x20; address += 4) {
        uint32_t word = 0;
        uc_mem_read(uc_, address, &word, 4);
        sum += word;
    }
    if (sum != 0) {
        throw BoardError("no valid user code: the vector words at 0x00..0x1c sum to " + hex(sum) +
                         ", not 0, so the boot loader would not start the image");
    }
}

void Board::mapPeripheral(uint32_t base)
{
    mmioContexts_.push_back(std::make_unique<std::pair<Board*, uint32_t>>(this, base));
    void* context = mmioContexts_.back().get();
    check(uc_mmio_map(uc_, base, kPeripheralPage, mmioRead, context, mmioWrite, context),
          "mapping a peripheral");
}

void Board::markAddress(uint32_t address, Mark mark, const std::string& name)
{
    if (address >= kFlashSize) {
        return;  // only code in flash is watched
    }
    marks_[address / 2] = mark;
    if (mark == kTrap) {
        trapNames_[address] = name;
    }
}

StopReason Board::runUntil(uint64_t limit)
{
    limit_ = limit;
    stopRequested_ = false;
    while (!fault_ && !stopRequested_ && count_ < limit_) {
        startEngine(reg(UC_ARM_REG_PC));
    }
    if (fault_) {
        return StopReason::Fault;
    }
    return stopRequested_ ? StopReason::Requested : StopReason::Limit;
}

void Board::startEngine(uint32_t pc)
{
    if (reg(UC_ARM_REG_CPSR) & kThumbBit) {
        pc |= 1;
    }
    const uc_err err = uc_emu_start(uc_, pc, kNoEndAddress, 0, 0);
    if (abandoned_) {
        std::exception_ptr error = abandoned_;
        abandoned_ = nullptr;
        std::rethrow_exception(error);
    }
    if (err != UC_ERR_OK && !fault_) {
        if (err == UC_ERR_INSN_INVALID) {
            raiseFault("undefined instruction", lastPc_);
        } else {
            raiseFault(std::string("the core stopped: ") + uc_strerror(err), lastPc_);
        }
    }
}

std::optional<uint64_t> Board::call(uint32_t address, const std::vector<uint32_t>& args,
                                    uint64_t maxInstructions)
{
    if (args.size() > 4) {
        throw BoardError("call() passes at most four arguments in registers");
    }
    static const int kArgRegs[] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
    for (size_t i = 0; i < args.size(); ++i) {
        setReg(kArgRegs[i], args[i]);
    }
    setReg(UC_ARM_REG_LR, kCallReturnAddress);
    uint32_t cpsr = reg(UC_ARM_REG_CPSR);
    cpsr = (address & 1) ? (cpsr | kThumbBit) : (cpsr & ~kThumbBit);
    setReg(UC_ARM_REG_CPSR, cpsr);
    setReg(UC_ARM_REG_PC, address & ~1u);

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

void Board::pressKey(int key, uint64_t at, uint64_t hold)
{
    if (key < 1 || key > Port0::kKeyCount) {
        throw BoardError("there is no KEY_" + std::to_string(key));
    }
    schedule(at, [this, key] {
        port0_.setKey(key, true);
        emit(EventKind::Key, 0, uint32_t(key), 1);
    });
    schedule(at + hold, [this, key] {
        port0_.setKey(key, false);
        emit(EventKind::Key, 0, uint32_t(key), 0);
    });
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
}

// Called before each instruction executes. Stopping here leaves the
// instruction unexecuted and uncounted: the next run starts with it.
void Board::onInstruction(uint32_t address)
{
    if (count_ >= nextDue_) {
        runDueActions();
    }
    if (address == callReturn_) {
        callReturned_ = true;
        stopRequested_ = true;
        finishReturns(address);
        uc_emu_stop(uc_);
        return;
    }
    if (stopRequested_ || fault_ || count_ >= limit_) {
        uc_emu_stop(uc_);
        return;
    }
    ++count_;
    previousPc_ = lastPc_;
    lastPc_ = address;
    if (!pending_.empty() && address == pending_.back().returnAddress) {
        finishReturns(address);
    }
    if (address < kFlashSize && marks_[address / 2] != kNone) {
        if (marks_[address / 2] == kTrap) {
            if (address != 0 || count_ > 1) {  // the reset itself starts at 0
                raiseFault("execution reached " + trapNames_[address] + " from " + locate(previousPc_), address);
            }
        } else {
            PendingReturn entry{address, reg(UC_ARM_REG_LR) & ~1u, reg(UC_ARM_REG_SP)};
            pending_.push_back(entry);
            // Stamped with the instructions done before its first one.
            emit(EventKind::Call, address, address, reg(UC_ARM_REG_R0), count_ - 1);
        }
    }
    const uint32_t index = address - profileBegin_;
    if (index < profileCounts_.size()) {
        ++profileCounts_[index];
    }
}

void Board::finishReturns(uint32_t address)
{
    // A tail call leaves two functions returning to the same place.
    const uint32_t sp = reg(UC_ARM_REG_SP);
    while (!pending_.empty() && pending_.back().returnAddress == address && pending_.back().stackPointer == sp) {
        const uint32_t function = pending_.back().function;
        pending_.pop_back();
        // Stamped with the instructions done before the return address runs.
        emit(EventKind::Return, lastPc_, function, reg(UC_ARM_REG_R0), count_ - (address == callReturn_ ? 0 : 1));
    }
}

void Board::abandonRun(std::exception_ptr error)
{
    if (!abandoned_) {
        abandoned_ = std::move(error);
    }
    stopRequested_ = true;
    uc_emu_stop(uc_);
}

void Board::onInterrupt(uint32_t number)
{
    if (number != 2) {
        raiseFault(std::string(exceptionName(number)) + " exception", lastPc_);
        uc_emu_stop(uc_);
        return;
    }
    // Unicorn hands the swi to us with PC already past it; do what the core
    // would: bank into Supervisor mode with IRQ masked and enter the vector.
    const uint32_t cpsr = reg(UC_ARM_REG_CPSR);
    const uint32_t returnAddress = reg(UC_ARM_REG_PC);
    emit(EventKind::Swi, lastPc_, 0, reg(UC_ARM_REG_R0));
    setReg(UC_ARM_REG_CPSR, (cpsr & ~(kModeMask | kThumbBit)) | kModeSvc | kIrqMask);
    setReg(UC_ARM_REG_SPSR, cpsr);
    setReg(UC_ARM_REG_LR, returnAddress);
    setReg(UC_ARM_REG_PC, kSwiVector);
}

bool Board::onBadMemory(int type, uint64_t address, int size, int64_t value)
{
    const auto where = hex(uint32_t(address));
    switch (type) {
    case UC_MEM_READ_UNMAPPED:
        raiseFault(std::to_string(size * 8) + "-bit read of unmapped address " + where, lastPc_);
        break;
    case UC_MEM_WRITE_UNMAPPED:
        raiseFault(std::to_string(size * 8) + "-bit write of " + hex(uint32_t(value)) + " to unmapped address " +
                       where,
                   lastPc_);
        break;
    case UC_MEM_FETCH_UNMAPPED:
        raiseFault("instruction fetch from unmapped address " + where + " (jumped there from the instruction below)",
                   lastPc_);
        break;
    case UC_MEM_WRITE_PROT:
        raiseFault("write of " + hex(uint32_t(value)) + " to flash at " + where, lastPc_);
        break;
    default:
        raiseFault("bad memory access at " + where, lastPc_);
        break;
    }
    return false;  // the core stops with an error
}

uint64_t Board::onPeripheralRead(uint32_t base, uint32_t offset, unsigned size)
{
    BusResult result;
    switch (base) {
    case PinSelect::kBase: result = pinSelect_.read(offset, size); break;
    case Port0::kBase: result = port0_.read(offset, size); break;
    default: result = uart0_.read(offset, size); break;
    }
    if (!result.ok) {
        raiseFault(std::to_string(size * 8) + "-bit read of peripheral register " + hex(base + offset) + ": " +
                       result.problem,
                   lastPc_);
        return 0;
    }
    if (options_.traceIo) {
        emit(EventKind::IoRead, lastPc_, base + offset, result.value);
    }
    return result.value;
}

void Board::onPeripheralWrite(uint32_t base, uint32_t offset, unsigned size, uint32_t value)
{
    BusResult result;
    std::optional<uint8_t> sent;
    switch (base) {
    case PinSelect::kBase: result = pinSelect_.write(offset, size, value); break;
    case Port0::kBase: result = port0_.write(offset, size, value); break;
    default: result = uart0_.write(offset, size, value, sent); break;
    }
    if (!result.ok) {
        raiseFault(std::to_string(size * 8) + "-bit write of " + hex(value) + " to peripheral register " +
                       hex(base + offset) + ": " + result.problem,
                   lastPc_);
        return;
    }
    if (options_.traceIo) {
        emit(EventKind::IoWrite, lastPc_, base + offset, value);
    }
    if (base == Port0::kBase) {
        noteLed();
    }
    if (sent) {
        if (!pinSelect_.txd0Selected()) {
            // The transmitter runs but P0.0 is not connected to it: the byte
            // never leaves the chip.
            raiseFault("byte " + hex(*sent) + " written to U0THR while P0.0 is not TxD0 (PINSEL0 = " +
                           hex(pinSelect_.pinsel0()) + ")",
                       lastPc_);
            return;
        }
        emit(EventKind::UartByte, lastPc_, base + offset, *sent);
    }
}

void Board::noteLed()
{
    const LedState now = port0_.led();
    if (now != led_) {
        led_ = now;
        emit(EventKind::Led, lastPc_, now.driven ? 1 : 0, now.high ? 1 : 0);
    }
}

void Board::emit(EventKind kind, uint32_t pc, uint32_t address, uint32_t value, std::optional<uint64_t> stamp)
{
    events_.push_back({stamp.value_or(count_), kind, pc, address, value});
    if (observer_) {
        observer_(events_.back());
    }
}

void Board::raiseFault(std::string what, uint32_t pc, bool pcIsInstruction)
{
    if (fault_) {
        return;  // the first fault is the one that matters
    }
    Fault record;
    record.stamp = count_;
    record.pc = pc;
    record.what = std::move(what);
    record.location = locate(pc);
    if (pcIsInstruction) {
        const bool thumb = (reg(UC_ARM_REG_CPSR) & kThumbBit) != 0;
        uint32_t word = 0;
        if (uc_mem_read(uc_, pc, &word, thumb ? 2 : 4) == UC_ERR_OK) {
            record.instructionKnown = true;
            record.instruction = word;
        }
    }
    fault_ = std::move(record);
    stopRequested_ = true;
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

uint32_t Board::reg(int ucRegister) const
{
    uint32_t value = 0;
    uc_reg_read(uc_, ucRegister, &value);
    return value;
}

void Board::setReg(int ucRegister, uint32_t value)
{
    check(uc_reg_write(uc_, ucRegister, &value), "writing a register");
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

}  // namespace boardsim
