#include "frontends/scenario/pin_names.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "machine/lpc2294.h"

namespace boardsim {
namespace {

using Machine = Lpc2294Machine;

const std::vector<std::pair<std::string, unsigned>>& wiredPins()
{
    static const std::vector<std::pair<std::string, unsigned>> names = {
        {"TXD0", 0},
        {"RXD0", 1},
        {"LCD_SCLK", Machine::kLcdSclkPin},
        {"LCD_SDIN", Machine::kLcdSdinPin},
        {"KEY_1", Machine::kFirstKeyPin},
        {"KEY_2", Machine::kFirstKeyPin + 1},
        {"KEY_3", Machine::kFirstKeyPin + 2},
        {"KEY_4", Machine::kFirstKeyPin + 3},
        {"LCD_DC", Machine::kLcdDcPin},
        {"LCD_SCE", Machine::kLcdScePin},
        {"LCD_RES", Machine::kLcdResPin},
        {"DAC_SCLK", Machine::kDacSclkPin},
        {"DAC_DIN", Machine::kDacDinPin},
        {"DAC_CS", Machine::kDacCsPin},
        {"LED", Machine::kLedPin},
    };
    return names;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

}  // namespace

std::optional<unsigned> pinByName(const std::string& name)
{
    const std::string wanted = upper(name);
    for (const auto& [wired, pin] : wiredPins()) {
        if (wired == wanted) {
            return pin;
        }
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
    return pin < Pins::kCount ? std::optional<unsigned>(pin) : std::nullopt;
}

std::string describePin(unsigned pin)
{
    std::string names;
    for (const auto& [wired, number] : wiredPins()) {
        if (number == pin) {
            names += (names.empty() ? "" : ", ") + wired;
        }
    }
    return "P0." + std::to_string(pin) + (names.empty() ? "" : " (" + names + ")");
}

std::string boardPinNames()
{
    std::string text;
    for (const auto& entry : wiredPins()) {
        text += (text.empty() ? "" : ", ") + entry.first;
    }
    return text;
}

}  // namespace boardsim
