#include "frontends/live/lcd_recording.h"

#include "core/board_error.h"

namespace boardsim {
namespace {

constexpr double kLookEvery = 0.01;

}  // namespace

LcdRecording::LcdRecording(Board& board) : board_(board)
{
    if (!lcdMovieSupported()) {
        throw BoardError("--lcd-movie: boardsim was built without giflib");
    }
    sample();
    sampler_ = std::make_shared<std::function<void()>>();
    *sampler_ = [this, weak = std::weak_ptr<std::function<void()>>(sampler_)] {
        if (const auto again = weak.lock()) {
            sample();
            board_.scheduleAtTime(board_.seconds() + kLookEvery, *again);
        }
    };
    board_.scheduleAtTime(board_.seconds() + kLookEvery, *sampler_);
}

LcdRecording::~LcdRecording() = default;

void LcdRecording::sample()
{
    movie_.add(board_.seconds(), board_.lcdFrame());
}

void LcdRecording::write(const std::string& path)
{
    sample();
    movie_.write(path, board_.seconds());
}

}  // namespace boardsim
