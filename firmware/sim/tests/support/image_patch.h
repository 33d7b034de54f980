// Copies of firmware.elf with one thing changed, for fault tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim::testing {

// Copies the ELF file `from` to `to` with the first "bl callee" inside
// function `caller` replaced by a no-op. False when there is none.
// Copies the ELF file `from` to `to` with `words` written at `address` (a
// load address in flash). Throws when the address is in no loaded segment.
void patchWords(const std::string& from, const std::string& to, uint32_t address, const std::vector<uint32_t>& words);

// Copies the ELF file `from` to `to` with the first occurrence of the bytes
// `text` replaced by `replacement` (of the same length). Throws when there
// is none.
void patchText(const std::string& from, const std::string& to, const std::string& text,
               const std::string& replacement);

bool patchCallToNop(const std::string& from, const std::string& to, const std::string& caller,
                    const std::string& callee);

}  // namespace boardsim::testing
