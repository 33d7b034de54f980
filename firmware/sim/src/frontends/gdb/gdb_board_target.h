// The board as gdb's target: registers, RAM and flash, breakpoints and
// watchpoints, runs in slices (so that gdb's interrupt is seen), faults
// as signals, and the monitor commands.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "machine/board.h"
#include "frontends/gdb/gdb_packets.h"
#include "frontends/live/pacing.h"

namespace boardsim {

class GdbBoardTarget final : public GdbTarget {
public:
    // `prepare` sees each board built: the first one and each after a
    // monitor reset. A reset keeps the flash as it is (what gdb loaded stays
    // loaded, as on a board); "monitor reset image" puts the image's flash
    // back.
    // `speed`: runs paced to the wall clock at that many times real time;
    // none: as fast as the host goes. `retire` sees each board about to go
    // (at a monitor reset).
    GdbBoardTarget(const ElfImage& image, BoardOptions options, std::function<void(Board&)> prepare = {},
                   std::optional<double> speed = std::nullopt, std::function<void(Board&)> retire = {});

    Board& board() { return *board_; }

    uint32_t readRegister(int regnum) override;
    void writeRegister(int regnum, uint32_t value) override;
    bool readMemory(uint32_t address, size_t size, std::vector<uint8_t>& out) override;
    bool writeMemory(uint32_t address, const std::vector<uint8_t>& bytes) override;
    bool insertPoint(GdbPoint type, uint32_t address, uint32_t length) override;
    bool removePoint(GdbPoint type, uint32_t address, uint32_t length) override;
    void removeAllPoints() override;
    void resume(bool step) override;
    std::optional<GdbStop> advance() override;
    void interrupt() override { interrupted_ = true; }
    GdbStop halted() override;
    std::string monitor(const std::string& command) override;

private:
    struct Watch {
        GdbPoint type;
        uint32_t address;
        uint32_t length;
        int id;
    };

    void rebuild(std::optional<std::vector<uint8_t>> flash);
    int addWatch(GdbPoint type, uint32_t address, uint32_t length);
    GdbStop faultStop() const;
    GdbStop watchStop(const Board::DebugStop& stop) const;
    // A monitor command the target knows, with fitting arguments: its reply.
    std::optional<std::string> runMonitor(const std::string& verb, const std::vector<std::string>& args);
    std::string press(const std::vector<std::string>& args);

    const ElfImage& image_;
    BoardOptions options_;
    std::optional<std::vector<uint8_t>> imageFlash_;  // the flash the board started with
    std::function<void(Board&)> prepare_;
    std::function<void(Board&)> retire_;
    std::optional<Pacer> pacer_;
    std::unique_ptr<Board> board_;
    bool step_ = false;
    bool interrupted_ = false;
    std::set<uint32_t> breakpoints_;
    std::vector<Watch> watches_;
};

}  // namespace boardsim
