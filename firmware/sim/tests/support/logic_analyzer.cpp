#include "support/logic_analyzer.h"

#include <regex>
#include <sstream>

#include "support/child_process.h"

namespace boardsim::testing {

std::vector<Annotation> decodeVcd(const std::string& sigrok, const std::string& vcd, const std::string& decoder,
                                  const std::string& annotation, const VcdInput& input, std::string* error)
{
    const std::string name = decoder.substr(0, decoder.find(':'));
    const std::string format =
        "vcd:downsample=" + std::to_string(input.downsample) + ":compress=" + std::to_string(input.compress);
    const CommandResult r = runCommand({sigrok, "-I", format, "-i", vcd, "-P",
                                        decoder, "-A", name + "=" + annotation, "--protocol-decoder-samplenum"});
    if (r.status != 0) {
        if (error != nullptr) {
            *error = r.err;
        }
        return {};
    }
    // "30000-30892 timing-1: 892.000 μs (1.121 kHz)"
    const std::regex line("^([0-9]+)-([0-9]+) [^:]+: (.*)$");
    std::vector<Annotation> found;
    std::istringstream lines(r.out);
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_match(text, match, line)) {
            found.push_back({std::stoull(match[1]), std::stoull(match[2]), match[3]});
        }
    }
    return found;
}

std::string joined(const std::vector<Annotation>& annotations, const std::string& separator)
{
    std::string text;
    for (size_t i = 0; i < annotations.size(); ++i) {
        text += (i == 0 ? std::string() : separator) + annotations[i].text;
    }
    return text;
}

}  // namespace boardsim::testing
