#include "util/when.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace boardsim {

uint64_t parseCount(const std::string& text)
{
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        ++digits;
    }
    if (digits == 0 || digits > 18) {
        throw BadValue("not a count: \"" + text + "\"");
    }
    const uint64_t value = std::stoull(text.substr(0, digits));
    const std::string suffix = text.substr(digits);
    uint64_t scale = 1;
    if (suffix == "k") {
        scale = 1'000;
    } else if (suffix == "M") {
        scale = 1'000'000;
    } else if (!suffix.empty()) {
        throw BadValue("not a count: \"" + text + "\"");
    }
    if (value > std::numeric_limits<uint64_t>::max() / scale) {
        throw BadValue("count too large: \"" + text + "\"");
    }
    return value * scale;
}

When parseWhen(const std::string& text)
{
    static const struct {
        const char* suffix;
        double scale;
    } units[] = {{"us", 1e-6}, {"ms", 1e-3}, {"s", 1.0}};
    for (const auto& unit : units) {
        const std::string suffix = unit.suffix;
        if (text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
            const std::string number = text.substr(0, text.size() - suffix.size());
            char* end = nullptr;
            const double value = std::strtod(number.c_str(), &end);
            const bool plain = number.find_first_not_of("0123456789.") == std::string::npos;
            if (number.empty() || !plain || end != number.c_str() + number.size() || !(value >= 0) || value > 1e6 ||
                !std::isdigit(static_cast<unsigned char>(number[0]))) {
                throw BadValue("not a time: \"" + text + "\"");
            }
            return {true, 0, value * unit.scale, text};
        }
    }
    return {false, parseCount(text), 0, text};
}

double parseSeconds(const std::string& text, const std::string& what)
{
    const When when = parseWhen(text);
    if (!when.isTime) {
        throw BadValue(what + " wants a time (s, ms, us), got \"" + text + "\"");
    }
    return when.seconds;
}

std::string durationText(double seconds)
{
    char text[32];
    if (seconds >= 1) {
        std::snprintf(text, sizeof text, "%.4gs", seconds);
    } else if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.4gms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.4gus", seconds * 1e6);
    }
    return text;
}

}  // namespace boardsim
