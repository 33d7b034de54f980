#include "fake_panel.h"

#include <cstdio>

#include "fake_registers.h"

namespace fake_panel {
namespace {

// The board's wiring, written out here on its own so that a wrong pin in
// the firmware's wiring header fails the tests.
constexpr std::uint32_t kDc = 1u << 20;
constexpr std::uint32_t kSce = 1u << 21;
constexpr std::uint32_t kRes = 1u << 22;
constexpr std::uint32_t kDacCs = 1u << 23;
// PINSEL0: P0.4 SCK0, P0.6 MOSI0, P0.7 SSEL0 (pulled up on the board).
constexpr std::uint32_t kSpiPinsMask = (3u << 8) | (3u << 12) | (3u << 14);
constexpr std::uint32_t kSpiPinsValue = (1u << 8) | (1u << 12) | (1u << 14);

constexpr std::uint32_t kPinsel0 = 0xE002C000;
constexpr std::uint32_t kIo0Set = 0xE0028004, kIo0Dir = 0xE0028008, kIo0Clr = 0xE002800C;
constexpr std::uint32_t kS0Spcr = 0xE0020000, kS0Spsr = 0xE0020004, kS0Spdr = 0xE0020008, kS0Spccr = 0xE002000C;
constexpr std::uint32_t kSpif = 0x80;
constexpr std::uint32_t kMaster = 0x20;
constexpr std::uint32_t kLcdMode = kMaster;        // CPOL 0, CPHA 0, MSB first
constexpr std::uint32_t kDacMode = kMaster | 0x08; // CPOL 0, CPHA 1, MSB first
constexpr int kReadsUntilSpif = 2;

Panel panel;
std::uint32_t latch = 0;
std::uint32_t direction = 0;
bool resetDone = false;
bool shifting = false;  // a byte whose SPIF has not been seen
int readsLeft = 0;
bool spif = false;
unsigned dacBytes = 0;  // bytes of the DAC word under way
std::uint16_t dacWord = 0;

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Undriven lines are pulled up on the board.
bool Line(std::uint32_t mask) { return (direction & mask) == 0 || (latch & mask) != 0; }

void Breach(const std::string &what) { panel.breaches.push_back(what); }

void Command(std::uint8_t c)
{
    if (c == 0x00)
    {
        return;
    }
    if ((c & 0xF8) == 0x20)
    {
        panel.powerDown = (c & 0x04) != 0;
        if ((c & 0x02) != 0)
        {
            Breach("vertical addressing, which the driver does not use");
        }
        panel.extended = (c & 0x01) != 0;
        return;
    }
    if (!panel.extended && (c & 0xF8) == 0x08)
    {
        panel.display = ((c & 0x04) != 0 ? 2u : 0u) | (c & 0x01u);
        return;
    }
    if (!panel.extended && (c & 0xF8) == 0x40 && (c & 0x07) < kBanks)
    {
        panel.y = c & 0x07;
        return;
    }
    if (!panel.extended && (c & 0x80) != 0 && (c & 0x7F) < kWidth)
    {
        panel.x = c & 0x7F;
        return;
    }
    if (panel.extended && (c & 0xFC) == 0x04)
    {
        panel.temperature = c & 0x03;
        return;
    }
    if (panel.extended && (c & 0xF8) == 0x10)
    {
        panel.bias = c & 0x07;
        return;
    }
    if (panel.extended && (c & 0x80) != 0)
    {
        panel.vop = c & 0x7F;
        return;
    }
    Breach("command " + Hex(c) + " the controller does not have in this instruction set");
}

void Data(std::uint8_t d)
{
    panel.ram[panel.y * kWidth + panel.x] = d;
    if (++panel.x == kWidth)
    {
        panel.x = 0;
        panel.y = (panel.y + 1) % kBanks;
    }
}

void Byte(std::uint32_t value)
{
    const auto byte = static_cast<std::uint8_t>(value);
    if (shifting)
    {
        Breach("S0SPDR written before the last byte's SPIF was seen: the chip drops " + Hex(byte));
        return;
    }
    const std::uint32_t mode = fake_registers::Value(kS0Spcr);
    if ((fake_registers::Value(kPinsel0) & kSpiPinsMask) != kSpiPinsValue || (mode & kMaster) == 0 ||
        fake_registers::Value(kS0Spccr) < 8)
    {
        Breach("byte " + Hex(byte) + " sent before SPI0 was master on its pins");
    }
    shifting = true;
    spif = false;
    readsLeft = kReadsUntilSpif;
    const bool toLcd = !Line(kSce);
    const bool toDac = !Line(kDacCs);
    if (toLcd && toDac)
    {
        Breach("byte " + Hex(byte) + " sent with both SCE and /CS low");
        return;
    }
    if (toDac)
    {
        if (mode != kDacMode)
        {
            Breach("DAC byte " + Hex(byte) + " sent with S0SPCR " + Hex(mode) + ", not CPOL 0 / CPHA 1");
        }
        if (++dacBytes > 2)
        {
            Breach("DAC byte " + Hex(byte) + " beyond the word's 16 bits");
        }
        dacWord = static_cast<std::uint16_t>((dacWord << 8) | byte);
        return;
    }
    if (!toLcd)
    {
        Breach("byte " + Hex(byte) + " sent with SCE and /CS high");
        return;
    }
    if (mode != kLcdMode)
    {
        Breach("LCD byte " + Hex(byte) + " sent with S0SPCR " + Hex(mode) + ", not SPI mode 0");
    }
    if (!resetDone || !Line(kRes))
    {
        Breach("byte " + Hex(byte) + " sent before a reset pulse");
        return;
    }
    const bool data = Line(kDc);
    panel.bytes.emplace_back(data, byte);
    if (data)
    {
        Data(byte);
    }
    else
    {
        Command(byte);
    }
}

void Lines(std::uint32_t newLatch, std::uint32_t newDirection)
{
    const bool resWas = Line(kRes);
    const bool dcWas = Line(kDc);
    const bool sceWas = Line(kSce);
    const bool csWas = Line(kDacCs);
    latch = newLatch;
    direction = newDirection;
    if (shifting && (dcWas != Line(kDc) || sceWas != Line(kSce) || csWas != Line(kDacCs)))
    {
        Breach("D/C, SCE or /CS changed while a byte was shifting out");
    }
    if (csWas != Line(kDacCs))
    {
        // The TLV5618 takes a word of exactly 16 bits between /CS's edges.
        if (Line(kDacCs) && dacBytes == 2)
        {
            panel.dacWords.push_back(dacWord);
        }
        else if (Line(kDacCs) && dacBytes != 0)
        {
            Breach("/CS went high after " + std::to_string(8 * dacBytes) + " bits: the DAC drops the word");
        }
        dacBytes = 0;
        dacWord = 0;
    }
    if (!resWas && Line(kRes))
    {
        ++panel.resetPulses;
        resetDone = true;
        const auto ram = panel.ram;
        const auto bytes = panel.bytes;
        const auto dacWords = panel.dacWords;
        const auto breaches = panel.breaches;
        const int pulses = panel.resetPulses;
        panel = Panel{};
        panel.ram = ram;  // a reset leaves the RAM as it was
        panel.bytes = bytes;
        panel.dacWords = dacWords;
        panel.breaches = breaches;
        panel.resetPulses = pulses;
    }
}

}  // namespace

void Install()
{
    panel = Panel{};
    panel.ram.fill(kPowerUpByte);
    latch = 0;
    direction = 0;
    resetDone = false;
    shifting = false;
    spif = false;
    dacBytes = 0;
    dacWord = 0;
    fake_registers::OnWrite(kIo0Set, [](std::uint32_t v) { Lines(latch | v, direction); });
    fake_registers::OnRead(kIo0Set, [] { return latch; });
    fake_registers::OnWrite(kS0Spcr, [](std::uint32_t) {
        if (shifting)
        {
            Breach("S0SPCR written while a byte was shifting out");
        }
    });
    fake_registers::OnWrite(kIo0Clr, [](std::uint32_t v) { Lines(latch & ~v, direction); });
    fake_registers::OnWrite(kIo0Dir, [](std::uint32_t v) { Lines(latch, v); });
    fake_registers::OnWrite(kS0Spdr, Byte);
    fake_registers::OnRead(kS0Spsr, [] {
        if (shifting && --readsLeft <= 0)
        {
            shifting = false;
            spif = true;
        }
        return spif ? kSpif : 0u;
    });
}

const Panel &State() { return panel; }

void ForgetBytes()
{
    panel.bytes.clear();
    panel.dacWords.clear();
}

std::vector<std::uint8_t> Glass()
{
    std::vector<std::uint8_t> glass(panel.ram.size(), 0);
    if (!panel.powerDown && panel.vop > 0 && panel.display == 2)
    {
        glass.assign(panel.ram.begin(), panel.ram.end());
    }
    return glass;
}

}  // namespace fake_panel
