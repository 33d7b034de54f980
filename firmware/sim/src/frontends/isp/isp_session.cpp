#include "frontends/isp/isp_session.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "frontends/common/signals.h"

namespace boardsim {
namespace {

using Clock = std::chrono::steady_clock;

// A host that pauses this long has stopped what it was sending. lpc21isp
// sends each line whole and answers at once; it repeats its '?' every
// tenth of a second while it synchronises, so a shorter pause lets the
// boot loader give up on an abandoned transfer before the second '?'.
constexpr double kQuietSeconds = 0.05;
constexpr auto kIdleWait = std::chrono::milliseconds(20);
constexpr int kReadWaitMs = 20;

double since(Clock::time_point then)
{
    return std::chrono::duration<double>(Clock::now() - then).count();
}

// The boot loader times flash erasing and programming from the host's
// figure: one that is not the board's crystal would make a chip's flash
// timing wrong (too short a pulse programs unreliably).
void checkCrystal(unsigned khz, double crystalHz, std::ostream& notes)
{
    if (crystalHz <= 0 || std::fabs(khz - crystalHz / 1e3) < 1) {
        return;
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "boardsim: the ISP host gave the crystal as %u kHz, but the board's runs at %.1f kHz: "
                  "a real LPC2294 would time flash erasing and programming wrong\n",
                  khz, crystalHz / 1e3);
    notes << text << std::flush;
}

// The host's side of the session as the boot loader sees it.
struct Host {
    Clock::time_point lastHeard = Clock::now();
    bool connected = false;
    bool quietNoted = true;  // lineQuiet() told since it last spoke
    bool crystalChecked = false;
};

// Bytes from the host: the boot loader's reply goes back, and a crystal
// figure just given is checked.
void answer(IspBootLoader& loader, Pty& link, const std::string& bytes, Host& host,
            const IspSessionSettings& settings, std::ostream& notes)
{
    const std::string reply = loader.receive(bytes);
    if (!host.crystalChecked && loader.crystalGiven()) {
        host.crystalChecked = true;
        checkCrystal(loader.crystalKhz(), settings.crystalHz, notes);
    }
    try {
        link.write(reply);
    } catch (const std::runtime_error&) {
        // The host went away before the reply: it is lost, as on a line.
    }
}

}  // namespace

IspOutcome serveIsp(Pty& link, std::vector<uint8_t> flash, const IspSessionSettings& settings, std::ostream& notes)
{
    IspBootLoader loader(std::move(flash));
    IspOutcome outcome;
    Host host;
    while (!loader.started()) {
        if (pendingSignal() != 0) {
            outcome.signal = pendingSignal();
            break;
        }
        if (outcome.hostSpoke && since(host.lastHeard) > settings.idleSeconds) {
            break;
        }
        const bool open = link.connected();
        if (open && !host.connected) {
            loader.restart();  // a host opened the line: as a reset into ISP
            host.crystalChecked = false;
        }
        host.connected = open;
        // A closed line still gives what the host wrote before it went.
        const std::string bytes = link.read(open ? kReadWaitMs : 0);
        if (!bytes.empty()) {
            host.lastHeard = Clock::now();
            host.quietNoted = false;
            outcome.hostSpoke = true;
            outcome.clientBaud = open ? link.clientBaud() : outcome.clientBaud;
            answer(loader, link, bytes, host, settings, notes);
            continue;
        }
        if (!host.quietNoted && since(host.lastHeard) > kQuietSeconds) {
            loader.lineQuiet();
            host.quietNoted = true;
        }
        if (!open) {
            std::this_thread::sleep_for(kIdleWait);
        }
    }
    outcome.flash = loader.flash();
    outcome.started = loader.started();
    outcome.startAddress = loader.startAddress();
    outcome.thumb = loader.startThumb();
    outcome.crystalKhz = loader.crystalKhz();
    return outcome;
}

}  // namespace boardsim
