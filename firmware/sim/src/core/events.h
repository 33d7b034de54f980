// What the board reports while it runs. Every event carries its stamp: the
// number of instructions executed since reset when it happened, and the
// simulated time.
#pragma once

#include <cstdint>
#include <string>

namespace boardsim {

enum class EventKind {
    UartByte,  // address = the UART (0: UART0, 1: UART1), value = the byte it sent on its TxD
    Led,       // value = 1 when P0.31 is high, address = 1 when it is an output
    Key,       // address = key 1..4, value = 1 pressed, 0 released
    Call,      // address = function entered, value = r0
    Return,    // address = function left, value = r0
    Swi,       // value = r0 (the operation code)
    Exception, // address = vector, value = the ArmException entered (not SWI), pc = the instruction concerned
    IoRead,    // address = register, value = value read (only with I/O tracing)
    IoWrite,   // address = register, value = value written (only with I/O tracing)
    ChipReset, // the chip reset itself (its watchdog): Engine::lastChipReset() says why
};

struct Event {
    uint64_t stamp = 0;     // instructions executed since reset
    double time = 0;        // simulated seconds since reset
    EventKind kind = EventKind::UartByte;
    uint32_t pc = 0;       // the instruction behind it (0 for key events)
    uint32_t address = 0;
    uint32_t value = 0;
};

// What a fault was, as a debugger would report it.
enum class FaultKind { Other, BadAccess, UndefinedInstruction };

struct Fault {
    uint64_t stamp = 0;
    uint32_t pc = 0;
    bool instructionKnown = false;
    uint32_t instruction = 0;
    std::string what;       // what went wrong, naming the address involved
    std::string location;   // "0x00000064 <main+0x4>"
    FaultKind kind = FaultKind::Other;
    bool blamesInstruction = true;  // false: the board, not the code, went wrong

    std::string message() const;
};

}  // namespace boardsim
