#include "frontends/common/firmware_profile.h"

#include <algorithm>

namespace boardsim {

const std::vector<std::string>& defaultWatchedFunctions()
{
    static const std::vector<std::string> names = {
        "main",      "DelayMs",    "SysVersion",    "SysAuthor",  "DealKey",        "KeySysInit", "GUI_Init",
        "Menu_Init", "UART0_Init", "UART0_SendStr", "LcdClrScrn", "WaitAnyKeyDown", "SwiHandle1"};
    return names;
}

std::vector<uint32_t> FirmwareProfile::watchedAddresses() const
{
    std::vector<uint32_t> addresses(watched.size());
    std::transform(watched.begin(), watched.end(), addresses.begin(),
                   [](const WatchedFunction& f) { return f.address; });
    return addresses;
}

FirmwareProfile readProfile(const ElfImage& image)
{
    FirmwareProfile profile;
    for (const std::string& name : defaultWatchedFunctions()) {
        if (const auto symbol = image.find(name)) {
            profile.watched.push_back({symbol->address, name});
        }
    }
    for (const char* hang : {"Undef_Hang", "PAbt_Hang", "DAbt_Hang", "Irq_Hang", "Fiq_Hang"}) {
        if (const auto symbol = image.find(hang)) {
            profile.hangs.emplace_back(symbol->address, hang);
        }
    }
    if (const auto main = image.find("main")) {
        profile.main = main->address;
    }
    if (const auto delay = image.find("DelayMs")) {
        profile.delayMs = delay->address;
    }
    return profile;
}

BoardOptions boardOptionsFor(const ElfImage& image)
{
    const FirmwareProfile profile = readProfile(image);
    BoardOptions options;
    options.watched = profile.watchedAddresses();
    options.traps = profile.hangs;
    return options;
}

}  // namespace boardsim
