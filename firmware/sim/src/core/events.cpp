#include "core/events.h"

#include "util/text.h"

namespace boardsim {

std::string Fault::message() const
{
    std::string text = "fault after " + std::to_string(stamp) + " instructions: " + what;
    if (!blamesInstruction) {
        return text;
    }
    text += "; instruction at " + location;
    if (instructionKnown) {
        text += " (" + hex(instruction) + ")";
    }
    return text;
}

}  // namespace boardsim
