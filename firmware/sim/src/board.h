// The LPC2294 board around a Unicorn ARM core: flash and RAM, the modelled
// peripherals, instruction counting, key presses at given moments, watched
// function calls, and faults that stop the run.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "elf_image.h"
#include "events.h"
#include "pin_select.h"
#include "port0.h"
#include "uart0.h"

struct uc_struct;

namespace boardsim {

struct BoardError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr uint32_t kFlashBase = 0x00000000;
constexpr uint32_t kFlashSize = 256 * 1024;
constexpr uint32_t kRamBase = 0x40000000;
constexpr uint32_t kRamSize = 16 * 1024;
constexpr unsigned kLcdWidth = 84;
constexpr unsigned kLcdHeight = 48;
constexpr unsigned kLcdFrameBytes = kLcdWidth * kLcdHeight / 8;

// Functions the board reports calls of, when the image has them.
std::vector<std::string> defaultWatchedFunctions();

struct BoardOptions {
    bool traceIo = false;  // report every peripheral register access
    std::vector<std::string> watchedFunctions = defaultWatchedFunctions();
};

enum class StopReason { Limit, Fault, Requested };

class Board {
public:
    explicit Board(const ElfImage& image, BoardOptions options = {});
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Runs until `limit` instructions have executed since reset, a fault, or
    // a stop requested by an observer or scheduled action.
    StopReason runUntil(uint64_t limit);

    // Calls the function at `address` in the current mode and stack with
    // r0.. = args; returns the instructions it took, or nothing when it did
    // not return within `maxInstructions` (or faulted).
    std::optional<uint64_t> call(uint32_t address, const std::vector<uint32_t>& args,
                                 uint64_t maxInstructions);

    // `action` runs once `at` instructions have executed, before the next one.
    void schedule(uint64_t at, std::function<void()> action);
    // KEY_k goes down at `at` and up again `hold` instructions later.
    void pressKey(int key, uint64_t at, uint64_t hold);
    // Sees every event as it happens; may call requestStop().
    void setObserver(std::function<void(const Event&)> observer) { observer_ = std::move(observer); }
    // The run stops before the next instruction.
    void requestStop() { stopRequested_ = true; }

    // Counts executions of each instruction address in [begin, end).
    void profile(uint32_t begin, uint32_t end);
    void clearProfile();
    uint64_t executions(uint32_t address) const;

    uint64_t instructions() const { return count_; }
    const std::vector<Event>& events() const { return events_; }
    const std::optional<Fault>& fault() const { return fault_; }
    std::string uartOutput() const;
    bool hasLcd() const { return lcdFrameAddress_.has_value(); }
    std::vector<uint8_t> lcdFrame() const;

    uint32_t reg(int ucRegister) const;
    void setReg(int ucRegister, uint32_t value);
    std::vector<uint8_t> readMemory(uint32_t address, size_t size) const;

    const ElfImage& image() const { return image_; }
    const Port0& port0() const { return port0_; }
    const Uart0& uart0() const { return uart0_; }
    const PinSelect& pinSelect() const { return pinSelect_; }
    std::string locate(uint32_t address) const;  // "0x0000004c <DelayMs+0xc>"

    // Ends the run from inside a callback; runUntil() rethrows `error` once
    // the core has stopped.
    void abandonRun(std::exception_ptr error);

    // Unicorn callbacks (C linkage trampolines live in board.cpp).
    void onInstruction(uint32_t address);
    void onInterrupt(uint32_t number);
    bool onBadMemory(int type, uint64_t address, int size, int64_t value);
    uint64_t onPeripheralRead(uint32_t base, uint32_t offset, unsigned size);
    void onPeripheralWrite(uint32_t base, uint32_t offset, unsigned size, uint32_t value);

private:
    struct PendingReturn {
        uint32_t function;
        uint32_t returnAddress;
        uint32_t stackPointer;
    };
    enum Mark : uint8_t { kNone = 0, kWatched = 1, kTrap = 2 };

    void loadImage();
    void checkVectorChecksum() const;
    void mapPeripheral(uint32_t base);
    void markAddress(uint32_t address, Mark mark, const std::string& name);
    void runDueActions();
    void finishReturns(uint32_t address);
    void emit(EventKind kind, uint32_t pc, uint32_t address, uint32_t value,
              std::optional<uint64_t> stamp = std::nullopt);
    void raiseFault(std::string what, uint32_t pc, bool pcIsInstruction = true);
    void noteLed();
    void startEngine(uint32_t pc);

    const ElfImage& image_;
    BoardOptions options_;
    uc_struct* uc_ = nullptr;
    std::vector<std::unique_ptr<std::pair<Board*, uint32_t>>> mmioContexts_;

    Port0 port0_;
    Uart0 uart0_;
    PinSelect pinSelect_;
    LedState led_;

    uint64_t count_ = 0;
    uint64_t limit_ = 0;
    uint32_t lastPc_ = 0;
    uint32_t previousPc_ = 0;
    bool stopRequested_ = false;
    uint32_t callReturn_ = 0xFFFFFFFF;
    bool callReturned_ = false;

    std::vector<uint8_t> marks_;  // one per halfword of flash
    std::map<uint32_t, std::string> trapNames_;
    std::vector<PendingReturn> pending_;

    std::multimap<uint64_t, std::function<void()>> due_;
    uint64_t nextDue_ = UINT64_MAX;

    uint32_t profileBegin_ = 0;
    std::vector<uint64_t> profileCounts_;

    std::vector<Event> events_;
    std::function<void(const Event&)> observer_;
    std::optional<Fault> fault_;
    std::exception_ptr abandoned_;
    std::optional<uint32_t> lcdFrameAddress_;
};

}  // namespace boardsim
