#include "machine/pin_names.h"

#include <stdexcept>
#include <string>

namespace boardsim {
namespace {

// clang-format off
constexpr std::array<PinNames, 32> kPort0 = {{
    {{"GPIO P0.0", "TxD0", "PWM1", nullptr}, "UART0's TxD to the host's terminal"},
    {{"GPIO P0.1", "RxD0", "PWM3", "EINT0"}, "UART0's RxD from the host's terminal"},
    {{"GPIO P0.2", "SCL", "CAP0.0", nullptr}, nullptr},
    {{"GPIO P0.3", "SDA", "MAT0.0", "EINT1"}, nullptr},
    {{"GPIO P0.4", "SCK0", "CAP0.1", nullptr}, "LCD SCLK (PCD8544 serial clock) and DAC SCLK (TLV5618), from SCK0"},
    {{"GPIO P0.5", "MISO0", "MAT0.1", nullptr}, nullptr},
    {{"GPIO P0.6", "MOSI0", "CAP0.2", nullptr}, "LCD SDIN (PCD8544 serial data) and DAC DIN (TLV5618), from MOSI0"},
    {{"GPIO P0.7", "SSEL0", "PWM2", "EINT2"}, "SSEL0, held high by a pull-up"},
    {{"GPIO P0.8", "TxD1", "PWM4", nullptr}, "UART1's TxD to its serial line"},
    {{"GPIO P0.9", "RxD1", "PWM6", "EINT3"}, "UART1's RxD from its serial line"},
    {{"GPIO P0.10", "RTS1", "CAP1.0", nullptr}, nullptr},
    {{"GPIO P0.11", "CTS1", "CAP1.1", nullptr}, nullptr},
    {{"GPIO P0.12", "DSR1", "MAT1.0", nullptr}, nullptr},
    {{"GPIO P0.13", "DTR1", "MAT1.1", nullptr}, nullptr},
    {{"GPIO P0.14", "DCD1", "EINT1", nullptr}, "boot select: low at reset starts the ISP boot loader"},
    {{"GPIO P0.15", "RI1", "EINT2", nullptr}, nullptr},
    {{"GPIO P0.16", "EINT0", "MAT0.2", "CAP0.2"}, "KEY_1 (grounds the pin while pressed; pulled up)"},
    {{"GPIO P0.17", "CAP1.2", "SCK1", "MAT1.2"}, "KEY_2 (grounds the pin while pressed; pulled up)"},
    {{"GPIO P0.18", "CAP1.3", "MISO1", "MAT1.3"}, "KEY_3 (grounds the pin while pressed; pulled up)"},
    {{"GPIO P0.19", "MAT1.2", "MOSI1", "CAP1.2"}, "KEY_4 (grounds the pin while pressed; pulled up)"},
    {{"GPIO P0.20", "MAT1.3", "SSEL1", "EINT3"}, "LCD D/C (low: command, high: display data)"},
    {{"GPIO P0.21", "PWM5", nullptr, "CAP1.3"}, "LCD SCE (chip enable, low active)"},
    {{"GPIO P0.22", nullptr, "CAP0.0", "MAT0.0"}, "LCD RES (reset, low active)"},
    {{"GPIO P0.23", "RD2", nullptr, nullptr}, "DAC /CS (TLV5618 chip select, low active)"},
    {{"GPIO P0.24", "TD2", nullptr, nullptr}, nullptr},
    {{"GPIO P0.25", "RD1", nullptr, nullptr}, nullptr},
    {{nullptr, nullptr, nullptr, nullptr}, nullptr},
    {{"GPIO P0.27", "AIN0", "CAP0.1", "MAT0.1"}, nullptr},
    {{"GPIO P0.28", "AIN1", "CAP0.2", "MAT0.2"}, nullptr},
    {{"GPIO P0.29", "AIN2", "CAP0.3", "MAT0.3"}, nullptr},
    {{"GPIO P0.30", "AIN3", "EINT3", "CAP0.0"}, nullptr},
    {{"GPIO P0.31", nullptr, nullptr, nullptr}, "the status LED (main's SysLED)"},
}};
// clang-format on

}  // namespace

const PinNames& port0PinNames(unsigned pin)
{
    if (pin >= kPort0.size()) {
        throw std::out_of_range("there is no P0." + std::to_string(pin));
    }
    return kPort0[pin];
}

}  // namespace boardsim
