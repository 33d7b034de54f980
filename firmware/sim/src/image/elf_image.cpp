#include "image/elf_image.h"

#include <elf.h>

#include <cxxabi.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace boardsim {
namespace {

template <typename T>
T readAt(const std::vector<uint8_t>& bytes, uint64_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        throw ElfError("truncated ELF file (structure at offset " + std::to_string(offset) + ")");
    }
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::string readName(const std::vector<uint8_t>& bytes, uint64_t tableOffset, uint64_t tableSize,
                     uint32_t index)
{
    if (index >= tableSize || tableOffset + tableSize > bytes.size()) {
        throw ElfError("string index out of its table");
    }
    const char* start = reinterpret_cast<const char*>(bytes.data() + tableOffset + index);
    return std::string(start, strnlen(start, tableSize - index));
}

void checkHeader(const Elf32_Ehdr& header)
{
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        throw ElfError("not an ELF file");
    }
    if (header.e_ident[EI_CLASS] != ELFCLASS32 || header.e_ident[EI_DATA] != ELFDATA2LSB) {
        throw ElfError("not a 32-bit little-endian ELF file");
    }
    if (header.e_machine != EM_ARM) {
        throw ElfError("not an ARM executable (e_machine " + std::to_string(header.e_machine) + ")");
    }
    if (header.e_type != ET_EXEC) {
        throw ElfError("not a linked executable");
    }
}

// "KeyGetPress()" -> "KeyGetPress"; names that are no C++ names stay as they are.
std::string demangled(const std::string& name)
{
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> text(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), &std::free);
    if (status != 0 || !text) {
        return name;
    }
    std::string shown = text.get();
    const size_t parameters = shown.find('(');
    return parameters == std::string::npos ? shown : shown.substr(0, parameters);
}

std::string withoutParameters(const std::string& name)
{
    const size_t parameters = name.find('(');
    return parameters == std::string::npos ? name : name.substr(0, parameters);
}

// An image is a few kilobytes; anything near this is not one.
constexpr long kLargestImage = 64L * 1024 * 1024;

std::vector<uint8_t> readWholeFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        throw ElfError("cannot open " + path + ": " + std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        throw ElfError("cannot read " + path + ": is a directory");
    }
    const std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        throw ElfError("cannot open " + path + ": " + std::strerror(errno));
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes.insert(bytes.end(), block, block + got);
        if (bytes.size() > size_t(kLargestImage)) {
            throw ElfError(path + ": not an image of this board (larger than 64 MiB)");
        }
    }
    if (std::ferror(file.get())) {
        throw ElfError("cannot read " + path + ": " + std::strerror(errno));
    }
    return bytes;
}

}  // namespace

ElfImage ElfImage::fromFile(const std::string& path)
{
    const std::vector<uint8_t> bytes = readWholeFile(path);
    try {
        return fromBytes(bytes);
    } catch (const ElfError& e) {
        throw ElfError(path + ": " + e.what());
    }
}

ElfImage ElfImage::fromBytes(const std::vector<uint8_t>& bytes)
{
    ElfImage image;
    if (bytes.size() < SELFMAG || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0) {
        throw ElfError("not an ELF file");
    }
    const auto header = readAt<Elf32_Ehdr>(bytes, 0);
    checkHeader(header);
    image.entry_ = header.e_entry;
    image.readSegments(bytes, header);
    image.readSections(bytes, header);
    return image;
}

void ElfImage::readSegments(const std::vector<uint8_t>& bytes, const Elf32_Ehdr& header)
{
    // Any other entry size would read the same bytes as many headers: with
    // 0, a small file could claim 65535 copies of its largest segment.
    if (header.e_phnum != 0 && header.e_phentsize != sizeof(Elf32_Phdr)) {
        throw ElfError("program header entries of " + std::to_string(header.e_phentsize) + " bytes, not " +
                       std::to_string(sizeof(Elf32_Phdr)));
    }
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        const auto ph = readAt<Elf32_Phdr>(bytes, header.e_phoff + uint64_t(i) * header.e_phentsize);
        if (ph.p_type != PT_LOAD || ph.p_filesz == 0) {
            continue;  // nothing to program (e.g. .bss, stacks)
        }
        if (uint64_t(ph.p_offset) + ph.p_filesz > bytes.size()) {
            throw ElfError("segment runs past the end of the file");
        }
        LoadChunk chunk;
        chunk.address = ph.p_paddr;
        chunk.bytes.assign(bytes.begin() + ph.p_offset, bytes.begin() + ph.p_offset + ph.p_filesz);
        chunks_.push_back(std::move(chunk));
    }
}

void ElfImage::readSections(const std::vector<uint8_t>& bytes, const Elf32_Ehdr& header)
{
    if (header.e_shnum == 0) {
        return;  // stripped of sections: no symbols, no section sizes
    }
    if (header.e_shentsize != sizeof(Elf32_Shdr)) {
        throw ElfError("section header entries of " + std::to_string(header.e_shentsize) + " bytes, not " +
                       std::to_string(sizeof(Elf32_Shdr)));
    }
    std::vector<Elf32_Shdr> shdrs;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        shdrs.push_back(readAt<Elf32_Shdr>(bytes, header.e_shoff + uint64_t(i) * header.e_shentsize));
    }
    if (header.e_shstrndx >= shdrs.size()) {
        throw ElfError("bad section name table index");
    }
    const Elf32_Shdr& names = shdrs[header.e_shstrndx];
    for (const Elf32_Shdr& sh : shdrs) {
        if (sh.sh_type == SHT_NULL) {
            continue;
        }
        Section section;
        section.name = readName(bytes, names.sh_offset, names.sh_size, sh.sh_name);
        section.address = sh.sh_addr;
        section.size = sh.sh_size;
        section.allocated = (sh.sh_flags & SHF_ALLOC) != 0;
        section.occupiesFile = sh.sh_type != SHT_NOBITS;
        section.executable = (sh.sh_flags & SHF_EXECINSTR) != 0;
        sections_.push_back(section);
        if (sh.sh_type == SHT_SYMTAB) {
            if (sh.sh_link >= shdrs.size() || sh.sh_entsize != sizeof(Elf32_Sym)) {
                throw ElfError("malformed symbol table");
            }
            readSymbols(bytes, sh, shdrs[sh.sh_link]);
        }
    }
}

void ElfImage::readSymbols(const std::vector<uint8_t>& bytes, const Elf32_Shdr& table, const Elf32_Shdr& strings)
{
    for (uint32_t off = 0; off + sizeof(Elf32_Sym) <= table.sh_size; off += sizeof(Elf32_Sym)) {
        const auto sym = readAt<Elf32_Sym>(bytes, uint64_t(table.sh_offset) + off);
        const unsigned type = ELF32_ST_TYPE(sym.st_info);
        if (sym.st_name == 0 || sym.st_shndx == SHN_UNDEF || sym.st_shndx == SHN_ABS ||
            (type != STT_FUNC && type != STT_OBJECT && type != STT_NOTYPE)) {
            continue;
        }
        Symbol symbol;
        symbol.name = readName(bytes, strings.sh_offset, strings.sh_size, sym.st_name);
        if (symbol.name.empty() || symbol.name[0] == '$') {
            continue;  // ARM mapping symbols ($a, $d, $t)
        }
        symbol.shownName = demangled(symbol.name);
        symbol.isFunction = type == STT_FUNC;
        symbol.address = symbol.isFunction ? (sym.st_value & ~1u) : sym.st_value;
        symbol.size = sym.st_size;
        symbols_.push_back(std::move(symbol));
    }
}

std::optional<Symbol> ElfImage::find(const std::string& name) const
{
    const std::string plain = withoutParameters(name);
    const auto found = std::find_if(symbols_.begin(), symbols_.end(), [&](const Symbol& symbol) {
        return symbol.name == name || symbol.shownName == plain;
    });
    return found == symbols_.end() ? std::nullopt : std::optional<Symbol>(*found);
}

std::string ElfImage::describe(uint32_t address) const
{
    const Symbol* best = nullptr;
    uint32_t nearestStart = 0;  // of any symbol at or below the address
    for (const Symbol& s : symbols_) {
        if (s.address > address) {
            continue;
        }
        nearestStart = std::max(nearestStart, s.address);
        const bool inside = s.size == 0 || address - s.address < s.size;
        if (inside && (best == nullptr || s.address > best->address)) {
            best = &s;
        }
    }
    if (best == nullptr) {
        return {};
    }
    if (address == best->address) {
        return best->shownName;
    }
    if (best->size == 0) {
        // An unsized symbol (an assembler label) covers the code that
        // follows it up to the next symbol, within its own section: not
        // what lies past a function's end, nor erased flash after the
        // image (which an end-of-section label would otherwise claim).
        const Section* section = sectionAt(address);
        if (nearestStart != best->address || section == nullptr || section != sectionAt(best->address)) {
            return {};
        }
    }
    char offset[16];
    std::snprintf(offset, sizeof offset, "+0x%x", address - best->address);
    return best->shownName + offset;
}

const Section* ElfImage::sectionAt(uint32_t address) const
{
    const auto found = std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) {
        return s.allocated && address >= s.address && address - s.address < s.size;
    });
    return found == sections_.end() ? nullptr : &*found;
}

}  // namespace boardsim
