// The processor core: Unicorn's ARMv4T model (TI925T) behind a small
// interface, so that nothing else includes Unicorn. The engine installs its
// callbacks with the hook templates below; they reach it without an extra
// indirection on the per-instruction path. A callback must not throw
// through Unicorn's C frames: what it throws is handed to the client's
// abandonRun() and the core stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "core/cpu_registers.h"

struct uc_struct;

namespace boardsim {

// Why the core could not go on with an access.
enum class BadAccess { ReadUnmapped, WriteUnmapped, WriteProtected, FetchUnmapped, Other };

class Cpu {
public:
    Cpu();
    ~Cpu();
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

    uint32_t reg(CpuReg r) const;
    void setReg(CpuReg r, uint32_t value);

    // Memory the core reads and writes directly (RAM, flash).
    void mapMemory(uint32_t base, uint32_t size, bool writable);
    // Throws BoardError when the range is not mapped memory.
    void write(uint32_t address, const void* bytes, size_t size);
    bool read(uint32_t address, void* bytes, size_t size) const;
    // Code translated from older bytes in [begin, end) is dropped.
    void forgetCode(uint32_t begin, uint32_t end);

    // Runs from `pc` until stop() or an error; returns the error's text, or
    // an empty string. `invalidInstruction` tells an undefined encoding
    // that the core refused by itself.
    struct RunEnd {
        bool ok = true;
        bool invalidInstruction = false;
        std::string error;
    };
    RunEnd run(uint32_t pc, bool thumb);
    void stop();

    // client.onInstruction(address, size) before every instruction.
    template <typename Client>
    void hookInstructions(Client& client);
    // client.onException(number): QEMU's ARM exception number.
    template <typename Client>
    void hookExceptions(Client& client);
    // client.onBadMemory(kind, address, size, value): an access nothing
    // answers. The core stops with an error after it.
    template <typename Client>
    void hookBadMemory(Client& client);
    // client.onWatchedAccess(write, address) for accesses in [begin, last];
    // returns an id for unhook().
    template <typename Client>
    size_t hookAccesses(Client& client, uint32_t begin, uint32_t last, bool reads, bool writes);
    void unhook(size_t id);

    // Device callbacks: `read(context, offset, size)` and
    // `write(context, offset, size, value)`.
    template <typename Context>
    void mapDevice(uint32_t base, uint32_t size, Context& context);

private:
    void addHook(int type, void* callback, void* user, uint64_t begin, uint64_t end, size_t* id = nullptr);
    void mapIo(uint32_t base, uint32_t size, void* read, void* write, void* user);

    template <typename Client, typename Work>
    static auto guarded(Client& client, Work&& work) -> decltype(work())
    {
        try {
            return work();
        } catch (...) {
            client.abandonRun(std::current_exception());
            return decltype(work())();
        }
    }

    uc_struct* uc_ = nullptr;
};

// Hook types as Unicorn numbers them (unicorn.h), so that the templates
// need not include it.
namespace cpu_hook {
constexpr int kCode = 1 << 2;
constexpr int kInterrupt = 1 << 0;
constexpr int kMemRead = 1 << 10;
constexpr int kMemWrite = 1 << 11;
constexpr int kMemInvalid = (1 << 4) | (1 << 5) | (1 << 6) | (1 << 7) | (1 << 8) | (1 << 9);
// Unicorn's uc_mem_type values for the invalid accesses.
constexpr int kReadUnmapped = 19;
constexpr int kWriteUnmapped = 20;
constexpr int kFetchUnmapped = 21;
constexpr int kWriteProtected = 22;
constexpr int kMemWriteType = 17;
}  // namespace cpu_hook

template <typename Client>
void Cpu::hookInstructions(Client& client)
{
    auto* callback = +[](void* /*uc*/, uint64_t address, uint32_t size, void* user) {
        auto& c = *static_cast<Client*>(user);
        guarded(c, [&] { c.onInstruction(uint32_t(address), size); });
    };
    addHook(cpu_hook::kCode, reinterpret_cast<void*>(callback), &client, 1, 0);
}

template <typename Client>
void Cpu::hookExceptions(Client& client)
{
    auto* callback = +[](void* /*uc*/, uint32_t number, void* user) {
        auto& c = *static_cast<Client*>(user);
        guarded(c, [&] { c.onException(number); });
    };
    addHook(cpu_hook::kInterrupt, reinterpret_cast<void*>(callback), &client, 1, 0);
}

template <typename Client>
void Cpu::hookBadMemory(Client& client)
{
    auto* callback = +[](void* /*uc*/, int type, uint64_t address, int size, int64_t value, void* user) {
        auto& c = *static_cast<Client*>(user);
        const BadAccess kind = type == cpu_hook::kReadUnmapped    ? BadAccess::ReadUnmapped
                               : type == cpu_hook::kWriteUnmapped ? BadAccess::WriteUnmapped
                               : type == cpu_hook::kWriteProtected ? BadAccess::WriteProtected
                               : type == cpu_hook::kFetchUnmapped ? BadAccess::FetchUnmapped
                                                                  : BadAccess::Other;
        guarded(c, [&] { c.onBadMemory(kind, uint32_t(address), size, uint32_t(value)); });
        return false;  // the core stops with an error
    };
    addHook(cpu_hook::kMemInvalid, reinterpret_cast<void*>(callback), &client, 1, 0);
}

template <typename Client>
size_t Cpu::hookAccesses(Client& client, uint32_t begin, uint32_t last, bool reads, bool writes)
{
    auto* callback = +[](void* /*uc*/, int type, uint64_t address, int /*size*/, int64_t /*value*/, void* user) {
        auto& c = *static_cast<Client*>(user);
        guarded(c, [&] { c.onWatchedAccess(type == cpu_hook::kMemWriteType, uint32_t(address)); });
    };
    size_t id = 0;
    addHook((reads ? cpu_hook::kMemRead : 0) | (writes ? cpu_hook::kMemWrite : 0), reinterpret_cast<void*>(callback),
            &client, begin, last, &id);
    return id;
}

template <typename Context>
void Cpu::mapDevice(uint32_t base, uint32_t size, Context& context)
{
    auto* onRead = +[](void* /*uc*/, uint64_t offset, unsigned width, void* user) -> uint64_t {
        auto& c = *static_cast<Context*>(user);
        return guarded(c.client(), [&] { return uint64_t(c.read(uint32_t(offset), width)); });
    };
    auto* onWrite = +[](void* /*uc*/, uint64_t offset, unsigned width, uint64_t value, void* user) {
        auto& c = *static_cast<Context*>(user);
        guarded(c.client(), [&] { c.write(uint32_t(offset), width, uint32_t(value)); });
    };
    mapIo(base, size, reinterpret_cast<void*>(onRead), reinterpret_cast<void*>(onWrite), &context);
}

}  // namespace boardsim
