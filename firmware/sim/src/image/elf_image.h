// A 32-bit little-endian ARM ELF executable as the board sees it: the bytes
// that go into flash, where its sections sit, and its symbol table.
#pragma once

#include <elf.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace boardsim {

struct ElfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Symbol {
    std::string name;       // as in the symbol table: mangled for C++ functions
    std::string shownName;  // demangled without the parameter list: "KeyGetPress"

    uint32_t address = 0;  // Thumb bit cleared
    uint32_t size = 0;
    bool isFunction = false;
};

// Bytes stored at a load (physical) address: what a flash programmer writes.
struct LoadChunk {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

struct Section {
    std::string name;
    uint32_t address = 0;
    uint32_t size = 0;
    bool allocated = false;
    bool occupiesFile = false;  // false for .bss-like sections
    bool executable = false;
};

class ElfImage {
public:
    static ElfImage fromFile(const std::string& path);
    static ElfImage fromBytes(const std::vector<uint8_t>& bytes);

    const std::vector<LoadChunk>& loadChunks() const { return chunks_; }
    const std::vector<Section>& sections() const { return sections_; }
    const std::vector<Symbol>& symbols() const { return symbols_; }
    uint32_t entry() const { return entry_; }

    // By the name in the symbol table or its demangled form, with or without
    // the parameter list: "_Z11KeyGetPressv", "KeyGetPress()", "KeyGetPress".
    std::optional<Symbol> find(const std::string& name) const;
    // "name+0x10" (demangled) for an address inside a sized symbol, or at an
    // unsized one (a label) or after it in its section before the next
    // symbol; else an empty string.
    std::string describe(uint32_t address) const;
    // The allocated section holding `address`, if any.
    const Section* sectionAt(uint32_t address) const;

private:
    void readSegments(const std::vector<uint8_t>& bytes, const Elf32_Ehdr& header);
    void readSections(const std::vector<uint8_t>& bytes, const Elf32_Ehdr& header);
    void readSymbols(const std::vector<uint8_t>& bytes, const Elf32_Shdr& table, const Elf32_Shdr& strings);

    std::vector<LoadChunk> chunks_;
    std::vector<Section> sections_;
    std::vector<Symbol> symbols_;
    uint32_t entry_ = 0;
};

}  // namespace boardsim
