#include "frontends/gdb/gdb_board_target.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "frontends/common/lcd_picture.h"
#include "frontends/cli/options.h"
#include "frontends/common/output_file.h"

namespace boardsim {
namespace {

// Instructions run between looks at the connection: short enough that
// gdb's interrupt takes effect at once, long enough to cost nothing.
constexpr uint64_t kSlice = 200'000;
// Wall time per slice of a paced run.
constexpr double kPacedSlice = 0.01;

CpuReg cpuRegOf(int regnum) { return regnum == kGdbCpsrRegnum ? CpuReg::CPSR : cpuReg(regnum & 15); }

int signalOf(FaultKind kind)
{
    switch (kind) {
    case FaultKind::BadAccess: return kSigSegv;
    case FaultKind::UndefinedInstruction: return kSigIll;
    case FaultKind::Other: break;
    }
    return kSigAbrt;
}

const char* kMonitorHelp =
    "monitor commands:\n"
    "  press K [HOLD]  press KEY_K (1..4) now, for HOLD: a time (80ms, the default)\n"
    "                  or a count of instructions (200k)\n"
    "  lcd FILE        write the LCD picture (PNG; .pbm for PBM)\n"
    "  reset           reset the board; the flash stays as it is (what gdb loaded)\n"
    "  reset image     reset the board with the image's own flash again\n"
    "  time            instructions executed and simulated time since reset\n";

}  // namespace

GdbBoardTarget::GdbBoardTarget(const ElfImage& image, BoardOptions options, std::function<void(Board&)> prepare,
                               std::optional<double> speed, std::function<void(Board&)> retire)
    : image_(image), options_(std::move(options)), imageFlash_(options_.flash), prepare_(std::move(prepare)),
      retire_(std::move(retire))
{
    if (speed) {
        pacer_.emplace(*speed);
    }
    rebuild(imageFlash_);
}

void GdbBoardTarget::rebuild(std::optional<std::vector<uint8_t>> flash)
{
    BoardOptions options = options_;
    options.flash = std::move(flash);
    // The board in place stays when the new one cannot start (no valid
    // user code in flash).
    auto fresh = std::make_unique<Board>(image_, options);
    if (board_ && retire_) {
        retire_(*board_);
    }
    board_ = std::move(fresh);
    // gdb believes what it inserted is still there.
    for (const uint32_t address : breakpoints_) {
        board_->setBreakpoint(address, true);
    }
    for (Watch& watch : watches_) {
        watch.id = addWatch(watch.type, watch.address, watch.length);
    }
    if (prepare_) {
        prepare_(*board_);
    }
}

uint32_t GdbBoardTarget::readRegister(int regnum)
{
    return board_->reg(cpuRegOf(regnum));
}

void GdbBoardTarget::writeRegister(int regnum, uint32_t value)
{
    board_->setReg(cpuRegOf(regnum), value);
}

bool GdbBoardTarget::readMemory(uint32_t address, size_t size, std::vector<uint8_t>& out)
{
    return board_->readPlainMemory(address, size, out);
}

bool GdbBoardTarget::writeMemory(uint32_t address, const std::vector<uint8_t>& bytes)
{
    return board_->writeMemory(address, bytes);
}

int GdbBoardTarget::addWatch(GdbPoint type, uint32_t address, uint32_t length)
{
    const bool reads = type != GdbPoint::WriteWatch;
    const bool writes = type != GdbPoint::ReadWatch;
    return board_->addWatchpoint(address, length, reads, writes);
}

bool GdbBoardTarget::insertPoint(GdbPoint type, uint32_t address, uint32_t length)
{
    if (type == GdbPoint::Software || type == GdbPoint::Hardware) {
        breakpoints_.insert(address);
        board_->setBreakpoint(address, true);
        return true;
    }
    if (uint64_t(address) + length > 0x100000000u) {
        return false;
    }
    watches_.push_back({type, address, length, addWatch(type, address, length)});
    return true;
}

bool GdbBoardTarget::removePoint(GdbPoint type, uint32_t address, uint32_t length)
{
    if (type == GdbPoint::Software || type == GdbPoint::Hardware) {
        breakpoints_.erase(address);
        board_->setBreakpoint(address, false);
        return true;
    }
    const auto at = std::find_if(watches_.begin(), watches_.end(), [&](const Watch& watch) {
        return watch.type == type && watch.address == address && watch.length == length;
    });
    if (at == watches_.end()) {
        return false;
    }
    board_->removeWatchpoint(at->id);
    watches_.erase(at);
    return true;
}

void GdbBoardTarget::removeAllPoints()
{
    for (const uint32_t address : breakpoints_) {
        board_->setBreakpoint(address, false);
    }
    breakpoints_.clear();
    for (const Watch& watch : watches_) {
        board_->removeWatchpoint(watch.id);
    }
    watches_.clear();
}

void GdbBoardTarget::resume(bool step)
{
    step_ = step;
    interrupted_ = false;
    if (pacer_) {
        pacer_->restart();  // the board stood still while gdb held it
    }
}

std::optional<GdbStop> GdbBoardTarget::advance()
{
    if (interrupted_) {
        interrupted_ = false;
        return GdbStop{kSigInt, GdbStop::Signal, 0, ""};
    }
    if (board_->fault()) {
        return faultStop();  // a faulted board stays where it stopped
    }
    StopReason reason = StopReason::Limit;
    try {
        if (pacer_ && !step_) {
            pacer_->waitFor(board_->seconds());
            reason = board_->runForDebugger(When::at(board_->seconds() + kPacedSlice * pacer_->speed()));
            pacer_->waitFor(board_->seconds());
        } else {
            reason = board_->runForDebugger(board_->instructions() + (step_ ? 1 : kSlice));
        }
    } catch (const std::exception& e) {
        return GdbStop{kSigAbrt, GdbStop::Signal, 0, std::string("boardsim: ") + e.what() + "\n"};
    }
    if (reason == StopReason::Fault) {
        return faultStop();
    }
    if (const auto& stop = board_->debugStop()) {
        if (stop->kind == Board::DebugStop::Breakpoint) {
            return GdbStop{kSigTrap, GdbStop::Breakpoint, 0, ""};
        }
        return watchStop(*stop);
    }
    if (reason == StopReason::Requested || step_) {
        return GdbStop{kSigTrap, GdbStop::Signal, 0, ""};
    }
    return std::nullopt;
}

GdbStop GdbBoardTarget::halted()
{
    // A faulted board shows its signal to every gdb that comes.
    return board_->fault() ? GdbStop{signalOf(board_->fault()->kind), GdbStop::Signal, 0, ""} : GdbStop{};
}

GdbStop GdbBoardTarget::faultStop() const
{
    const Fault& fault = *board_->fault();
    return GdbStop{signalOf(fault.kind), GdbStop::Signal, 0, "boardsim: " + fault.message() + "\n"};
}

GdbStop GdbBoardTarget::watchStop(const Board::DebugStop& stop) const
{
    const bool write = stop.kind == Board::DebugStop::WriteWatch;
    GdbStop::Why why = write ? GdbStop::WriteWatch : GdbStop::ReadWatch;
    for (const Watch& watch : watches_) {
        if (stop.address - watch.address < watch.length) {
            if (watch.type == GdbPoint::AccessWatch) {
                why = GdbStop::AccessWatch;
            } else if ((watch.type == GdbPoint::WriteWatch) == write) {
                break;
            }
        }
    }
    return GdbStop{kSigTrap, why, stop.address, ""};
}

std::string GdbBoardTarget::monitor(const std::string& command)
{
    std::istringstream words(command);
    std::string verb;
    words >> verb;
    std::vector<std::string> args;
    for (std::string word; words >> word;) {
        args.push_back(word);
    }
    if (verb.empty() || verb == "help") {
        return kMonitorHelp;
    }
    try {
        if (const auto reply = runMonitor(verb, args)) {
            return *reply;
        }
    } catch (const std::exception& e) {
        return verb + ": " + e.what() + "\n";
    }
    const bool known = verb == "press" || verb == "lcd" || verb == "reset" || verb == "time";
    return (known ? "monitor " + verb + ": wrong arguments\n" : "unknown monitor command \"" + verb + "\"\n") +
           kMonitorHelp;
}

std::optional<std::string> GdbBoardTarget::runMonitor(const std::string& verb, const std::vector<std::string>& args)
{
    if (verb == "press" && (args.size() == 1 || args.size() == 2)) {
        return press(args);
    }
    if (verb == "lcd" && args.size() == 1) {
        writeLcdPicture(board_->lcdFrame(), args[0]);
        const std::string blank = board_->lcdWhyBlank();
        return "LCD picture written to " + args[0] + (blank.empty() ? "" : "; it shows nothing: " + blank) + "\n";
    }
    if (verb == "reset" && (args.empty() || (args.size() == 1 && args[0] == "image"))) {
        const bool fromImage = !args.empty();
        rebuild(fromImage ? imageFlash_ : board_->readMemory(kFlashBase, kFlashSize));
        return std::string("board reset") + (fromImage ? ", the flash holding the image again" : "") +
               "; the next instruction is the reset vector's\n";
    }
    if (verb == "time" && args.empty()) {
        char text[96];
        std::snprintf(text, sizeof text, "%llu instructions since reset, %.3f ms\n",
                      static_cast<unsigned long long>(board_->instructions()), board_->seconds() * 1e3);
        return std::string(text);
    }
    return std::nullopt;
}

std::string GdbBoardTarget::press(const std::vector<std::string>& args)
{
    if (args[0].size() != 1 || args[0][0] < '1' || args[0][0] > '4') {
        return "press: key must be 1, 2, 3 or 4\n";
    }
    const When hold = args.size() == 2 ? parseWhen(args[1]) : defaultKeyPress();
    if (hold.isTime ? hold.seconds <= 0 : hold.count == 0) {
        return "press: a press must last a while\n";
    }
    const uint64_t now = board_->instructions();
    board_->pressKey(args[0][0] - '0', When::instructions(now), hold);
    char at[48];
    std::snprintf(at, sizeof at, " (%.3f ms)", board_->seconds() * 1e3);
    return "KEY_" + args[0] + " down at " + std::to_string(now) + at + ", up " + hold.text + " later\n";
}

}  // namespace boardsim
