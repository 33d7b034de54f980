#include "frontends/isp/isp_command.h"

#include <cstdio>
#include <iostream>
#include <string_view>

#include "image/flash_image.h"
#include "frontends/isp/isp_session.h"
#include "frontends/common/output_file.h"
#include "frontends/common/signals.h"

namespace boardsim {

void saveFlash(const std::vector<uint8_t>& flash, const std::string& path)
{
    writeOutputFile(path, std::string_view(reinterpret_cast<const char*>(flash.data()), flash.size()));
}

IspEnd bootThroughIsp(const ElfImage& image, const Options& options, Pty& link, BoardOptions& boardOptions)
{
    constexpr uint8_t kErased = 0xFF;
    std::vector<uint8_t> flash = image.loadChunks().empty() ? std::vector<uint8_t>(kFlashSize, kErased)
                                                            : flashContents(image, kFlashSize, kErased);
    if (!options.quiet) {
        std::printf("ISP    boot loader on %s (%s), waiting for the host\n", options.ispLink.c_str(),
                    link.device().c_str());
        std::fflush(stdout);
    }
    const IspSessionSettings settings{options.ispIdle, SystemControl::kFoscHz};
    const IspOutcome outcome = serveIsp(link, std::move(flash), settings, std::cerr);
    if (!outcome.hostSpoke) {
        std::fflush(stdout);
        std::cerr << "boardsim: --isp: interrupted (" << signalName(outcome.signal)
                  << ") before any host spoke to the boot loader\n";
        return IspEnd::NothingDone;
    }
    if (!options.quiet) {
        const std::string end = outcome.started  ? "G: the code starts"
                                : outcome.signal ? std::string("interrupted (") + signalName(outcome.signal) + ")"
                                                 : "the host went quiet";
        std::printf("ISP    host at %u baud, crystal given as %u kHz; %s\n", outcome.clientBaud, outcome.crystalKhz,
                    end.c_str());
        std::fflush(stdout);
    }
    if (!options.saveFlash.empty()) {
        saveFlash(outcome.flash, options.saveFlash);
    }
    if (!outcome.started && (!options.resetAfterIsp || outcome.signal != 0)) {
        return IspEnd::Done;
    }
    boardOptions.flash = outcome.flash;
    if (outcome.started) {
        boardOptions.startAddress = outcome.startAddress;
        boardOptions.startThumb = outcome.thumb;
    }
    return IspEnd::Run;
}

}  // namespace boardsim
