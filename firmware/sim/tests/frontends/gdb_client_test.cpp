// boardsim --gdb with the real gdb-multiarch in batch mode, and with a bare
// socket for what batch gdb cannot do: interrupt a run, hang up in the
// middle of one, send malformed packets. Every gdb runs under timeout(1) and
// every stub is killed when its test ends, so nothing here can hang.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "frontends/gdb/gdb_packets.h"
#include "support/child_process.h"
#include "support/image_patch.h"
#include "support/logic_analyzer.h"

using boardsim::testing::CommandResult;
using boardsim::testing::contains;
using boardsim::testing::slurp;
using boardsim::testing::ScratchDir;

namespace {

using Clock = std::chrono::steady_clock;

// boardsim IMAGE --gdb 0, for the length of a test.
class Stub {
public:
    explicit Stub(const std::string& image, const std::vector<std::string>& options = {})
        : child_(arguments(image, options))
    {
        const std::regex waiting("waiting for gdb on 127\\.0\\.0\\.1:([0-9]+)");
        boardsim::testing::waitFor(
            [&] {
                std::smatch match;
                const std::string text = child_.err();
                if (std::regex_search(text, match, waiting)) {
                    port_ = std::stoi(match[1]);
                }
                return port_ != 0;
            },
            std::chrono::seconds(20));
    }

    int port() const { return port_; }
    std::string err() const { return child_.err(); }
    std::string out() const { return child_.out(); }
    // The exit status once it has ended (-1 for a signal), or nothing when
    // it still runs after `seconds`.
    std::optional<int> exitStatus(int seconds) { return child_.exitStatus(seconds); }

private:
    static std::vector<std::string> arguments(const std::string& image, const std::vector<std::string>& options)
    {
        std::vector<std::string> args = {BOARDSIM_EXE, image, "--gdb", "0"};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    boardsim::testing::Child child_;
    int port_ = 0;
};

CommandResult gdb(const Stub& stub, const std::vector<std::string>& commands, const std::string& image = FIRMWARE_ELF)
{
    std::vector<std::string> args = {TIMEOUT_EXE, "-k", "5", "60", GDB_EXE, "-batch", "-nx",
                                     "-ex", "set architecture arm",
                                     "-ex", "target remote 127.0.0.1:" + std::to_string(stub.port())};
    for (const std::string& command : commands) {
        args.push_back("-ex");
        args.push_back(command);
    }
    args.push_back(image);
    CommandResult result = boardsim::testing::runCommand(args);
    // Batch gdb prints the target's console and monitor output on stderr.
    result.out += result.err;
    return result;
}

// The figures of each "N instructions since reset" gdb printed.
std::vector<uint64_t> times(const std::string& out)
{
    std::vector<uint64_t> found;
    const std::regex line("([0-9]+) instructions since reset");
    for (auto at = std::sregex_iterator(out.begin(), out.end(), line); at != std::sregex_iterator(); ++at) {
        found.push_back(std::stoull((*at)[1]));
    }
    return found;
}

// A bare connection to the stub.
class Connection {
public:
    explicit Connection(int port)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Connection() { close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool connected() const { return connected_; }
    void send(const std::string& bytes) const { ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size())); }
    // What arrives until `enough` holds or `millis` have passed.
    std::string receive(const std::function<bool(const std::string&)>& enough, int millis = 10'000) const
    {
        std::string got;
        for (const auto until = Clock::now() + std::chrono::milliseconds(millis);
             !enough(got) && Clock::now() < until;) {
            pollfd ready{fd_, POLLIN, 0};
            if (poll(&ready, 1, 50) == 1) {
                char buffer[4096];
                const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                got.append(buffer, size_t(n));
            }
        }
        return got;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

std::string packet(const std::string& payload) { return boardsim::framePacket(payload); }

// The number of the first line of the firmware's main.cpp that holds `text`.
int mainLine(const std::string& text)
{
    std::istringstream source(slurp(std::string(FIRMWARE_SOURCE_DIR) + "/src/main.cpp"));
    int number = 1;
    for (std::string line; std::getline(source, line); ++number) {
        if (contains(line, text)) {
            return number;
        }
    }
    return 0;
}

auto endsPacket = [](const std::string& got) { return got.size() >= 3 && got[got.size() - 3] == '#'; };

}  // namespace

TEST(GdbClient, BreakpointRegistersMemoryStepAndKill)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    const CommandResult r = gdb(stub, {"break DelayMs", "continue", "p $r0", "p/x $cpsr & 0x1f", "info registers cpsr",
                                       "x/2xw 0", "p $pc", "stepi", "p $pc", "kill"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Breakpoint 1, DelayMs (dly=dly@entry=200) at ")) << r.out;
    EXPECT_TRUE(contains(r.out, "$1 = 200")) << r.out;           // the heartbeat's DelayMs(200)
    EXPECT_TRUE(contains(r.out, "$2 = 0x1f")) << r.out;          // main runs in System mode
    EXPECT_TRUE(std::regex_search(r.out, std::regex("cpsr +0x[0-9a-f]*5f"))) << r.out;
    EXPECT_TRUE(contains(r.out, "0xe59ff018\t0xe59ff018")) << r.out;  // the vectors: ldr pc, [pc, #24]
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\\$3 = .* <DelayMs\\(INT32U\\)>\n"))) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\\$4 = .* <DelayMs\\(INT32U\\)\\+4>\n"))) << r.out;
    EXPECT_TRUE(contains(r.out, "[Inferior 1 (Remote target) killed]")) << r.out;
    EXPECT_EQ(stub.exitStatus(10), 0) << stub.err();
}

// The image carries its debug information: gdb knows source lines, frames,
// arguments and C++ variables by name.
TEST(GdbClient, SourceLevelSessionInMainAndDelayMs)
{
    const int ledOff = mainLine("IO0CLR = SysLED;");
    ASSERT_GT(ledOff, 0);
    const std::string at = "main.cpp:" + std::to_string(ledOff);
    const auto line = [](int n) { return std::to_string(n); };
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    const CommandResult r = gdb(stub, {"break " + at, "continue", "next", "step", "bt", "info args", "finish",
                                       "print Greeting", "print sizeof(LcdFrame)", "call DelayMs(1)",
                                       "print $pc - (char*)&main", "detach"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("Breakpoint 1, main \\(\\) at \\S*/" + at + "\n"))) << r.out;
    EXPECT_TRUE(contains(r.out, "\n" + line(ledOff + 1) + "\t        DelayMs(200);")) << r.out;  // next
    // step: into DelayMs, whose argument gdb names; bt from inside it.
    const std::string inDelay = "DelayMs \\(dly=dly@entry=200\\) at \\S*/main.cpp:[0-9]+\n";
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n" + inDelay))) << r.out;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("#0  " + inDelay + "#1  0x[0-9a-f]+ in main \\(\\) at \\S*/main.cpp:" + line(ledOff + 1))))
        << r.out;
    EXPECT_TRUE(contains(r.out, "\ndly = 200\n")) << r.out;  // info args
    // finish: back in main, on the line after the call.
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nmain \\(\\) at \\S*/main.cpp:" + line(ledOff + 2) + "\n")))
        << r.out;
    EXPECT_TRUE(contains(r.out, "$1 = \"Hello my first UART pro\\n\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "$2 = 504")) << r.out;
    // The call ran and came back to where gdb was, in main.
    const std::smatch offset = [&] {
        std::smatch m;
        std::regex_search(r.out, m, std::regex("\\$3 = ([0-9]+)\n"));
        return m;
    }();
    ASSERT_FALSE(offset.empty()) << r.out;
    EXPECT_GT(std::stoi(offset[1]), 0);
    EXPECT_FALSE(contains(r.out, "rror")) << r.out;
}

// gdb's load programs the flash, and a reset keeps it: load, monitor reset,
// continue runs what was loaded, as with a JTAG probe on the board.
// "monitor reset image" puts the image boardsim started with back.
TEST(GdbClient, LoadThenResetRunsWhatWasLoaded)
{
    const ScratchDir dir;
    const std::string loaded = dir.file("loaded.elf");
    boardsim::testing::patchText(FIRMWARE_ELF, loaded, "Hello my first UART pro\n", "Loaded over gdb, hello!\n");
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    const CommandResult r =
        gdb(stub,
            {"load", "compare-sections", "monitor reset", "compare-sections", "break DealKey", "continue",
             "monitor reset image", "compare-sections", "continue", "detach"},
            loaded);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Transfer rate")) << r.out;
    EXPECT_TRUE(contains(r.out, "board reset, the flash holding the image again")) << r.out;
    // compare-sections after the load and after the reset: all matched;
    // after the reset to the image, the greeting's section differs.
    const auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = r.out.find(what); at != std::string::npos; at = r.out.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("Section .rodata, range"), 3u) << r.out;
    EXPECT_EQ(count("MIS-MATCHED"), 1u) << r.out;
    EXPECT_LT(r.out.find("Section .rodata, range"), r.out.find("MIS-MATCHED")) << r.out;
    // What the board sent: the loaded greeting, then after the reset to the
    // image its own.
    const std::string out = stub.out();
    const size_t first = out.find("UART0  \"Loaded over gdb, hello!\\n\"");
    const size_t second = out.find("UART0  \"Hello my first UART pro\\n\"");
    ASSERT_NE(first, std::string::npos) << out;
    ASSERT_NE(second, std::string::npos) << out;
    EXPECT_LT(first, second) << out;
}

// A board serves one debugger: a second gdb is refused at once, with a
// reason, and the first goes on undisturbed.
TEST(GdbClient, ASecondGdbIsRefusedAtOnceAndTheFirstGoesOn)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    const Connection first(stub.port());
    ASSERT_TRUE(first.connected());
    first.send(packet("?"));
    EXPECT_EQ(first.receive(endsPacket), "+" + packet("T05"));

    const auto start = Clock::now();
    const CommandResult second = boardsim::testing::runCommand(
        {TIMEOUT_EXE, "-k", "2", "20", GDB_EXE, "-batch", "-nx", "-ex", "set architecture arm", "-ex",
         "target remote 127.0.0.1:" + std::to_string(stub.port()), "-ex", "monitor time", FIRMWARE_ELF});
    const std::chrono::duration<double> took = Clock::now() - start;
    EXPECT_LT(took.count(), 5.0) << "the second gdb waited";
    EXPECT_TRUE(contains(second.err, "E.another gdb is attached to this board")) << second.err;
    EXPECT_FALSE(contains(second.out + second.err, "instructions since reset")) << second.out;
    EXPECT_TRUE(contains(stub.err(), "boardsim: refused another gdb: one is attached already")) << stub.err();

    first.send("+" + packet("?"));
    EXPECT_EQ(first.receive(endsPacket), "+" + packet("T05")) << "the first gdb lost the board";
}

// Under gdb the board runs as fast as the host goes unless --speed asks for
// pacing: then a continue takes as long in wall time as the board's time
// at that speed.
TEST(GdbClient, SpeedPacesContinue)
{
    constexpr double kSpeed = 0.02;
    Stub stub(FIRMWARE_ELF, {"--speed", "0.02"});
    ASSERT_NE(stub.port(), 0) << stub.err();
    const auto start = Clock::now();
    const CommandResult r = gdb(stub, {"break DelayMs", "continue", "continue", "continue", "monitor time", "kill"});
    const std::chrono::duration<double> took = Clock::now() - start;
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch shown;
    ASSERT_TRUE(std::regex_search(r.out, shown, std::regex("instructions since reset, ([0-9.]+) ms"))) << r.out;
    const double boardSeconds = std::stod(shown[1]) / 1e3;
    EXPECT_GT(boardSeconds, 0.01);  // three DelayMs calls: past the start-up and a heartbeat
    EXPECT_GT(took.count(), 0.9 * boardSeconds / kSpeed) << boardSeconds << " s of board time";
}

TEST(GdbClient, APortInUseIsAnErrorBeforeAnythingRuns)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    const CommandResult second =
        boardsim::testing::runCommand({BOARDSIM_EXE, FIRMWARE_ELF, "--gdb", std::to_string(stub.port())});
    EXPECT_EQ(second.status, 1);
    EXPECT_TRUE(contains(second.err, "cannot listen on 127.0.0.1:" + std::to_string(stub.port()))) << second.err;
    EXPECT_EQ(second.out, "");
}

TEST(GdbClient, RegisterWriteTakesEffect)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    // DelayMs(1) instead of DelayMs(200); main's second DelayMs of the pass
    // reuses r0, so it gets 1 too. The next pass's DelayMs(200) is the
    // measure to compare with.
    const CommandResult r =
        gdb(stub, {"break DelayMs", "continue", "monitor time", "set $r0 = 1", "tbreak *$lr", "continue",
                   "monitor time", "continue", "p $r0", "continue", "p $r0", "monitor time", "tbreak *$lr",
                   "continue", "monitor time", "detach"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "$1 = 1")) << r.out;
    EXPECT_TRUE(contains(r.out, "$2 = 200")) << r.out;
    const std::vector<uint64_t> t = times(r.out);
    ASSERT_EQ(t.size(), 4u) << r.out;
    const uint64_t shortened = t[1] - t[0];
    const uint64_t whole = t[3] - t[2];
    EXPECT_GT(shortened, 0u);
    EXPECT_LT(shortened * 50, whole) << "DelayMs(1) took " << shortened << ", DelayMs(200) " << whole;
}

TEST(GdbClient, BreakpointInACountdownLoopSeesEveryTurn)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    // DelayMs's inner loop, "subs r3, r3, #1; bne": the board fast-forwards
    // such loops, but not past a breakpoint in them.
    const CommandResult r = gdb(stub, {"break *((char*)&DelayMs + 12)", "continue", "continue", "p $r3", "continue",
                                       "p $r3", "continue", "p $r3", "detach"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::regex value("\\$[0-9]+ = ([0-9]+)");
    std::vector<int> counters;
    for (auto at = std::sregex_iterator(r.out.begin(), r.out.end(), value); at != std::sregex_iterator(); ++at) {
        counters.push_back(std::stoi((*at)[1]));
    }
    ASSERT_EQ(counters.size(), 3u) << r.out;
    EXPECT_EQ(counters[0] - counters[1], 1) << r.out;
    EXPECT_EQ(counters[1] - counters[2], 1) << r.out;
}

TEST(GdbClient, PatchedFlashRunsAsPatched)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    // One stop per pass of main's loop (DealKey's callee saves lr below
    // main's stack), with no breakpoint set, so the board fast-forwards
    // DelayMs's countdown. Then "subs r3, r3, #1" becomes "#2": each pass's
    // two DelayMs(200) take half the turns.
    const CommandResult r =
        gdb(stub, {"break DelayMs", "continue", "delete", "eval \"awatch *(int*)%u\", $sp - 4", "continue",
                   "monitor time", "continue", "monitor time", "set *(int*)((char*)&DelayMs + 12) = 0xe2533002",
                   "x/i (char*)&DelayMs + 12", "continue", "monitor time", "continue", "monitor time", "detach"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "subs\tr3, r3, #2")) << r.out;
    const std::vector<uint64_t> t = times(r.out);
    ASSERT_EQ(t.size(), 4u) << r.out;
    const double before = double(t[1] - t[0]);
    const double after = double(t[3] - t[2]);
    EXPECT_GT(after, 0.45 * before) << r.out;
    EXPECT_LT(after, 0.55 * before) << r.out;
}

TEST(GdbClient, WatchpointOnLcdFrameFiresWhenTheScreenIsDrawn)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    // From main on: start-up clears the frame buffer before.
    const CommandResult r = gdb(stub, {"break main", "continue", "delete", "watch *(unsigned char(*)[504])&LcdFrame",
                                       "continue", "info symbol $pc", "detach"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Hardware watchpoint 2: *(unsigned char(*)[504])&LcdFrame")) << r.out;
    EXPECT_TRUE(contains(r.out, "Old value = ")) << r.out;
    EXPECT_TRUE(contains(r.out, "New value = ")) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("(GUI|Lcd)[A-Za-z_]* \\+ [0-9]+ in section .text"))) << r.out;
}

TEST(GdbClient, MonitorCommands)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    const ScratchDir dir;
    const std::string picture = dir.file("lcd.png");
    // gdb keeps the registers it read: after a reset it is told to forget them.
    const CommandResult r = gdb(stub, {"monitor time", "break DealKey", "continue", "monitor press 3", "monitor time",
                                       "monitor press 2 5ms", "delete", "tbreak LcdClrScrn", "continue", "monitor lcd " + picture, "monitor reset", "monitor time",
                                       "maintenance flush register-cache", "p $pc", "monitor frobnicate", "detach"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<uint64_t> t = times(r.out);
    ASSERT_EQ(t.size(), 3u) << r.out;
    EXPECT_EQ(t[0], 0u);  // gdb comes before the first instruction
    EXPECT_GT(t[1], 0u);
    EXPECT_EQ(t[2], 0u);  // after the reset
    EXPECT_TRUE(contains(r.out, "KEY_3 down at " + std::to_string(t[1]) + " (")) << r.out;
    // Held 80 ms unless told otherwise, as everywhere; a length may be a time.
    EXPECT_TRUE(contains(r.out, ", up 80ms later\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "KEY_2 down at " + std::to_string(t[1]) + " (")) << r.out;
    EXPECT_TRUE(contains(r.out, ", up 5ms later\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "0x0 <Vectors>")) << r.out;
    EXPECT_TRUE(contains(r.out, "unknown monitor command \"frobnicate\"\nmonitor commands:")) << r.out;
    EXPECT_EQ(slurp(picture).substr(0, 4), "\x89PNG");
    // The board's own report of the presses.
    EXPECT_TRUE(std::regex_search(stub.out(), std::regex(std::to_string(t[1]) + " .*KEY_3 +down"))) << stub.out();
    std::smatch down;
    std::smatch up;
    const std::string board = stub.out();
    ASSERT_TRUE(std::regex_search(board, down, std::regex("([0-9.]+) ms  KEY_2  down"))) << board;
    ASSERT_TRUE(std::regex_search(board, up, std::regex("([0-9.]+) ms  KEY_2  up"))) << board;
    EXPECT_NEAR(std::stod(up[1]) - std::stod(down[1]), 5.0, 0.001);
}

TEST(GdbClient, FaultsStopWithASignalAndTheirMessage)
{
    struct Case {
        const char* image;
        const char* signal;
        const char* mentions;
        const char* stopReply;
    };
    for (const Case& c : {Case{"probe_undefined.elf", "SIGILL", "undefined instruction", "T04"},
                          Case{"probe_unmapped_write.elf", "SIGSEGV", "unmapped address 0x80000000", "T0b"},
                          Case{"probe_erased_jump.elf", "SIGSEGV",
                               "fetch from unmapped address 0x00040000, after 1024 never-executed words", "T0b"}}) {
        const std::string image = std::string(PROBE_DIR) + "/" + c.image;
        Stub stub(image);
        ASSERT_NE(stub.port(), 0) << stub.err();
        const CommandResult r = gdb(stub, {"continue", "continue", "detach"}, image);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(contains(r.out, std::string("Program received signal ") + c.signal)) << c.image << r.out;
        EXPECT_TRUE(contains(r.out, "boardsim: fault after")) << r.out;
        EXPECT_TRUE(contains(r.out, c.mentions)) << r.out;
        EXPECT_FALSE(contains(r.out, "undefined instruction: undefined instruction")) << r.out;
        // The next gdb finds the board stopped by the fault.
        const Connection next(stub.port());
        ASSERT_TRUE(next.connected());
        next.send(packet("?"));
        EXPECT_EQ(next.receive(endsPacket), "+" + packet(c.stopReply));
    }
}

TEST(GdbClient, InterruptHangUpMidRunAndMalformedPackets)
{
    Stub stub(FIRMWARE_ELF);
    ASSERT_NE(stub.port(), 0) << stub.err();
    {
        const Connection gdbLike(stub.port());
        ASSERT_TRUE(gdbLike.connected());
        gdbLike.send("$m0,4#00");
        EXPECT_EQ(gdbLike.receive([](const std::string& got) { return !got.empty(); }), "-");
        gdbLike.send(packet(std::string(5000, 'q')));
        EXPECT_EQ(gdbLike.receive(endsPacket), "+" + packet("E01"));

        gdbLike.send(packet("c"));
        // It runs until interrupted: no stop reply on its own.
        EXPECT_EQ(gdbLike.receive(endsPacket, 300), "+");
        gdbLike.send("\x03");
        EXPECT_EQ(gdbLike.receive(endsPacket), packet("T02"));
        gdbLike.send("+" + packet("c"));
        EXPECT_EQ(gdbLike.receive(endsPacket, 300), "+");
    }  // hangs up while the board runs
    {
        // A breakpoint in DelayMs's inner loop, left behind.
        const Connection gdbLike(stub.port());
        ASSERT_TRUE(gdbLike.connected());
        gdbLike.send(packet("Z0,4c,4"));
        EXPECT_EQ(gdbLike.receive(endsPacket), "+" + packet("OK"));
    }

    // The next gdb meets none of what the others left.
    const CommandResult r = gdb(stub, {"monitor time", "break DealKey", "continue", "kill"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Breakpoint 1, DealKey () at ")) << r.out;
    EXPECT_FALSE(contains(r.out, "SIGTRAP")) << r.out;
    const std::vector<uint64_t> t = times(r.out);
    ASSERT_EQ(t.size(), 1u) << r.out;
    EXPECT_GT(t[0], 100'000u);  // the board ran while the first client had it running
    EXPECT_TRUE(contains(r.out, "[Inferior 1 (Remote target) killed]")) << r.out;
    EXPECT_EQ(stub.exitStatus(10), 0) << stub.err();
    EXPECT_TRUE(contains(stub.err(), "gdb left; waiting for gdb on 127.0.0.1:")) << stub.err();
}

// One pin trace over a gdb session: the board a monitor reset builds goes
// on along the same time axis, and gdb's kill completes the file.
TEST(GdbClient, APinTraceSpansAMonitorResetAndIsWholeWhenGdbKillsTheBoard)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    const std::string vcd = dir.file("pins.vcd");
    Stub stub(FIRMWARE_ELF, {"--vcd", vcd, "--vcd-pins", "P0_0"});
    ASSERT_NE(stub.port(), 0) << stub.err();
    // DelayMs is first called at 8.8 ms, after the greeting and the menu.
    const CommandResult r = gdb(stub, {"break DelayMs", "continue", "monitor reset",
                                       "maintenance flush register-cache", "continue", "kill"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(stub.exitStatus(10), 0) << stub.err();
    const auto bytes =
        boardsim::testing::decodeVcd(sigrok, vcd, "uart:baudrate=115200:tx=P0_0:format=ascii", "tx-data");
    const std::string greeting = "Hello my first UART pro[0A]";
    ASSERT_EQ(boardsim::testing::joined(bytes), greeting + greeting);
    // Samples of 100 ns: the second board's greeting comes as long after
    // the first one's as the first board ran (8.84 ms, to DelayMs).
    const double first = double(bytes.front().from) * 100e-9;
    const double second = double(bytes[24].from) * 100e-9;
    EXPECT_NEAR(second - first, 8.84e-3, 0.05e-3);
}
