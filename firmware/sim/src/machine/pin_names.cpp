#include "machine/pin_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>

namespace boardsim {
namespace {

// clang-format off
constexpr std::array<PinNames, 32> kPort0 = {{
    {{"GPIO P0.0", "TxD0", "PWM1", nullptr}, "UART0's TxD to the host's terminal", "TXD0", nullptr},
    {{"GPIO P0.1", "RxD0", "PWM3", "EINT0"}, "UART0's RxD from the host's terminal", "RXD0", nullptr},
    {{"GPIO P0.2", "SCL", "CAP0.0", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.3", "SDA", "MAT0.0", "EINT1"}, nullptr, nullptr, nullptr},
    {{"GPIO P0.4", "SCK0", "CAP0.1", nullptr}, "LCD SCLK (PCD8544 serial clock) and DAC SCLK (TLV5618), from SCK0", "LCD_SCLK", "DAC_SCLK"},
    {{"GPIO P0.5", "MISO0", "MAT0.1", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.6", "MOSI0", "CAP0.2", nullptr}, "LCD SDIN (PCD8544 serial data) and DAC DIN (TLV5618), from MOSI0", "LCD_SDIN", "DAC_DIN"},
    {{"GPIO P0.7", "SSEL0", "PWM2", "EINT2"}, "SSEL0, held high by a pull-up", nullptr, nullptr},
    {{"GPIO P0.8", "TxD1", "PWM4", nullptr}, "UART1's TxD to its serial line", nullptr, nullptr},
    {{"GPIO P0.9", "RxD1", "PWM6", "EINT3"}, "UART1's RxD from its serial line", nullptr, nullptr},
    {{"GPIO P0.10", "RTS1", "CAP1.0", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.11", "CTS1", "CAP1.1", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.12", "DSR1", "MAT1.0", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.13", "DTR1", "MAT1.1", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.14", "DCD1", "EINT1", nullptr}, "boot select: low at reset starts the ISP boot loader", nullptr, nullptr},
    {{"GPIO P0.15", "RI1", "EINT2", nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.16", "EINT0", "MAT0.2", "CAP0.2"}, "KEY_1 (grounds the pin while pressed; pulled up)", "KEY_1", nullptr},
    {{"GPIO P0.17", "CAP1.2", "SCK1", "MAT1.2"}, "KEY_2 (grounds the pin while pressed; pulled up)", "KEY_2", nullptr},
    {{"GPIO P0.18", "CAP1.3", "MISO1", "MAT1.3"}, "KEY_3 (grounds the pin while pressed; pulled up)", "KEY_3", nullptr},
    {{"GPIO P0.19", "MAT1.2", "MOSI1", "CAP1.2"}, "KEY_4 (grounds the pin while pressed; pulled up)", "KEY_4", nullptr},
    {{"GPIO P0.20", "MAT1.3", "SSEL1", "EINT3"}, "LCD D/C (low: command, high: display data)", "LCD_DC", nullptr},
    {{"GPIO P0.21", "PWM5", nullptr, "CAP1.3"}, "LCD SCE (chip enable, low active)", "LCD_SCE", nullptr},
    {{"GPIO P0.22", nullptr, "CAP0.0", "MAT0.0"}, "LCD RES (reset, low active)", "LCD_RES", nullptr},
    {{"GPIO P0.23", "RD2", nullptr, nullptr}, "DAC /CS (TLV5618 chip select, low active)", "DAC_CS", nullptr},
    {{"GPIO P0.24", "TD2", nullptr, nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.25", "RD1", nullptr, nullptr}, nullptr, nullptr, nullptr},
    {{nullptr, nullptr, nullptr, nullptr}, nullptr, nullptr, nullptr},
    {{"GPIO P0.27", "AIN0", "CAP0.1", "MAT0.1"}, nullptr, nullptr, nullptr},
    {{"GPIO P0.28", "AIN1", "CAP0.2", "MAT0.2"}, nullptr, nullptr, nullptr},
    {{"GPIO P0.29", "AIN2", "CAP0.3", "MAT0.3"}, nullptr, nullptr, nullptr},
    {{"GPIO P0.30", "AIN3", "EINT3", "CAP0.0"}, nullptr, nullptr, nullptr},
    {{"GPIO P0.31", nullptr, nullptr, nullptr}, "the status LED (main's SysLED)", "LED", nullptr},
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

std::optional<unsigned> pinByName(const std::string& name)
{
    std::string wanted = name;
    std::transform(wanted.begin(), wanted.end(), wanted.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    const auto is = [&wanted](const char* signal) { return signal != nullptr && wanted == signal; };
    const auto named =
        std::find_if(kPort0.begin(), kPort0.end(), [&](const PinNames& p) { return is(p.signal) || is(p.sharedSignal); });
    if (named != kPort0.end()) {
        return unsigned(named - kPort0.begin());
    }
    // P0.n or P0_n, n from 0 to 31 without leading zeros.
    if (wanted.size() < 4 || wanted.size() > 5 || wanted.compare(0, 2, "P0") != 0 ||
        (wanted[2] != '.' && wanted[2] != '_')) {
        return std::nullopt;
    }
    const std::string number = wanted.substr(3);
    if (number.find_first_not_of("0123456789") != std::string::npos || (number.size() > 1 && number[0] == '0')) {
        return std::nullopt;
    }
    const unsigned pin = unsigned(std::stoul(number));
    return pin < kPort0.size() ? std::optional<unsigned>(pin) : std::nullopt;
}

std::string describePin(unsigned pin)
{
    const PinNames& names = port0PinNames(pin);
    if (names.signal == nullptr) {
        return "P0." + std::to_string(pin);
    }
    return "P0." + std::to_string(pin) + " (" + names.signal +
           (names.sharedSignal != nullptr ? std::string(", ") + names.sharedSignal : std::string()) + ")";
}

std::string boardPinNames()
{
    std::string text;
    for (const PinNames& names : kPort0) {
        for (const char* signal : {names.signal, names.sharedSignal}) {
            if (signal != nullptr) {
                text += (text.empty() ? "" : ", ") + std::string(signal);
            }
        }
    }
    return text;
}

}  // namespace boardsim
