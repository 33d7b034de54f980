#include "support/docs_example.h"

#include <sstream>

namespace boardsim::testing {

std::vector<std::string> docsBlock(const std::string& document, const std::string& marker)
{
    std::istringstream text(slurp(document));
    std::vector<std::string> block;
    bool inside = false;
    bool found = false;
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("```", 0) == 0) {
            if (inside && found) {
                return block;
            }
            inside = !inside;
            block.clear();
            continue;
        }
        if (inside) {
            block.push_back(line);
            found = found || contains(line, marker);
        }
    }
    return {};
}

std::string lineWith(const std::vector<std::string>& lines, const std::string& marker)
{
    for (const std::string& line : lines) {
        if (contains(line, marker)) {
            return line;
        }
    }
    return "";
}

DocsFolder::DocsFolder(const std::string& boardsim, const std::string& elf, const std::string& hex)
{
    std::filesystem::create_directories(path() / "build" / "bin");
    std::filesystem::create_directories(path() / "build" / "firmware");
    std::filesystem::create_symlink(boardsim, path() / "build" / "bin" / "boardsim");
    std::filesystem::create_symlink(elf, path() / "build" / "firmware" / "firmware.elf");
    std::filesystem::create_symlink(hex, path() / "build" / "firmware" / "firmware.hex");
}

}  // namespace boardsim::testing
