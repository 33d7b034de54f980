#include "frontends/isp/isp_session.h"

#include <chrono>

namespace boardsim {

IspOutcome serveIsp(Pty& link, std::vector<uint8_t> flash, double idleSeconds)
{
    IspBootLoader loader(std::move(flash));
    IspOutcome outcome;
    auto lastHeard = std::chrono::steady_clock::now();
    while (!loader.started()) {
        const std::string bytes = link.read(50);
        const auto now = std::chrono::steady_clock::now();
        if (bytes.empty()) {
            if (std::chrono::duration<double>(now - lastHeard).count() > idleSeconds) {
                break;
            }
            continue;
        }
        lastHeard = now;
        outcome.clientBaud = link.clientBaud();
        link.write(loader.receive(bytes));
    }
    outcome.flash = loader.flash();
    outcome.started = loader.started();
    outcome.startAddress = loader.startAddress();
    outcome.thumb = loader.startThumb();
    outcome.crystalKhz = loader.crystalKhz();
    return outcome;
}

}  // namespace boardsim
