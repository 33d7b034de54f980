// The LPC2294's serial (ISP) boot loader, as a byte stream in and a byte
// stream out: auto-baud synchronisation, the crystal frequency, then the
// commands of the user manual's "ISP commands" table with their return
// codes, against a model of the flash (17 sectors of user flash below the
// 8 KiB boot block) and of the RAM the host downloads into. No I/O of its
// own: a session feeds it what arrives on the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace boardsim {

struct FlashSector {
    uint32_t start;
    uint32_t size;
};

// The LPC2294's user flash sectors: 8 x 8 KiB, 2 x 64 KiB, 7 x 8 KiB.
const std::vector<FlashSector>& lpc2294Sectors();

constexpr uint32_t kLpc2294PartId = 84016915;  // 0x0501FF13

class IspBootLoader {
public:
    enum ReturnCode : int {
        kSuccess = 0,
        kInvalidCommand = 1,
        kSrcAddrError = 2,
        kDstAddrError = 3,
        kSrcAddrNotMapped = 4,
        kDstAddrNotMapped = 5,
        kCountError = 6,
        kInvalidSector = 7,
        kSectorNotBlank = 8,
        kSectorNotPrepared = 9,
        kCompareError = 10,
        kBusy = 11,
        kParamError = 12,
        kAddrError = 13,
        kAddrNotMapped = 14,
        kCmdLocked = 15,
        kInvalidCode = 16,
        kInvalidBaudRate = 17,
        kInvalidStopBit = 18,
    };

    // `flash`: the whole 256 KiB as it is when the boot loader starts.
    explicit IspBootLoader(std::vector<uint8_t> flash);

    // Takes bytes from the host; returns what the boot loader sends back.
    // A host that synchronises again (a '?' in a command or the crystal
    // figure, or after it went quiet in a transfer or the synchronisation)
    // finds the boot loader back at its start, as a reset into ISP would
    // leave it; the flash keeps what was programmed.
    std::string receive(std::string_view bytes);
    // Back to the start (auto-baud), as after a reset into ISP: what a new
    // open of the line means, where modem lines would reset the chip.
    void restart();
    // The host has said nothing for a while: a transfer (W, R) or a
    // synchronisation it left in the middle counts as abandoned, the line
    // of a transfer dropped.
    void lineQuiet();

    // After "G": where the code starts, and in which state.
    bool started() const { return started_; }
    uint32_t startAddress() const { return startAddress_; }
    bool startThumb() const { return startThumb_; }

    const std::vector<uint8_t>& flash() const { return flash_; }
    const std::vector<uint8_t>& ram() const { return ram_; }
    unsigned crystalKhz() const { return crystalKhz_; }
    // The host has given its crystal figure since the last start.
    bool crystalGiven() const { return state_ != State::Sync && state_ != State::SyncReply && state_ != State::Crystal; }

private:
    enum class State { Sync, SyncReply, Crystal, Commands, WriteData, ReadAck };

    bool resynchronising(char c) const;
    void line(const std::string& text, std::string& out);
    void command(const std::string& text, std::string& out);
    void writeData(const std::string& text, std::string& out);
    void readAck(const std::string& text, std::string& out);
    void sendReadBlock(std::string& out);

    int run(char name, const std::vector<std::string>& words, const std::vector<uint32_t>& args,
            std::string& extra);
    int unlock(const std::vector<uint32_t>& args);
    int setEcho(const std::vector<uint32_t>& args);
    int blankCheck(const std::vector<uint32_t>& args, std::string& extra);
    int prepare(const std::vector<uint32_t>& args);
    int erase(const std::vector<uint32_t>& args);
    int write(const std::vector<uint32_t>& args);
    int copy(const std::vector<uint32_t>& args);
    int compare(const std::vector<uint32_t>& args, std::string& extra);
    int read(const std::vector<uint32_t>& args);
    int go(const std::vector<std::string>& words, const std::vector<uint32_t>& args);

    uint8_t* at(uint32_t address, uint32_t count);  // flash or RAM, or null

    std::vector<uint8_t> flash_;
    std::vector<uint8_t> ram_;
    State state_ = State::Sync;
    std::string pending_;  // a line not yet ended
    bool abandoned_ = false;  // the host went quiet in the middle of a transfer or the synchronisation
    bool echo_ = true;
    bool unlocked_ = false;
    unsigned crystalKhz_ = 0;
    std::vector<bool> prepared_;

    // A download (W) or upload (R) in progress: 20 lines a block, each
    // block checked by the sum of its bytes.
    uint32_t transferAddress_ = 0;
    uint32_t transferLeft_ = 0;
    std::vector<uint8_t> block_;
    unsigned blockLines_ = 0;
    uint32_t blockStart_ = 0;

    bool started_ = false;
    uint32_t startAddress_ = 0;
    bool startThumb_ = false;
};

// The uuencoding the boot loader's W and R commands use: a length character
// (32 + count), then four characters of six bits (32 + value, '`' for 0)
// for each three bytes. Decoding returns false on a malformed line.
std::string uuencodeLine(const uint8_t* bytes, size_t count);
bool uudecodeLine(const std::string& line, std::vector<uint8_t>& bytes);

}  // namespace boardsim
