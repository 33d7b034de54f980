#include "machine/isp_boot_loader.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <sstream>

namespace boardsim {
namespace {

constexpr uint32_t kFlashSize = 256 * 1024;
constexpr uint32_t kBootBlock = 0x3E000;  // the top 8 KiB hold the boot loader
constexpr uint32_t kRamBase = 0x40000000;
constexpr uint32_t kRamSize = 16 * 1024;
// RAM the boot loader keeps for itself: its variables, and its stack below
// the top 32 bytes (which the flash commands use).
constexpr uint32_t kIspRamStart = 0x40000120;
constexpr uint32_t kIspRamEnd = 0x40000200;
constexpr uint32_t kIspStackStart = kRamBase + kRamSize - 32 - 256;
constexpr uint32_t kUnlockCode = 23130;
constexpr unsigned kLinesPerBlock = 20;
constexpr size_t kBytesPerLine = 45;
constexpr size_t kLongestLine = 200;

bool parseNumber(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull) {
        return false;
    }
    value = uint32_t(v);
    return true;
}

std::string reply(int code) { return std::to_string(code) + "\r\n"; }

bool within(uint32_t address, uint32_t count, uint64_t base, uint64_t size)
{
    return address >= base && uint64_t(address) + count <= base + size;
}

bool inFlash(uint32_t address, uint32_t count) { return within(address, count, 0, kFlashSize); }
bool inRam(uint32_t address, uint32_t count) { return within(address, count, kRamBase, kRamSize); }

// Where a download may land: RAM the boot loader does not use itself (its
// variables, its stack and the flash commands' work area at the top).
bool downloadable(uint32_t address, uint32_t count)
{
    const uint64_t end = uint64_t(address) + count;
    const bool overIspVariables = address < kIspRamEnd && end > kIspRamStart;
    return inRam(address, count) && !overIspVariables && end <= kIspStackStart;
}

bool sectorRange(uint32_t first, uint32_t last)
{
    return first <= last && last < lpc2294Sectors().size();
}

int sectorOf(uint32_t address)
{
    const auto& sectors = lpc2294Sectors();
    for (size_t i = 0; i < sectors.size(); ++i) {
        if (address >= sectors[i].start && address - sectors[i].start < sectors[i].size) {
            return int(i);
        }
    }
    return -1;
}

char sixBits(unsigned value) { return value == 0 ? '`' : char(value + 32); }

}  // namespace

const std::vector<FlashSector>& lpc2294Sectors()
{
    static const std::vector<FlashSector> sectors = [] {
        std::vector<FlashSector> list;
        uint32_t at = 0;
        for (int i = 0; i < 8; ++i, at += 0x2000) {
            list.push_back({at, 0x2000});
        }
        for (int i = 0; i < 2; ++i, at += 0x10000) {
            list.push_back({at, 0x10000});
        }
        for (int i = 0; i < 7; ++i, at += 0x2000) {
            list.push_back({at, 0x2000});
        }
        return list;
    }();
    return sectors;
}

std::string uuencodeLine(const uint8_t* bytes, size_t count)
{
    std::string line(1, char(32 + count));
    for (size_t i = 0; i < count; i += 3) {
        const unsigned b0 = bytes[i];
        const unsigned b1 = i + 1 < count ? bytes[i + 1] : 0;
        const unsigned b2 = i + 2 < count ? bytes[i + 2] : 0;
        line += sixBits(b0 >> 2);
        line += sixBits(((b0 & 0x3) << 4) | (b1 >> 4));
        line += sixBits(((b1 & 0xF) << 2) | (b2 >> 6));
        line += sixBits(b2 & 0x3F);
    }
    return line;
}

bool uudecodeLine(const std::string& line, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (line.empty()) {
        return false;
    }
    const size_t count = size_t((line[0] - 32) & 0x3F);
    const size_t groups = (count + 2) / 3;
    if (count > kBytesPerLine || line.size() < 1 + 4 * groups) {
        return false;
    }
    for (size_t g = 0; g < groups; ++g) {
        unsigned v[4];
        for (int k = 0; k < 4; ++k) {
            const auto c = static_cast<unsigned char>(line[1 + 4 * g + size_t(k)]);
            if (c < 32 || c > 96) {
                return false;
            }
            v[k] = (c - 32) & 0x3F;
        }
        const uint8_t out[3] = {uint8_t((v[0] << 2) | (v[1] >> 4)), uint8_t((v[1] << 4) | (v[2] >> 2)),
                                uint8_t((v[2] << 6) | v[3])};
        for (int k = 0; k < 3 && bytes.size() < count; ++k) {
            bytes.push_back(out[k]);
        }
    }
    return true;
}

IspBootLoader::IspBootLoader(std::vector<uint8_t> flash)
    : flash_(std::move(flash)), ram_(kRamSize, 0), prepared_(lpc2294Sectors().size(), false)
{
    flash_.resize(kFlashSize, 0xFF);
}

void IspBootLoader::restart()
{
    state_ = State::Sync;
    pending_.clear();
    abandoned_ = false;
    echo_ = true;
    unlocked_ = false;
    crystalKhz_ = 0;
    std::fill(prepared_.begin(), prepared_.end(), false);
    transferLeft_ = 0;
    block_.clear();
    blockLines_ = 0;
}

void IspBootLoader::lineQuiet()
{
    const bool transfer = state_ == State::WriteData || state_ == State::ReadAck;
    if (transfer) {
        pending_.clear();
    }
    abandoned_ = transfer || state_ == State::SyncReply;
}

// '?' is the host's auto-baud character, and no part of a command or a
// crystal figure: there it is a host starting over. Where the boot loader
// waits for "Synchronized" or is in a transfer, it may be a retry or data
// (a uuencoded line of 31 bytes begins with it), so only a host that went
// quiet there has given up on what it was doing.
bool IspBootLoader::resynchronising(char c) const
{
    if (c != '?') {
        return false;
    }
    switch (state_) {
    case State::Sync: return false;
    case State::Crystal:
    case State::Commands: return true;
    default: return abandoned_;
    }
}

std::string IspBootLoader::receive(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        if (started_) {
            break;  // the user code runs: the boot loader is gone
        }
        if (resynchronising(c)) {
            restart();
        }
        abandoned_ = false;
        if (state_ == State::Sync) {
            if (c == '?') {  // the auto-baud character
                out += "Synchronized\r\n";
                state_ = State::SyncReply;
            }
            continue;
        }
        if (echo_) {
            out += c;
        }
        if (c == '\n') {
            std::string text = pending_;
            pending_.clear();
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
            }
            line(text, out);
        } else if (pending_.size() < kLongestLine) {
            pending_ += c;
        } else {
            pending_.clear();  // too long for the command buffer: dropped
            if (state_ == State::Commands) {
                out += reply(kInvalidCommand);
            }
        }
    }
    return out;
}

void IspBootLoader::line(const std::string& text, std::string& out)
{
    switch (state_) {
    case State::SyncReply:
        if (text == "Synchronized") {
            out += "OK\r\n";
            state_ = State::Crystal;
        } else if (text.find_first_not_of('?') == std::string::npos) {
            out += "Synchronized\r\n";  // the host is still sending '?'
        } else {
            state_ = State::Sync;
        }
        break;
    case State::Crystal: {
        // The boot loader times flash writes from it; it takes any figure.
        uint32_t khz = 0;
        crystalKhz_ = parseNumber(text, khz) ? khz : 0;
        out += "OK\r\n";
        state_ = State::Commands;
        break;
    }
    case State::Commands: command(text, out); break;
    case State::WriteData: writeData(text, out); break;
    case State::ReadAck: readAck(text, out); break;
    case State::Sync: break;
    }
}

void IspBootLoader::command(const std::string& text, std::string& out)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    if (words.empty()) {
        return;
    }
    std::vector<uint32_t> args;
    bool numeric = true;
    for (size_t i = 1; i < words.size(); ++i) {
        uint32_t v = 0;
        if (parseNumber(words[i], v)) {
            args.push_back(v);
        } else if (!(words[0] == "G" && i == 2)) {
            numeric = false;
        }
    }
    const std::string& name = words[0];
    if (name.size() != 1 || std::string("UBAWRPCEMGIJKN").find(name[0]) == std::string::npos) {
        out += reply(kInvalidCommand);
        return;
    }
    if (!numeric) {
        out += reply(kParamError);
        return;
    }
    std::string extra;
    const int code = run(name[0], words, args, extra);
    out += reply(code) + extra;
    if (code == kSuccess && name == "R") {
        sendReadBlock(out);
    }
}

int IspBootLoader::run(char name, const std::vector<std::string>& words, const std::vector<uint32_t>& args,
                       std::string& extra)
{
    switch (name) {
    case 'U': return unlock(args);
    case 'B': return args.size() == 2 ? (args[1] == 1 || args[1] == 2 ? kSuccess : kInvalidStopBit) : kParamError;
    case 'A': return setEcho(args);
    case 'W': return write(args);
    case 'R': return read(args);
    case 'P': return prepare(args);
    case 'C': return copy(args);
    case 'E': return erase(args);
    case 'M': return compare(args, extra);
    case 'G': return go(words, args);
    case 'I': return blankCheck(args, extra);
    case 'J': extra = std::to_string(kLpc2294PartId) + "\r\n"; return kSuccess;
    case 'K': extra = "2\r\n1\r\n"; return kSuccess;  // boot code 1.2: minor first, then major
    default: extra = "0\r\n0\r\n0\r\n1\r\n"; return kSuccess;  // 'N': a serial number
    }
}

int IspBootLoader::unlock(const std::vector<uint32_t>& args)
{
    if (args.size() != 1 || args[0] != kUnlockCode) {
        return kInvalidCode;
    }
    unlocked_ = true;
    return kSuccess;
}

int IspBootLoader::setEcho(const std::vector<uint32_t>& args)
{
    if (args.size() != 1 || args[0] > 1) {
        return kParamError;
    }
    echo_ = args[0] == 1;
    return kSuccess;
}

int IspBootLoader::blankCheck(const std::vector<uint32_t>& args, std::string& extra)
{
    if (args.size() != 2 || !sectorRange(args[0], args[1])) {
        return kInvalidSector;
    }
    for (uint32_t s = args[0]; s <= args[1]; ++s) {
        const FlashSector& sector = lpc2294Sectors()[s];
        const auto begin = flash_.begin() + sector.start;
        const auto end = begin + sector.size;
        const auto first = std::find_if(begin, end, [](uint8_t b) { return b != 0xFF; });
        if (first != end) {
            extra = std::to_string(first - flash_.begin()) + "\r\n" + std::to_string(*first) + "\r\n";
            return kSectorNotBlank;
        }
    }
    return kSuccess;
}

uint8_t* IspBootLoader::at(uint32_t address, uint32_t count)
{
    if (inFlash(address, count)) {
        return flash_.data() + address;
    }
    if (inRam(address, count)) {
        return ram_.data() + (address - kRamBase);
    }
    return nullptr;
}

int IspBootLoader::prepare(const std::vector<uint32_t>& args)
{
    if (args.size() != 2) {
        return kParamError;
    }
    if (!sectorRange(args[0], args[1])) {
        return kInvalidSector;
    }
    for (uint32_t s = args[0]; s <= args[1]; ++s) {
        prepared_[s] = true;
    }
    return kSuccess;
}

int IspBootLoader::erase(const std::vector<uint32_t>& args)
{
    if (args.size() != 2) {
        return kParamError;
    }
    if (!unlocked_) {
        return kCmdLocked;
    }
    if (!sectorRange(args[0], args[1])) {
        return kInvalidSector;
    }
    for (uint32_t s = args[0]; s <= args[1]; ++s) {
        if (!prepared_[s]) {
            return kSectorNotPrepared;
        }
    }
    for (uint32_t s = args[0]; s <= args[1]; ++s) {
        const FlashSector& sector = lpc2294Sectors()[s];
        std::fill_n(flash_.begin() + sector.start, sector.size, uint8_t(0xFF));
    }
    std::fill(prepared_.begin(), prepared_.end(), false);  // one prepare, one erase or copy
    return kSuccess;
}

namespace {

// W and R: an address on a word boundary and a count of whole words.
int transferArguments(const std::vector<uint32_t>& args)
{
    if (args.size() != 2) {
        return IspBootLoader::kParamError;
    }
    if (args[0] % 4 != 0) {
        return IspBootLoader::kAddrError;
    }
    if (args[1] == 0 || args[1] % 4 != 0) {
        return IspBootLoader::kCountError;
    }
    return IspBootLoader::kSuccess;
}

}  // namespace

int IspBootLoader::write(const std::vector<uint32_t>& args)
{
    if (const int code = transferArguments(args); code != kSuccess) {
        return code;
    }
    if (!downloadable(args[0], args[1])) {
        return kAddrNotMapped;
    }
    transferAddress_ = args[0];
    transferLeft_ = args[1];
    block_.clear();
    blockLines_ = 0;
    state_ = State::WriteData;
    return kSuccess;
}

void IspBootLoader::writeData(const std::string& text, std::string& out)
{
    const bool checksumDue = blockLines_ == kLinesPerBlock || block_.size() >= transferLeft_;
    if (!checksumDue) {
        std::vector<uint8_t> bytes;
        if (!uudecodeLine(text, bytes)) {
            bytes.assign(1, 0xFF);  // garbage: the sum cannot match what the host sent
            block_.push_back(0);
        }
        block_.insert(block_.end(), bytes.begin(), bytes.end());
        ++blockLines_;
        return;
    }
    const uint32_t sum = std::accumulate(block_.begin(), block_.end(), uint32_t(0));
    uint32_t expected = 0;
    const bool good = parseNumber(text, expected) && expected == sum && block_.size() <= transferLeft_ + 3;
    if (good) {
        const uint32_t count = std::min<uint32_t>(uint32_t(block_.size()), transferLeft_);
        std::copy_n(block_.begin(), count, ram_.begin() + (transferAddress_ - kRamBase));
        transferAddress_ += count;
        transferLeft_ -= count;
        out += "OK\r\n";
    } else {
        out += "RESEND\r\n";
    }
    block_.clear();
    blockLines_ = 0;
    if (transferLeft_ == 0) {
        state_ = State::Commands;
    }
}

int IspBootLoader::read(const std::vector<uint32_t>& args)
{
    if (const int code = transferArguments(args); code != kSuccess) {
        return code;
    }
    if (at(args[0], args[1]) == nullptr) {
        return kAddrNotMapped;
    }
    transferAddress_ = args[0];
    transferLeft_ = args[1];
    blockStart_ = args[0];
    state_ = State::ReadAck;
    return kSuccess;
}

void IspBootLoader::sendReadBlock(std::string& out)
{
    uint32_t sum = 0;
    uint32_t address = blockStart_;
    uint32_t left = transferLeft_;
    for (unsigned lines = 0; lines < kLinesPerBlock && left > 0; ++lines) {
        const auto count = std::min<uint32_t>(left, kBytesPerLine);
        const uint8_t* bytes = at(address, count);
        for (uint32_t i = 0; i < count; ++i) {
            sum += bytes[i];
        }
        out += uuencodeLine(bytes, count) + "\r\n";
        address += count;
        left -= count;
    }
    out += std::to_string(sum) + "\r\n";
    transferAddress_ = address;
}

void IspBootLoader::readAck(const std::string& text, std::string& out)
{
    if (text == "OK") {
        transferLeft_ -= transferAddress_ - blockStart_;
        blockStart_ = transferAddress_;
        if (transferLeft_ == 0) {
            state_ = State::Commands;
            return;
        }
    }
    sendReadBlock(out);  // the next block, or this one again on RESEND
}

int IspBootLoader::copy(const std::vector<uint32_t>& args)
{
    static const uint32_t kCounts[] = {256, 512, 1024, 4096, 8192};
    if (args.size() != 3) {
        return kParamError;
    }
    if (!unlocked_) {
        return kCmdLocked;
    }
    const uint32_t dst = args[0];
    const uint32_t src = args[1];
    const uint32_t count = args[2];
    if (dst % 256 != 0) {
        return kDstAddrError;
    }
    if (src % 4 != 0) {
        return kSrcAddrError;
    }
    if (std::find(std::begin(kCounts), std::end(kCounts), count) == std::end(kCounts)) {
        return kCountError;
    }
    if (dst >= kBootBlock || count > kBootBlock - dst) {
        return kDstAddrNotMapped;  // the boot block is not the user's
    }
    if (!inRam(src, count)) {
        return kSrcAddrNotMapped;
    }
    for (uint32_t a = dst; a < dst + count; a += 256) {
        if (!prepared_[size_t(sectorOf(a))]) {
            return kSectorNotPrepared;
        }
    }
    // Programming only clears bits: unerased flash keeps its zeros.
    for (uint32_t i = 0; i < count; ++i) {
        flash_[dst + i] &= ram_[src - kRamBase + i];
    }
    std::fill(prepared_.begin(), prepared_.end(), false);
    return kSuccess;
}

int IspBootLoader::compare(const std::vector<uint32_t>& args, std::string& extra)
{
    if (args.size() != 3) {
        return kParamError;
    }
    if (args[0] % 4 != 0) {
        return kDstAddrError;
    }
    if (args[1] % 4 != 0) {
        return kSrcAddrError;
    }
    if (args[2] % 4 != 0) {
        return kCountError;
    }
    const uint8_t* a = at(args[0], args[2]);
    const uint8_t* b = at(args[1], args[2]);
    if (a == nullptr) {
        return kDstAddrNotMapped;
    }
    if (b == nullptr) {
        return kSrcAddrNotMapped;
    }
    for (uint32_t i = 0; i < args[2]; ++i) {
        if (a[i] != b[i]) {
            extra = std::to_string(i & ~3u) + "\r\n";
            return kCompareError;
        }
    }
    return kSuccess;
}

int IspBootLoader::go(const std::vector<std::string>& words, const std::vector<uint32_t>& args)
{
    if (args.empty() || words.size() != 3 || (words[2] != "A" && words[2] != "T")) {
        return kParamError;
    }
    if (!unlocked_) {
        return kCmdLocked;
    }
    const bool thumb = words[2] == "T";
    if (args[0] % (thumb ? 2 : 4) != 0) {
        return kAddrError;
    }
    if (at(args[0], 4) == nullptr) {
        return kAddrNotMapped;
    }
    started_ = true;
    startAddress_ = args[0];
    startThumb_ = thumb;
    return kSuccess;
}

}  // namespace boardsim
