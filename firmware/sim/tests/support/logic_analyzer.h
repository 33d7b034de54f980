// The real sigrok-cli reading a VCD boardsim wrote, as an engineer's logic
// analyzer software would: a protocol decoder's annotations, each with the
// samples it spans.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim::testing {

struct Annotation {
    uint64_t from = 0;  // sample numbers: nanoseconds / the input's downsample
    uint64_t to = 0;
    std::string text;   // "48", "18.115 ms (55.203 Hz)"
};

struct VcdInput {
    unsigned downsample = 100;  // nanoseconds a sample
    // Quiet stretches longer than this many nanoseconds count as this long
    // (0: as long as they are), so that a long run decodes in moments;
    // sample numbers then no longer tell the time.
    uint64_t compress = 0;
};

// Runs `sigrok` on `vcd` with the decoder `decoder` ("uart:baudrate=115200:
// tx=P0_0") and returns the annotations of class `annotation` ("tx-data").
// `error` gets sigrok's messages when it fails (and an empty list comes back).
std::vector<Annotation> decodeVcd(const std::string& sigrok, const std::string& vcd, const std::string& decoder,
                                  const std::string& annotation, const VcdInput& input = {},
                                  std::string* error = nullptr);

// The annotations' texts joined: "Hello" from "48", "65", ... with
// format=ascii; `separator` between them.
std::string joined(const std::vector<Annotation>& annotations, const std::string& separator = "");

}  // namespace boardsim::testing
