// A moment of a run, or a length of one: a number of executed instructions
// ("5M") or a simulated time ("250ms"). One type for the command line, the
// engine's scheduler and the board's keys.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace boardsim {

struct When {
    bool isTime = false;
    uint64_t count = 0;    // instructions, when !isTime
    double seconds = 0;    // when isTime
    std::string text;      // as the user gave it, for messages (parseWhen)

    // Moments the program makes, many a second: no text, nothing allocated.
    static When instructions(uint64_t n) { return {false, n, 0, {}}; }
    static When at(double s) { return {true, 0, s, {}}; }
};

// A count or time that cannot be read; the message quotes it.
struct BadValue : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "5000000", "5M", "200k". Throws BadValue.
uint64_t parseCount(const std::string& text);
// A count, or a time: "2s", "250ms", "80us". Throws BadValue.
When parseWhen(const std::string& text);
// A time only ("2s", "250ms", "80us"); `what` names it in the message.
double parseSeconds(const std::string& text, const std::string& what);
// A length of time as it is written where times are read: "2s", "181.2ms",
// "80us", four significant digits.
std::string durationText(double seconds);

}  // namespace boardsim
