// libFuzzer harness of the GDB protocol layer on a fake target: whatever
// bytes arrive, cut into reads as TCP may cut them, the session answers with
// acknowledgements and well-formed packets only, never more than its own
// packet size allows, and neither crashes, throws nor reports to the
// sanitizers. The first input byte chooses the read size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/fake_gdb_target.h"
#include "frontends/gdb/gdb_packets.h"

namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "gdb_packet_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    boardsim::testing::FakeGdbTarget target;
    target.memory.resize(0x400);
    target.stop = boardsim::GdbStop{boardsim::kSigSegv, boardsim::GdbStop::WriteWatch, 0x40000004, "a $#}* fault\n"};
    boardsim::GdbSession session(target);
    const size_t chunk = data[0] % 64 + 1;
    std::string out;
    for (size_t at = 1; at < size && session.end() == boardsim::GdbSession::End::None; at += chunk) {
        const size_t take = std::min(chunk, size - at);
        out += session.feed(std::string_view(reinterpret_cast<const char*>(data + at), take));
        if (session.running()) {
            target.advancesBeforeStop = int(data[at] % 3);
            for (int polls = 0; session.running() && polls < 4; ++polls) {
                out += session.poll();
            }
            if (session.running()) {
                finding("a run did not end when the target stopped");
            }
        }
    }
    std::string acks;
    std::vector<std::string> payloads;
    if (!boardsim::testing::splitOutput(out, acks, payloads)) {
        finding("the session sent something other than acknowledgements and well-formed packets");
    }
    for (const std::string& payload : payloads) {
        // The longest reply is a memory read's hex, or a console message.
        if (payload.size() > boardsim::kGdbPacketSize + 64) {
            finding("a reply longer than the packet size");
        }
    }
    return 0;
}
