// Calls of watched functions: a call is seen at the function's first
// instruction, its return when the saved return address runs again with the
// stack as it was at the call (so a recursive or re-entered call does not
// end the outer one early).
#pragma once

#include <cstdint>
#include <vector>

namespace boardsim {

class CallTracker {
public:
    void entered(uint32_t function, uint32_t returnAddress, uint32_t stackPointer)
    {
        pending_.push_back({function, returnAddress, stackPointer});
    }

    // Cheap test for every instruction: could `address` end a call?
    bool returnDue(uint32_t address) const { return !pending_.empty() && pending_.back().returnAddress == address; }

    // The functions that return at `address` with stack `stackPointer`,
    // innermost first. A tail call leaves two returning to the same place.
    std::vector<uint32_t> returned(uint32_t address, uint32_t stackPointer);

private:
    struct Pending {
        uint32_t function;
        uint32_t returnAddress;
        uint32_t stackPointer;
    };
    std::vector<Pending> pending_;
};

}  // namespace boardsim
