// The LCD over a run as an animated GIF: a frame for each change of the
// picture, shown for as long as the board showed it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

class LcdMovie {
public:
    // Keeps `frame` when it differs from the last one kept.
    void add(double seconds, const std::vector<uint8_t>& frame);
    size_t frames() const { return frames_.size(); }

    // Writes the frames kept, 4x enlarged, looping; the last one stays until
    // `end` (at least a second, so a viewer sees where the run ended). Throws
    // BoardError when there is nothing to show or the file cannot be written.
    void write(const std::string& path, double end, unsigned scale = 4) const;

private:
    struct Frame {
        double at;
        std::vector<uint8_t> pixels;
    };
    std::vector<Frame> frames_;
};

// True when animated pictures can be written (built with giflib).
bool lcdMovieSupported();

}  // namespace boardsim
