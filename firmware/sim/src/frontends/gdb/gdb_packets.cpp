#include "frontends/gdb/gdb_packets.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace boardsim {
namespace {

constexpr char kInterrupt = 0x03;
constexpr const char* kError = "E01";
// Longest memory read answered at once: its hex fills a packet of our size,
// and gdb reads the rest with the next m.
constexpr size_t kMaxRead = kGdbPacketSize / 2;
// Watched ranges beyond this are refused; gdb then falls back to stepping.
constexpr uint32_t kMaxWatchLength = 0x10000;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A 32-bit number in hex, all of `text`; addresses and lengths from gdb.
bool parseNumber(std::string_view text, uint32_t& value)
{
    while (text.size() > 1 && text.front() == '0') {
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 8) {
        return false;
    }
    uint32_t result = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            return false;
        }
        result = (result << 4) | uint32_t(digit);
    }
    value = result;
    return true;
}

// "addr,length" followed by `end` (or the end of the text when end is 0);
// `rest` is what follows `end`.
bool parseAddressLength(std::string_view args, char end, uint32_t& address, uint32_t& length,
                        std::string_view* rest = nullptr)
{
    const size_t comma = args.find(',');
    if (comma == std::string_view::npos) {
        return false;
    }
    const size_t stop = end == 0 ? args.size() : args.find(end, comma + 1);
    if (stop == std::string_view::npos) {
        return false;
    }
    if (rest != nullptr) {
        *rest = args.substr(std::min(stop + 1, args.size()));
    }
    return parseNumber(args.substr(0, comma), address) &&
           parseNumber(args.substr(comma + 1, stop - comma - 1), length);
}

// Registers go over the wire in the target's byte order: little-endian.
std::string registerHex(uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF,
                  value >> 24);
    return text;
}

bool registerFromHex(std::string_view hex, uint32_t& value)
{
    std::string bytes;
    if (hex.size() != 8 || !fromHex(hex, bytes)) {
        return false;
    }
    value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return true;
}

bool isGdbRegister(uint32_t regnum) { return regnum < 16 || regnum == uint32_t(kGdbCpsrRegnum); }

std::string hex8(uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string stopReply(const GdbStop& stop)
{
    char head[4];
    std::snprintf(head, sizeof head, "T%02x", unsigned(stop.signal) & 0xFF);
    std::string text = head;
    switch (stop.why) {
    case GdbStop::Breakpoint: text += "swbreak:;"; break;
    case GdbStop::WriteWatch: text += "watch:" + hex8(stop.dataAddress) + ";"; break;
    case GdbStop::ReadWatch: text += "rwatch:" + hex8(stop.dataAddress) + ";"; break;
    case GdbStop::AccessWatch: text += "awatch:" + hex8(stop.dataAddress) + ";"; break;
    case GdbStop::Signal: break;
    }
    return text;
}

std::string features(std::string_view args)
{
    const size_t colon = args.find(':');
    if (colon == std::string_view::npos) {
        return kError;
    }
    if (args.substr(0, colon) != "target.xml") {
        return "E00";  // no such annex
    }
    uint32_t offset = 0;
    uint32_t length = 0;
    if (!parseAddressLength(args.substr(colon + 1), 0, offset, length)) {
        return kError;
    }
    const std::string& xml = armTargetXml();
    if (offset >= xml.size()) {
        return "l";
    }
    const size_t take = std::min<size_t>({length, xml.size() - offset, kGdbPacketSize - 1});
    return (offset + take < xml.size() ? "m" : "l") + xml.substr(offset, take);
}

}  // namespace

std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

bool fromHex(std::string_view hex, std::string& bytes)
{
    if (hex.size() % 2 != 0) {
        return false;
    }
    bytes.clear();
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes += char(high * 16 + low);
    }
    return true;
}

std::string framePacket(std::string_view payload)
{
    std::string framed = "$";
    uint8_t sum = 0;
    for (const char c : payload) {
        // '*' too: gdb reads it in a reply as run-length encoding.
        if (c == '$' || c == '#' || c == '}' || c == '*') {
            framed += '}';
            framed += char(c ^ 0x20);
            sum = uint8_t(sum + '}' + (c ^ 0x20));
        } else {
            framed += c;
            sum = uint8_t(sum + static_cast<unsigned char>(c));
        }
    }
    char tail[4];
    std::snprintf(tail, sizeof tail, "#%02x", sum);
    return framed + tail;
}

const std::string& armTargetXml()
{
    static const std::string xml = [] {
        std::string text =
            "<?xml version=\"1.0\"?>\n"
            "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
            "<target version=\"1.0\">\n"
            "  <architecture>armv4t</architecture>\n"
            "  <feature name=\"org.gnu.gdb.arm.core\">\n";
        for (int r = 0; r <= 12; ++r) {
            text += "    <reg name=\"r" + std::to_string(r) + "\" bitsize=\"32\" type=\"uint32\"/>\n";
        }
        text +=
            "    <reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
            "    <reg name=\"lr\" bitsize=\"32\"/>\n"
            "    <reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>\n"
            "    <reg name=\"cpsr\" bitsize=\"32\" regnum=\"25\"/>\n"
            "  </feature>\n"
            "</target>\n";
        return text;
    }();
    return xml;
}

std::string GdbSession::feed(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        switch (state_) {
        case State::Idle: out += idleByte(c); break;
        case State::Payload: payloadByte(c); break;
        case State::Checksum1: {
            const int digit = hexDigit(c);
            // A non-hex digit leaves a claim no sum can match.
            claimed_ = uint8_t(digit < 0 ? 0 : digit << 4);
            checksumValid_ = digit >= 0;
            state_ = State::Checksum2;
            break;
        }
        case State::Checksum2: {
            const int digit = hexDigit(c);
            state_ = State::Idle;
            claimed_ = uint8_t(claimed_ | (digit < 0 ? 0 : digit));
            out += checksumValid_ && digit >= 0 ? packetReceived() : "-";
            break;
        }
        }
    }
    return out;
}

std::string GdbSession::idleByte(char c)
{
    if (c == '$') {
        startPacket();
    } else if (c == '-') {
        return lastSent_;
    } else if (c == kInterrupt && running_) {
        target_.interrupt();
    }
    // '+' and line noise between packets need nothing.
    return "";
}

void GdbSession::startPacket()
{
    state_ = State::Payload;
    packet_.clear();
    oversized_ = false;
    sum_ = 0;
}

void GdbSession::payloadByte(char c)
{
    if (c == '#') {
        state_ = State::Checksum1;
    } else if (c == '$') {
        startPacket();  // a packet cut short; what follows is a new one
    } else {
        sum_ = uint8_t(sum_ + static_cast<unsigned char>(c));
        if (packet_.size() < kGdbPacketSize) {
            packet_ += c;
        } else {
            oversized_ = true;  // counted into the checksum, not kept
        }
    }
}

std::string GdbSession::packetReceived()
{
    if (claimed_ != sum_) {
        return "-";
    }
    if (oversized_) {
        return "+" + reply(kError);
    }
    std::string packet;
    packet.reserve(packet_.size());
    for (size_t i = 0; i < packet_.size(); ++i) {
        if (packet_[i] != '}') {
            packet += packet_[i];
        } else if (i + 1 < packet_.size()) {
            packet += char(packet_[++i] ^ 0x20);
        } else {
            return "+" + reply(kError);  // an escape with nothing to escape
        }
    }
    if (running_) {
        return "+";  // gdb waits for the stop reply; nothing else is answered meanwhile
    }
    try {
        return "+" + handle(packet);
    } catch (const std::exception&) {
        // What the target could not do is an error for gdb, not the end of the session.
        return "+" + reply(kError);
    }
}

std::string GdbSession::reply(std::string_view payload)
{
    lastSent_ = framePacket(payload);
    return lastSent_;
}

std::string GdbSession::poll()
{
    if (!running_) {
        return "";
    }
    const std::optional<GdbStop> stop = target_.advance();
    if (!stop) {
        return "";
    }
    running_ = false;
    lastStop_ = *stop;
    std::string out;
    if (!stop->console.empty()) {
        out += framePacket("O" + toHex(stop->console));
    }
    return out + reply(stopReply(*stop));
}


std::string GdbSession::handle(const std::string& packet)
{
    if (packet.empty()) {
        return reply("");
    }
    const std::string_view args = std::string_view(packet).substr(1);
    switch (packet[0]) {
    case '?': return reply(stopReply(lastStop_));
    case 'g': return reply(readRegisters());
    case 'G': return reply(writeRegisters(args));
    case 'p': return reply(readRegister(args));
    case 'P': return reply(writeRegister(args));
    case 'm': return reply(readMemory(args));
    case 'M': return reply(writeMemory(args, false));
    case 'X': return reply(writeMemory(args, true));
    case 'c':
    case 's': return resumeAt(args, packet[0]);
    case 'C':
    case 'S': {
        // Csig[;addr]: the board has no signals to deliver.
        const size_t semicolon = args.find(';');
        return resumeAt(semicolon == std::string_view::npos ? "" : args.substr(semicolon + 1), char(packet[0] + 32));
    }
    case 'v': return handleVCont(packet);
    case 'Z':
    case 'z': return reply(point(packet));
    case 'q': return reply(handleQuery(packet));
    case 'H':
    case 'T': return reply("OK");  // one thread, always alive
    case 'D':
        end_ = End::Detach;
        return reply("OK");
    case 'k':
        end_ = End::Kill;
        return "";  // gdb does not wait for an answer
    default: return reply("");  // not supported
    }
}

std::string GdbSession::resumeAt(std::string_view address, char action)
{
    if (!address.empty()) {
        uint32_t pc = 0;
        if (!parseNumber(address, pc)) {
            return reply(kError);
        }
        target_.writeRegister(15, pc);
    }
    return handleResume(action);
}

std::string GdbSession::handleResume(char action)
{
    target_.resume(action == 's');
    running_ = true;
    return "";
}

std::string GdbSession::handleVCont(const std::string& packet)
{
    if (packet == "vCont?") {
        // gdb uses vCont only when c and C are both listed.
        return reply("vCont;c;C;s;S");
    }
    if (startsWith(packet, "vKill")) {
        end_ = End::Kill;
        return reply("OK");
    }
    if (!startsWith(packet, "vCont;")) {
        return reply("");
    }
    // One thread: the first action applies to it. A signal to deliver is
    // dropped, as the board has no signals.
    const char action = packet.size() > 6 ? packet[6] : '\0';
    if (action == 'c' || action == 'C') {
        return handleResume('c');
    }
    if (action == 's' || action == 'S') {
        return handleResume('s');
    }
    return reply(kError);
}

std::string GdbSession::handleQuery(const std::string& packet)
{
    if (startsWith(packet, "qSupported")) {
        char text[96];
        std::snprintf(text, sizeof text, "PacketSize=%zx;qXfer:features:read+;swbreak+", kGdbPacketSize);
        return text;
    }
    if (startsWith(packet, "qXfer:features:read:")) {
        return features(std::string_view(packet).substr(20));
    }
    if (startsWith(packet, "qRcmd,")) {
        return monitor(std::string_view(packet).substr(6));
    }
    if (packet == "qAttached") {
        return "1";  // quitting gdb detaches and leaves the simulator serving
    }
    return "";
}


std::string GdbSession::readRegisters()
{
    std::string text;
    for (int r = 0; r < 16; ++r) {
        text += registerHex(target_.readRegister(r));
    }
    return text + registerHex(target_.readRegister(kGdbCpsrRegnum));
}

std::string GdbSession::writeRegisters(std::string_view hex)
{
    if (hex.size() != size_t(kGdbRegisterCount) * 8) {
        return kError;
    }
    uint32_t values[kGdbRegisterCount];
    for (int r = 0; r < kGdbRegisterCount; ++r) {
        if (!registerFromHex(hex.substr(size_t(r) * 8, 8), values[r])) {
            return kError;
        }
    }
    for (int r = 0; r < kGdbRegisterCount; ++r) {
        target_.writeRegister(r < 16 ? r : kGdbCpsrRegnum, values[r]);
    }
    return "OK";
}

std::string GdbSession::readRegister(std::string_view args)
{
    uint32_t regnum = 0;
    if (!parseNumber(args, regnum) || !isGdbRegister(regnum)) {
        return kError;
    }
    return registerHex(target_.readRegister(int(regnum)));
}

std::string GdbSession::writeRegister(std::string_view args)
{
    const size_t equals = args.find('=');
    uint32_t regnum = 0;
    uint32_t value = 0;
    if (equals == std::string_view::npos || !parseNumber(args.substr(0, equals), regnum) || !isGdbRegister(regnum) ||
        !registerFromHex(args.substr(equals + 1), value)) {
        return kError;
    }
    target_.writeRegister(int(regnum), value);
    return "OK";
}

std::string GdbSession::readMemory(std::string_view args)
{
    uint32_t address = 0;
    uint32_t length = 0;
    if (!parseAddressLength(args, 0, address, length)) {
        return kError;
    }
    std::vector<uint8_t> bytes;
    if (!target_.readMemory(address, std::min<size_t>(length, kMaxRead), bytes)) {
        return kError;
    }
    return toHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string GdbSession::writeMemory(std::string_view args, bool binary)
{
    uint32_t address = 0;
    uint32_t length = 0;
    std::string_view data;
    if (!parseAddressLength(args, ':', address, length, &data)) {
        return kError;
    }
    std::string bytes;
    if (binary) {
        bytes = std::string(data);
    } else if (!fromHex(data, bytes)) {
        return kError;
    }
    if (bytes.size() != length) {
        return kError;
    }
    return target_.writeMemory(address, std::vector<uint8_t>(bytes.begin(), bytes.end())) ? "OK" : kError;
}

std::string GdbSession::point(const std::string& packet)
{
    // Z<type>,<addr>,<kind>[;conditions]: conditions are not offered in
    // qSupported, so anything after ';' is ignored.
    if (packet.size() < 2 || packet[1] < '0' || packet[1] > '4' || packet.size() < 3 || packet[2] != ',') {
        return "";
    }
    const auto type = GdbPoint(packet[1] - '0');
    std::string_view args = std::string_view(packet).substr(3);
    args = args.substr(0, args.find(';'));
    uint32_t address = 0;
    uint32_t kind = 0;
    if (!parseAddressLength(args, 0, address, kind)) {
        return kError;
    }
    const bool code = type == GdbPoint::Software || type == GdbPoint::Hardware;
    // Code: kind 2 is Thumb, 3 Thumb-2 (32-bit), 4 ARM. Data: a length.
    if (code ? (kind < 2 || kind > 4) : (kind == 0 || kind > kMaxWatchLength)) {
        return kError;
    }
    const bool ok = packet[0] == 'Z' ? target_.insertPoint(type, address, kind)
                                     : target_.removePoint(type, address, kind);
    return ok ? "OK" : kError;
}

std::string GdbSession::monitor(std::string_view hexCommand)
{
    std::string command;
    if (!fromHex(hexCommand, command)) {
        return kError;
    }
    const std::string output = target_.monitor(command);
    return output.empty() ? "OK" : toHex(output);
}

}  // namespace boardsim
