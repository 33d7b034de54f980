#include "core/call_tracker.h"

namespace boardsim {

std::vector<uint32_t> CallTracker::returned(uint32_t address, uint32_t stackPointer)
{
    std::vector<uint32_t> functions;
    while (!pending_.empty() && pending_.back().returnAddress == address &&
           pending_.back().stackPointer == stackPointer) {
        functions.push_back(pending_.back().function);
        pending_.pop_back();
    }
    return functions;
}

}  // namespace boardsim
