// The GDB remote serial protocol, without sockets and without the engine:
// packet framing (checksums, acknowledgements, escapes), the commands gdb
// sends to an ARM target and the replies. What it debugs sits behind
// GdbTarget, so that the board, a test or a fuzzer can stand there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace boardsim {

// Largest packet gdb may send us (payload bytes between '$' and '#'),
// announced in qSupported.
constexpr size_t kGdbPacketSize = 4096;

// gdb's ARM register numbers: r0..r15, then cpsr as 25 (16..24 are the old
// FPA registers, which the target description leaves out).
constexpr int kGdbCpsrRegnum = 25;
constexpr int kGdbRegisterCount = 17;  // in the g packet: r0..r15, cpsr

constexpr int kSigInt = 2;
constexpr int kSigIll = 4;
constexpr int kSigTrap = 5;
constexpr int kSigAbrt = 6;
constexpr int kSigSegv = 11;

enum class GdbPoint { Software, Hardware, WriteWatch, ReadWatch, AccessWatch };

struct GdbStop {
    enum Why { Signal, Breakpoint, WriteWatch, ReadWatch, AccessWatch };
    int signal = kSigTrap;
    Why why = Signal;
    uint32_t dataAddress = 0;  // for watchpoints
    std::string console;       // shown on gdb's console before the stop
};

class GdbTarget {
public:
    virtual ~GdbTarget() = default;
    // regnum 0..15 or kGdbCpsrRegnum.
    virtual uint32_t readRegister(int regnum) = 0;
    virtual void writeRegister(int regnum, uint32_t value) = 0;
    // False when the range is not readable (writable) as a whole.
    virtual bool readMemory(uint32_t address, size_t size, std::vector<uint8_t>& out) = 0;
    virtual bool writeMemory(uint32_t address, const std::vector<uint8_t>& bytes) = 0;
    // False when the kind of point or its length is not supported.
    virtual bool insertPoint(GdbPoint type, uint32_t address, uint32_t length) = 0;
    virtual bool removePoint(GdbPoint type, uint32_t address, uint32_t length) = 0;
    // When gdb has gone: the next gdb knows nothing of these.
    virtual void removeAllPoints() = 0;
    // Starts a run (one instruction when `step`); advance() carries it on.
    virtual void resume(bool step) = 0;
    // Runs a while; returns the stop when the run has ended.
    virtual std::optional<GdbStop> advance() = 0;
    // The running run ends at the next advance() with SIGINT.
    virtual void interrupt() = 0;
    // Why the target is halted, for a gdb that connects (its console text is
    // not shown).
    virtual GdbStop halted() { return GdbStop{}; }
    // A monitor command; returns the text for gdb's console.
    virtual std::string monitor(const std::string& command) = 0;
};

// Hex of bytes and back; fromHex is false for odd lengths or non-hex digits.
std::string toHex(std::string_view bytes);
bool fromHex(std::string_view hex, std::string& bytes);
// A framed packet: $payload#checksum, with '$', '#', '}' and '*' escaped.
std::string framePacket(std::string_view payload);

// The target description gdb reads through qXfer:features:read.
const std::string& armTargetXml();

// One connection's conversation. Bytes from gdb go into feed(); what comes
// back is sent to gdb as it is.
class GdbSession {
public:
    enum class End { None, Detach, Kill };

    explicit GdbSession(GdbTarget& target) : target_(target), lastStop_(target.halted()) {}

    std::string feed(std::string_view bytes);
    // While a c or s runs: carries it on; the stop reply once it ended.
    std::string poll();
    bool running() const { return running_; }
    // After D or k has been answered the connection ends.
    End end() const { return end_; }

private:
    enum class State { Idle, Payload, Checksum1, Checksum2 };

    std::string idleByte(char c);
    void startPacket();
    void payloadByte(char c);
    std::string packetReceived();
    std::string reply(std::string_view payload);
    std::string handle(const std::string& packet);
    std::string handleQuery(const std::string& packet);
    std::string handleResume(char action);
    std::string resumeAt(std::string_view address, char action);
    std::string handleVCont(const std::string& packet);
    std::string readRegisters();
    std::string writeRegisters(std::string_view hex);
    std::string readRegister(std::string_view args);
    std::string writeRegister(std::string_view args);
    std::string readMemory(std::string_view args);
    std::string writeMemory(std::string_view args, bool binary);
    std::string point(const std::string& packet);
    std::string monitor(std::string_view hexCommand);

    GdbTarget& target_;
    State state_ = State::Idle;
    std::string packet_;
    bool oversized_ = false;
    uint8_t sum_ = 0;
    uint8_t claimed_ = 0;
    bool checksumValid_ = false;
    std::string lastSent_;
    bool running_ = false;
    End end_ = End::None;
    GdbStop lastStop_;
};

}  // namespace boardsim
