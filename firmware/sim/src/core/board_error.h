// A board that cannot be built or driven as asked: a bad image, a bad request.
#pragma once

#include <stdexcept>

namespace boardsim {

struct BoardError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace boardsim
