#include "core/cpu.h"

#include <unicorn/unicorn.h>

#include "core/board_error.h"

namespace boardsim {
namespace {

// Unicorn's ARMv4T core. It still answers for a CP15; the engine traps every
// coprocessor instruction before the core sees it (see arm7tdmi.h).
constexpr int kCpuModel = UC_CPU_ARM_TI925T;
constexpr uint32_t kNoEndAddress = 0xFFFFFFFF;  // odd: never a PC in ARM state
constexpr uint32_t kMmioPage = 0x1000;

static_assert(cpu_hook::kCode == UC_HOOK_CODE && cpu_hook::kInterrupt == UC_HOOK_INTR);
static_assert(cpu_hook::kMemRead == UC_HOOK_MEM_READ && cpu_hook::kMemWrite == UC_HOOK_MEM_WRITE);
static_assert(cpu_hook::kMemInvalid == UC_HOOK_MEM_INVALID);
static_assert(cpu_hook::kReadUnmapped == UC_MEM_READ_UNMAPPED && cpu_hook::kWriteUnmapped == UC_MEM_WRITE_UNMAPPED);
static_assert(cpu_hook::kFetchUnmapped == UC_MEM_FETCH_UNMAPPED && cpu_hook::kWriteProtected == UC_MEM_WRITE_PROT);
static_assert(cpu_hook::kMemWriteType == UC_MEM_WRITE);

int ucRegister(CpuReg r)
{
    static const int map[kCpuRegCount] = {
        UC_ARM_REG_R0,  UC_ARM_REG_R1,  UC_ARM_REG_R2,  UC_ARM_REG_R3, UC_ARM_REG_R4,   UC_ARM_REG_R5,
        UC_ARM_REG_R6,  UC_ARM_REG_R7,  UC_ARM_REG_R8,  UC_ARM_REG_R9, UC_ARM_REG_R10,  UC_ARM_REG_R11,
        UC_ARM_REG_R12, UC_ARM_REG_SP,  UC_ARM_REG_LR,  UC_ARM_REG_PC, UC_ARM_REG_CPSR, UC_ARM_REG_SPSR,
    };
    return map[int(r)];
}

void check(uc_err err, const char* what)
{
    if (err != UC_ERR_OK) {
        throw BoardError(std::string(what) + ": " + uc_strerror(err));
    }
}

}  // namespace

Cpu::Cpu()
{
    check(uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_), "starting the ARM engine");
    const uc_err err = uc_ctl_set_cpu_model(uc_, kCpuModel);
    if (err != UC_ERR_OK) {
        uc_close(uc_);
        check(err, "selecting the ARMv4T core");
    }
}

Cpu::~Cpu()
{
    uc_close(uc_);
}

uint32_t Cpu::reg(CpuReg r) const
{
    uint32_t value = 0;
    uc_reg_read(uc_, ucRegister(r), &value);
    return value;
}

void Cpu::setReg(CpuReg r, uint32_t value)
{
    check(uc_reg_write(uc_, ucRegister(r), &value), "writing a register");
}

void Cpu::mapMemory(uint32_t base, uint32_t size, bool writable)
{
    const uint32_t protection = writable ? UC_PROT_ALL : (UC_PROT_READ | UC_PROT_EXEC);
    check(uc_mem_map(uc_, base, size, protection), "mapping memory");
}

void Cpu::write(uint32_t address, const void* bytes, size_t size)
{
    check(uc_mem_write(uc_, address, bytes, size), "writing memory");
}

bool Cpu::read(uint32_t address, void* bytes, size_t size) const
{
    return uc_mem_read(uc_, address, bytes, size) == UC_ERR_OK;
}

void Cpu::forgetCode(uint32_t begin, uint32_t end)
{
    uc_ctl_remove_cache(uc_, begin, end);
}

Cpu::RunEnd Cpu::run(uint32_t pc, bool thumb)
{
    const uc_err err = uc_emu_start(uc_, thumb ? (pc | 1) : pc, kNoEndAddress, 0, 0);
    RunEnd end;
    end.ok = err == UC_ERR_OK;
    end.invalidInstruction = err == UC_ERR_INSN_INVALID;
    if (!end.ok) {
        end.error = uc_strerror(err);
    }
    return end;
}

void Cpu::stop()
{
    uc_emu_stop(uc_);
}

void Cpu::addHook(int type, void* callback, void* user, uint64_t begin, uint64_t end, size_t* id)
{
    uc_hook hook = 0;
    check(uc_hook_add(uc_, &hook, type, callback, user, begin, end), "hooking the core");
    if (id != nullptr) {
        *id = size_t(hook);
    }
}

void Cpu::unhook(size_t id)
{
    uc_hook_del(uc_, uc_hook(id));
}

void Cpu::mapIo(uint32_t base, uint32_t size, void* read, void* write, void* user)
{
    const uint32_t pages = (size + kMmioPage - 1) / kMmioPage * kMmioPage;
    check(uc_mmio_map(uc_, base, pages, reinterpret_cast<uc_cb_mmio_read_t>(read), user,
                      reinterpret_cast<uc_cb_mmio_write_t>(write), user),
          "mapping a peripheral");
}

}  // namespace boardsim
