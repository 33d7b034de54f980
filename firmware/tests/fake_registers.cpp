#include "fake_registers.h"

#include <cstdio>
#include <map>
#include <string>

#include "event_log.h"

namespace {

std::map<std::uint32_t, std::uint32_t> values;
std::map<std::uint32_t, std::function<std::uint32_t()>> readScripts;
std::map<std::uint32_t, std::function<void(std::uint32_t)>> writeScripts;
std::map<std::uint32_t, int> readCounts;
std::function<void()> everyAccess;
bool inEveryAccess = false;

// Runs the every-access hook, unless it is what made this access.
void EveryAccess()
{
    if (everyAccess && !inEveryAccess)
    {
        inEveryAccess = true;
        everyAccess();
        inEveryAccess = false;
    }
}

// Names for the log: the registers the firmware and the board layer touch.
// The addresses are those of the board's memory map, written out here on
// their own so that a wrong address in the register header shows up as a
// bare number in the log.
std::string NameOf(std::uint32_t address)
{
    static const std::map<std::uint32_t, const char *> names = {
        {0xE002C000, "PINSEL0"}, {0xE002C004, "PINSEL1"}, {0xE002C014, "PINSEL2"},
        {0xE0028000, "IO0PIN"},  {0xE0028004, "IO0SET"},  {0xE0028008, "IO0DIR"},
        {0xE002800C, "IO0CLR"},  {0xE000C000, "U0THR/DLL"}, {0xE000C004, "U0IER/DLM"},
        {0xE000C008, "U0FCR"},   {0xE000C00C, "U0LCR"},   {0xE000C014, "U0LSR"},
        {0xE01FC000, "MAMCR"},   {0xE01FC004, "MAMTIM"},  {0xE01FC040, "MEMMAP"},
        {0xE01FC080, "PLLCON"},  {0xE01FC084, "PLLCFG"},  {0xE01FC088, "PLLSTAT"},
        {0xE01FC08C, "PLLFEED"}, {0xE01FC100, "VPBDIV"},
        {0xE0004004, "T0TCR"},   {0xE000400C, "T0PR"},
        {0xE0020000, "S0SPCR"},  {0xE0020004, "S0SPSR"},  {0xE0020008, "S0SPDR"},
        {0xE002000C, "S0SPCCR"}, {0xE002001C, "S0SPINT"},
        {0xE0008000, "T1IR"},    {0xE0008004, "T1TCR"},   {0xE000800C, "T1PR"},
        {0xE0008014, "T1MCR"},   {0xE0008018, "T1MR0"},
        {0xFFFFF00C, "VICIntSelect"}, {0xFFFFF010, "VICIntEnable"}, {0xFFFFF014, "VICIntEnClr"},
        {0xFFFFF030, "VICVectAddr"},  {0xFFFFF034, "VICDefVectAddr"}, {0xFFFFF100, "VICVectAddr0"},
        {0xFFFFF200, "VICVectCntl0"},
    };
    auto found = names.find(address);
    if (found != names.end())
    {
        return found->second;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", address);
    return hex;
}

}  // namespace

FakeRegister::operator std::uint32_t() const
{
    EveryAccess();
    readCounts[address_]++;
    auto script = readScripts.find(address_);
    const std::uint32_t value = script != readScripts.end() && script->second ? script->second() : values[address_];
    EveryAccess();
    return value;
}

FakeRegister &FakeRegister::operator=(std::uint32_t value)
{
    EveryAccess();
    char text[64];
    std::snprintf(text, sizeof text, "%s = 0x%08X", NameOf(address_).c_str(), value);
    event_log::Add(text);
    values[address_] = value;
    auto script = writeScripts.find(address_);
    if (script != writeScripts.end() && script->second)
    {
        script->second(value);
    }
    EveryAccess();
    return *this;
}

namespace fake_registers {

void Reset()
{
    values.clear();
    readScripts.clear();
    writeScripts.clear();
    readCounts.clear();
    everyAccess = nullptr;
}

void Preset(std::uint32_t address, std::uint32_t value) { values[address] = value; }

std::uint32_t Value(std::uint32_t address) { return values[address]; }

void OnRead(std::uint32_t address, std::function<std::uint32_t()> read)
{
    readScripts[address] = std::move(read);
}

void OnWrite(std::uint32_t address, std::function<void(std::uint32_t)> written)
{
    writeScripts[address] = std::move(written);
}

int ReadCount(std::uint32_t address) { return readCounts[address]; }

void OnEveryAccess(std::function<void()> access) { everyAccess = std::move(access); }

}  // namespace fake_registers
