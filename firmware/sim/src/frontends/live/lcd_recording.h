// The LCD of a running board recorded for a movie: its glass looked at
// every 10 ms of simulated time (GIF delays are in hundredths of a second)
// for as long as the recording lives.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "frontends/live/lcd_movie.h"
#include "machine/board.h"

namespace boardsim {

class LcdRecording {
public:
    // Starts looking now. Throws BoardError when movies cannot be written.
    explicit LcdRecording(Board& board);
    ~LcdRecording();
    LcdRecording(const LcdRecording&) = delete;
    LcdRecording& operator=(const LcdRecording&) = delete;

    // The glass as it is now, then the movie up to now to `path`; the
    // recording goes on. Throws BoardError when it cannot be written.
    void write(const std::string& path);

private:
    void sample();

    Board& board_;
    LcdMovie movie_;
    // The looking, rescheduled by itself; gone with the recording, so that
    // the board may outlive it.
    std::shared_ptr<std::function<void()>> sampler_;
};

}  // namespace boardsim
