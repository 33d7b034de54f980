// A target for the GDB protocol layer alone: registers and a little memory
// in plain variables, and a record of what the session asked of it. Used by
// the packet tests and the packet fuzzer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "frontends/gdb/gdb_packets.h"

namespace boardsim::testing {

class FakeGdbTarget final : public GdbTarget {
public:
    std::array<uint32_t, 26> registers{};
    std::vector<uint8_t> memory = std::vector<uint8_t>(0x4000, 0);  // at address 0
    std::vector<std::tuple<GdbPoint, uint32_t, uint32_t>> points;
    int resumes = 0;
    bool stepping = false;
    bool interrupted = false;
    int advancesBeforeStop = 0;
    GdbStop stop{kSigTrap, GdbStop::Signal, 0, ""};
    std::vector<std::string> monitorCommands;

    uint32_t readRegister(int regnum) override { return registers.at(size_t(regnum)); }
    void writeRegister(int regnum, uint32_t value) override
    {
        if (regnum == 13 && value == 0xdeadbeef) {
            throw std::runtime_error("the target refuses this one");
        }
        registers.at(size_t(regnum)) = value;
    }
    bool readMemory(uint32_t address, size_t size, std::vector<uint8_t>& out) override
    {
        if (uint64_t(address) + size > memory.size()) {
            return false;
        }
        out.assign(memory.begin() + address, memory.begin() + address + size);
        return true;
    }
    bool writeMemory(uint32_t address, const std::vector<uint8_t>& bytes) override
    {
        if (uint64_t(address) + bytes.size() > memory.size()) {
            return false;
        }
        std::copy(bytes.begin(), bytes.end(), memory.begin() + address);
        return true;
    }
    bool insertPoint(GdbPoint type, uint32_t address, uint32_t length) override
    {
        points.emplace_back(type, address, length);
        return true;
    }
    bool removePoint(GdbPoint type, uint32_t address, uint32_t length) override
    {
        for (auto at = points.begin(); at != points.end(); ++at) {
            if (*at == std::make_tuple(type, address, length)) {
                points.erase(at);
                return true;
            }
        }
        return false;
    }
    void removeAllPoints() override { points.clear(); }
    void resume(bool step) override
    {
        ++resumes;
        stepping = step;
        interrupted = false;
    }
    std::optional<GdbStop> advance() override
    {
        if (interrupted) {
            return GdbStop{kSigInt, GdbStop::Signal, 0, ""};
        }
        if (advancesBeforeStop > 0) {
            --advancesBeforeStop;
            return std::nullopt;
        }
        return stop;
    }
    void interrupt() override { interrupted = true; }
    std::string monitor(const std::string& command) override
    {
        monitorCommands.push_back(command);
        return command == "quiet" ? "" : "did " + command + "\n";
    }
};

// Splits what the session sent into acknowledgements ('+', '-') and the
// payloads of its packets, checking each packet's checksum and unescaping
// it. False when the bytes are not that.
inline bool splitOutput(const std::string& bytes, std::string& acks, std::vector<std::string>& payloads)
{
    for (size_t i = 0; i < bytes.size();) {
        if (bytes[i] == '+' || bytes[i] == '-') {
            acks += bytes[i++];
            continue;
        }
        if (bytes[i] != '$') {
            return false;
        }
        const size_t hash = bytes.find('#', i);
        if (hash == std::string::npos || hash + 3 > bytes.size()) {
            return false;
        }
        unsigned sum = 0;
        std::string payload;
        for (size_t j = i + 1; j < hash; ++j) {
            sum += static_cast<unsigned char>(bytes[j]);
            if (bytes[j] == '$' || bytes[j] == '*') {
                return false;  // must have been escaped
            }
            if (bytes[j] == '}') {
                if (j + 1 >= hash) {
                    return false;
                }
                sum += static_cast<unsigned char>(bytes[j + 1]);
                payload += char(bytes[++j] ^ 0x20);
            } else {
                payload += bytes[j];
            }
        }
        if (std::stoul(bytes.substr(hash + 1, 2), nullptr, 16) != (sum & 0xFF)) {
            return false;
        }
        payloads.push_back(payload);
        i = hash + 3;
    }
    return true;
}

}  // namespace boardsim::testing
