// A stretch of a DAC recording (dac_recording.h) as a WAV file, as
// --dac-out writes a whole run: one 32-bit float channel per output (A, B)
// in volts, sampled and held at `rate`, its first frame at `from`.
#pragma once

#include <string>

#include "frontends/signal/dac_recording.h"

namespace boardsim {

// From `from` (or the earliest moment the recording still keeps, if later)
// to `to`, seconds since reset; throws OutputError.
void writeRecordingWav(const DacRecording& recording, const std::string& path, unsigned rate, double from,
                       double to);

}  // namespace boardsim
