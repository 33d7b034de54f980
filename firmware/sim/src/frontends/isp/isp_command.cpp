#include "frontends/isp/isp_command.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "image/flash_image.h"
#include "frontends/isp/isp_session.h"
#include "frontends/common/output_file.h"

namespace boardsim {

void saveFlash(const std::vector<uint8_t>& flash, const std::string& path)
{
    const std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file || std::fwrite(flash.data(), 1, flash.size(), file.get()) != flash.size() ||
        std::fflush(file.get()) != 0) {
        throw OutputError("cannot write " + path + ": " + std::strerror(errno));
    }
}

bool bootThroughIsp(const ElfImage& image, const Options& options, Pty& link, BoardOptions& boardOptions)
{
    constexpr uint8_t kErased = 0xFF;
    std::vector<uint8_t> flash = image.loadChunks().empty() ? std::vector<uint8_t>(kFlashSize, kErased)
                                                            : flashContents(image, kFlashSize, kErased);
    if (!options.quiet) {
        std::printf("ISP    boot loader on %s (%s), waiting for the host\n", options.ispLink.c_str(),
                    link.device().c_str());
        std::fflush(stdout);
    }
    const IspOutcome outcome = serveIsp(link, std::move(flash), options.ispIdle);
    if (!options.quiet) {
        std::printf("ISP    host at %u baud, crystal given as %u kHz; %s\n", outcome.clientBaud, outcome.crystalKhz,
                    outcome.started ? "G: the code starts" : "the host went quiet");
        std::fflush(stdout);
    }
    if (!options.saveFlash.empty()) {
        saveFlash(outcome.flash, options.saveFlash);
    }
    if (!outcome.started && !options.resetAfterIsp) {
        return false;
    }
    boardOptions.flash = outcome.flash;
    if (outcome.started) {
        boardOptions.startAddress = outcome.startAddress;
        boardOptions.startThumb = outcome.thumb;
    }
    return true;
}

}  // namespace boardsim
