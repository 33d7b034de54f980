// The board with someone at it: the screen in a real terminal (tmux), UART0
// on a pty read by a pty reader and by picocom, the LCD movie decoded again.
// Every child is killed and every tmux server ended when a test ends, also
// when an assertion failed on the way.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "machine/board.h"
#include "support/child_process.h"
#include "frontends/common/pty.h"

#ifdef BOARDSIM_HAVE_GIF
#include <gif_lib.h>
#endif

using boardsim::testing::Child;
using boardsim::testing::CommandResult;
using boardsim::testing::contains;
using boardsim::testing::slurp;
using boardsim::testing::waitFor;
using boardsim::testing::ScratchDir;
using namespace std::chrono_literals;

namespace {

const char* const kGreeting = "Hello my first UART pro";

// A terminal: a tmux server of its own with one session running `command`;
// the server is ended when the test ends.
class Tmux {
public:
    Tmux(std::string tmux, const std::string& command, int columns, int rows)
        : tmux_(std::move(tmux)), socket_("boardsim-test-" + std::to_string(getpid()) + "-" + std::to_string(++count_))
    {
        // UTF-8 in the terminal and the program, whatever the test's locale.
        setenv("LANG", "C.UTF-8", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        started_ = run({"-u", "-f", "/dev/null", "new-session", "-d", "-x", std::to_string(columns), "-y",
                        std::to_string(rows), "env LANG=C.UTF-8 LC_ALL=C.UTF-8 " + command})
                       .status == 0;
    }
    ~Tmux() { run({"kill-server"}); }
    Tmux(const Tmux&) = delete;
    Tmux& operator=(const Tmux&) = delete;

    bool started() const { return started_; }
    std::string capture() { return run({"capture-pane", "-p"}).out; }
    void send(const std::string& keys) { run({"send-keys", keys}); }
    bool alive() { return run({"has-session"}).status == 0; }
    // Waits until the screen shows `what`; the last capture either way.
    std::string waitForText(const std::string& what)
    {
        std::string screen;
        waitFor([&] {
            screen = capture();
            return contains(screen, what);
        });
        return screen;
    }

private:
    CommandResult run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {tmux_, "-L", socket_});
        return boardsim::testing::runCommand(args);
    }

    static inline int count_ = 0;
    std::string tmux_;
    std::string socket_;
    bool started_ = false;
};

std::string quotedShell(const std::string& word) { return "'" + word + "'"; }

// Lines [first, last) of a screen capture.
std::string lines(const std::string& screen, size_t first, size_t last)
{
    std::istringstream in(screen);
    std::string out;
    size_t n = 0;
    for (std::string line; std::getline(in, line); ++n) {
        if (n >= first && n < last) {
            out += line + "\n";
        }
    }
    return out;
}

// Opens the pty link as a terminal program would (raw) and reads until
// `want` has come or the time is up.
std::string readLink(const std::string& link, const std::string& want, int& fd)
{
    fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return "";
    }
    termios mode{};
    tcgetattr(fd, &mode);
    cfmakeraw(&mode);
    tcsetattr(fd, TCSANOW, &mode);
    std::string got;
    waitFor([&] {
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, size_t(n));
        }
        return contains(got, want);
    });
    return got;
}

}  // namespace

// The pty is UART0's line: UART1's bytes, sent between UART0's, stay off
// it also for a client that sets no line speed (and so gets the bytes as
// they were sent rather than as a receiver at its rate reads the line).
TEST(Pty, CarriesUart0sBytesOnly)
{
    const ScratchDir dir;
    const std::string link = dir.file("uart0");
    Child boardsim({BOARDSIM_EXE, TWO_UARTS_ELF, "--uart-pty", link, "--run", "0.1s"});
    ASSERT_TRUE(boardsim.started());
    ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); })) << boardsim.err();
    int fd = -1;
    std::string got = readLink(link, "ZERO\n", fd);
    const auto status = boardsim.exitStatus();
    if (fd >= 0) {
        // Whatever else reached the pty before the run ended.
        char buffer[256];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
            got.append(buffer, size_t(n));
        }
        close(fd);
    }
    ASSERT_TRUE(status) << "boardsim --uart-pty --run 0.1s did not end";
    EXPECT_EQ(*status, 0) << boardsim.err();
    EXPECT_EQ(got, "ZERO\n");
    // UART1 spoke all the same, on its own line.
    EXPECT_TRUE(contains(boardsim.out(), "UART1  \"ONE\\n\"")) << boardsim.out();
}

TEST(Pty, AReaderOfTheLinkGetsTheGreetingAndTheLinkGoesAtTheEnd)
{
    const ScratchDir dir;
    const std::string link = dir.file("uart0");
    Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link, "--run", "20M"});
    ASSERT_TRUE(boardsim.started());
    ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); })) << boardsim.err();
    // The board waits for its terminal: nothing has run yet.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(boardsim.out(), "");
    EXPECT_TRUE(contains(boardsim.err(), "the board starts when a terminal opens it")) << boardsim.err();

    int fd = -1;
    const auto opened = std::chrono::steady_clock::now();
    const std::string got = readLink(link, std::string(kGreeting) + "\n", fd);
    EXPECT_EQ(got, std::string(kGreeting) + "\n");  // once, unechoed, untranslated
    if (fd >= 0) {
        EXPECT_EQ(write(fd, "hi", 2), 2);
    }
    const auto status = boardsim.exitStatus();
    if (fd >= 0) {
        close(fd);
    }
    ASSERT_TRUE(status) << "boardsim --uart-pty --run 20M did not end";
    // Paced: 20M instructions are 0.9 s of the board's time, and take as long.
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - opened;
    EXPECT_GT(took.count(), 0.8);
    EXPECT_EQ(*status, 0) << boardsim.err();
    EXPECT_TRUE(contains(boardsim.out(), "UART0  \"Hello my first UART pro\\n\"")) << boardsim.out();
    EXPECT_TRUE(contains(boardsim.out(), "stop   end of the run (--run 20M)")) << boardsim.out();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(Pty, AnInterruptedRunRemovesItsLinkAStaleLinkIsReplacedAndAFileInTheWayIsLeftAlone)
{
    const ScratchDir dir;
    const std::string link = dir.file("uart0");
    {
        // With a pin trace, whole though the board never left reset.
        Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link, "--vcd", dir.file("pins.vcd")});
        ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); })) << boardsim.err();
        boardsim.signal(SIGTERM);
        const auto status = boardsim.exitStatus();
        ASSERT_TRUE(status) << "SIGTERM did not end boardsim";
        EXPECT_EQ(*status, 0) << boardsim.err();
        EXPECT_TRUE(contains(boardsim.out(), "stop   interrupted (SIGTERM)")) << boardsim.out();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
        const std::string trace = slurp(dir.file("pins.vcd"));
        EXPECT_TRUE(contains(trace, "$dumpvars")) << trace;
        std::filesystem::remove(dir.file("pins.vcd"));
    }
    // A link a killed run left behind points to a pty that is gone.
    std::filesystem::create_symlink("/dev/pts/no-such-pty", link);
    {
        Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link});
        // (Between the stale link's removal and the new one, there is none.)
        ASSERT_TRUE(waitFor([&] {
            std::error_code none;
            const auto target = std::filesystem::read_symlink(link, none);
            return !none && target != "/dev/pts/no-such-pty";
        }));
        boardsim.signal(SIGTERM);
        ASSERT_TRUE(boardsim.exitStatus());
        EXPECT_TRUE(contains(boardsim.err(), "replacing the stale link " + link)) << boardsim.err();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    }
    std::ofstream(link) << "notes\n";
    const CommandResult refused = boardsim::testing::runCommand({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "cannot make the link " + link + ": something other than a symbolic link"))
        << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(slurp(link), "notes\n");
}

// A run killed outright (SIGKILL) cannot remove its link: the next run
// finds it pointing to a pty that is gone, says so and makes it afresh.
TEST(Pty, ALinkLeftByAKilledRunIsReplacedByTheNextRun)
{
    const ScratchDir dir;
    const std::string link = dir.file("uart0");
    std::string killedTarget;
    {
        Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link});
        ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); })) << boardsim.err();
        killedTarget = std::filesystem::read_symlink(link).string();
        boardsim.signal(SIGKILL);
        ASSERT_TRUE(boardsim.exitStatus());
    }
    ASSERT_TRUE(std::filesystem::is_symlink(link)) << "the killed run's link is gone: nothing to test";
    Child again({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link});
    ASSERT_TRUE(waitFor([&] { return contains(again.err(), "the board starts when a terminal opens it"); }))
        << again.err();
    EXPECT_TRUE(contains(again.err(), "replacing the stale link " + link + " (it pointed to " + killedTarget))
        << again.err();
    // The link is the live run's now: a third run leaves it alone.
    const CommandResult third = boardsim::testing::runCommand({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link});
    EXPECT_EQ(third.status, 1);
    EXPECT_TRUE(contains(third.err, "(another run using it?)")) << third.err;
    again.signal(SIGTERM);
    const auto status = again.exitStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << again.err();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// What a terminal program types travels RxD0 into UART0's receive FIFO
// (the image never reads it, so this looks at the model).
TEST(Pty, BytesTypedAtTheLinkReachUart0)
{
    const ScratchDir dir;
    const boardsim::ElfImage image = boardsim::ElfImage::fromFile(FIRMWARE_ELF);
    boardsim::Board board(image);
    boardsim::Pty pty(dir.file("uart0"), false, std::cerr);
    EXPECT_FALSE(pty.connected());
    pty.send("lost");  // nobody listens yet
    EXPECT_EQ(pty.lost(), 4u);

    board.runUntil(boardsim::When::at(0.01));  // past UART0_Init: P0.1 is RxD0
    const int fd = open(dir.file("uart0").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(pty.connected());
    EXPECT_EQ(write(fd, "ok", 2), 2);
    std::string typed;
    waitFor([&] {
        typed += pty.receive();
        return typed.size() >= 2;
    });
    EXPECT_EQ(typed, "ok");
    for (const char c : typed) {
        board.hostSend(uint8_t(c));
    }
    EXPECT_EQ(board.machine().uart0.received(), 0u);  // still on the wire
    board.runUntil(boardsim::When::at(board.seconds() + 2 * 10 / 115200.0 + 1e-5));
    EXPECT_EQ(board.machine().uart0.received(), 2u);
    close(fd);
    EXPECT_FALSE(pty.connected());
}

// A terminal that does not read in time loses bytes, as on a line without
// flow control; they are counted apart from those nobody was there for.
TEST(Pty, BytesATerminalDidNotReadInTimeAreCounted)
{
    const ScratchDir dir;
    boardsim::Pty pty(dir.file("uart0"), false, std::cerr);
    pty.send("nobody");
    const int fd = open(dir.file("uart0").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const std::string burst(size_t{1} << 20, 'x');
    pty.send(burst);  // nobody reads: the pty's buffer fills
    EXPECT_GT(pty.unread(), 0u);
    EXPECT_LT(pty.unread(), burst.size());
    EXPECT_EQ(pty.lost(), pty.unread() + 6);
    close(fd);
}

TEST(Pty, PicocomReadsTheGreeting)
{
    REQUIRE_PROGRAM(tmux, "tmux");
    REQUIRE_PROGRAM(picocom, "picocom");
    const ScratchDir dir;
    const std::string link = dir.file("uart0");
    Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link, "--run", "2s"});
    ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); })) << boardsim.err();
    Tmux terminal(tmux, picocom + " -b 115200 " + quotedShell(link), 80, 24);
    ASSERT_TRUE(terminal.started());
    const std::string screen = terminal.waitForText(kGreeting);
    EXPECT_TRUE(contains(screen, "Terminal ready")) << screen;
    EXPECT_TRUE(contains(screen, kGreeting)) << screen;
    const auto status = boardsim.exitStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << boardsim.err();
}

// picocom set to 9600 baud on a board that sends at 115200 reads what a
// real terminal at 9600 reads: garbage, not the greeting. boardsim says so
// once and the board runs on.
TEST(Pty, PicocomAtAnotherRateReadsGarbageAndTheBoardRunsOn)
{
    REQUIRE_PROGRAM(tmux, "tmux");
    REQUIRE_PROGRAM(picocom, "picocom");
    const ScratchDir dir;
    const std::string link = dir.file("uart0");
    const std::string log = dir.file("picocom.log");
    Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--uart-pty", link, "--run", "0.5s"});
    ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); })) << boardsim.err();
    Tmux terminal(tmux, picocom + " -b 9600 -g " + quotedShell(log) + " " + quotedShell(link), 80, 24);
    ASSERT_TRUE(terminal.started());
    const auto status = boardsim.exitStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << boardsim.err();
    EXPECT_TRUE(contains(boardsim.out(), "stop   end of the run (--run 0.5s)")) << boardsim.out();
    const std::string seen = slurp(log);
    EXPECT_FALSE(seen.empty()) << "picocom read nothing";
    EXPECT_FALSE(contains(seen, "Hello")) << seen;
    const std::string note = "the terminal on " + link + " listens at 9600 baud, UART0 sends at 115200 baud";
    EXPECT_TRUE(contains(boardsim.err(), note)) << boardsim.err();
    EXPECT_EQ(boardsim.err().find(note), boardsim.err().rfind(note)) << "said more than once";
}

TEST(Screen, ShowsTheMenuInHalfBlocksAndTheGreetingKeysMoveTheMarkerQQuits)
{
    REQUIRE_PROGRAM(tmux, "tmux");
    const ScratchDir dir;
    const std::string status = dir.file("status");
    Tmux terminal(tmux,
                  "sh -c " + quotedShell(std::string(BOARDSIM_EXE) + " " + FIRMWARE_ELF + " --screen; echo $? > " +
                                         status),
                  120, 50);
    ASSERT_TRUE(terminal.started());
    const std::string before = terminal.waitForText(kGreeting);
    ASSERT_TRUE(contains(before, kGreeting)) << before;
    const std::string lcd = lines(before, 2, 26);  // inside the LCD's frame
    EXPECT_TRUE(contains(lcd, "\u2580")) << before;
    EXPECT_TRUE(contains(lcd, "\u2584")) << before;
    EXPECT_TRUE(contains(before, "cclk 44.2368 MHz")) << before;
    EXPECT_TRUE(contains(before, "KEY_1")) << before;
    EXPECT_TRUE(contains(before, "LED ")) << before;

    // KEY_2 moves the marker from "Version" down to "Author": the LCD rows
    // change, and stay changed (the menu redrawn, not a flicker).
    terminal.send("2");
    std::string after;
    ASSERT_TRUE(waitFor([&] {
        after = terminal.capture();
        return lines(after, 2, 26) != lcd;
    })) << "KEY_2 changed nothing:\n" << before;
    std::this_thread::sleep_for(300ms);
    after = terminal.capture();
    EXPECT_NE(lines(after, 2, 26), lcd) << after;
    EXPECT_EQ(lines(after, 2, 8), lines(before, 2, 8)) << "the title row moved:\n" << after;

    terminal.send("q");
    EXPECT_TRUE(waitFor([&] { return !terminal.alive(); })) << "q did not end the screen";
    EXPECT_EQ(slurp(status), "0\n");
}

// The screen is a terminal at --baud: off the board's rate it shows the
// garbage such a terminal shows, and the board runs on to its end.
TEST(Screen, AtAnotherBaudShowsGarbageAndRunsOn)
{
    REQUIRE_PROGRAM(tmux, "tmux");
    const ScratchDir dir;
    const std::string status = dir.file("status");
    const std::string err = dir.file("err");
    Tmux terminal(tmux,
                  "sh -c " + quotedShell(std::string(BOARDSIM_EXE) + " " + FIRMWARE_ELF +
                                         " --screen --baud 9600 --run 1s 2> " + err + "; echo $? > " + status),
                  120, 50);
    ASSERT_TRUE(terminal.started());
    terminal.waitForText("running");
    std::this_thread::sleep_for(400ms);  // the greeting's time, well past, and the run not over
    const std::string screen = terminal.capture();
    EXPECT_TRUE(contains(screen, "running")) << screen;
    EXPECT_FALSE(contains(screen, "FAULT")) << screen;
    EXPECT_FALSE(contains(screen, kGreeting)) << screen;
    EXPECT_TRUE(waitFor([&] { return !slurp(status).empty(); }, 5000ms)) << terminal.capture();
    EXPECT_EQ(slurp(status), "0\n");
    EXPECT_TRUE(contains(slurp(err), "the screen's terminal (--baud) listens at 9600 baud, UART0 sends at 115200 baud"))
        << slurp(err);
}

// A script that runs the screen for a while must not hang waiting for q;
// its pin trace ends where the run did.
TEST(Screen, WithRunTheScreenEndsAtTheRunsEndAndItsTraceWithIt)
{
    REQUIRE_PROGRAM(tmux, "tmux");
    const ScratchDir dir;
    const std::string status = dir.file("status");
    const std::string vcd = dir.file("pins.vcd");
    Tmux terminal(tmux,
                  "sh -c " + quotedShell(std::string(BOARDSIM_EXE) + " " + FIRMWARE_ELF + " --screen --run 300ms --vcd " +
                                         vcd + "; echo $? > " + status),
                  120, 50);
    ASSERT_TRUE(terminal.started());
    EXPECT_TRUE(waitFor([&] { return !slurp(status).empty(); }, 5000ms)) << terminal.capture();
    EXPECT_EQ(slurp(status), "0\n");
    const std::string trace = slurp(vcd);
    EXPECT_EQ(trace.substr(0, 9), "$version ");
    // The run ends at the first instruction boundary at or after 300 ms: a
    // cycle or two (23 ns each) past it, when an instruction was under way.
    const size_t last = trace.rfind("\n#", trace.size() - 2);
    ASSERT_NE(last, std::string::npos);
    const double end = std::stod(trace.substr(last + 2));
    EXPECT_GE(end, 300e6) << trace.substr(last);
    EXPECT_LT(end, 300e6 + 100) << trace.substr(last);
}

TEST(Screen, ATerminalTooSmallGetsAMessageAndNoRunWithoutATerminal)
{
    REQUIRE_PROGRAM(tmux, "tmux");
    Tmux terminal(tmux, std::string(BOARDSIM_EXE) + " " + FIRMWARE_ELF + " --screen", 60, 20);
    ASSERT_TRUE(terminal.started());
    const std::string screen = terminal.waitForText("needs at least");
    EXPECT_TRUE(contains(screen, "the terminal is 60 x 20 characters")) << screen;
    EXPECT_TRUE(contains(screen, "needs at least 86 x 34")) << screen;
    terminal.send("q");
    EXPECT_TRUE(waitFor([&] { return !terminal.alive(); }));

    const CommandResult piped = boardsim::testing::runCommand({BOARDSIM_EXE, FIRMWARE_ELF, "--screen"});
    EXPECT_EQ(piped.status, 1);
    EXPECT_TRUE(contains(piped.err, "--screen needs a terminal")) << piped.err;
}

TEST(Movie, OneFramePerChangeTheMenuMovesAndVersionBlanksTheScreen)
{
#ifndef BOARDSIM_HAVE_GIF
    GTEST_SKIP() << "built without giflib";
#else
    const ScratchDir dir;
    const std::string movie = dir.file("lcd.gif");
    // Down, up, Version (a blank screen until a key), back to the menu.
    const CommandResult r = boardsim::testing::runCommand(
        {BOARDSIM_EXE, FIRMWARE_ELF, "--run", "4s", "--press", "2@0.5s:80ms", "--press", "1@1s:80ms", "--press",
         "3@1.5s:80ms", "--press", "4@2.2s:80ms", "--lcd-movie", movie, "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;

    int error = 0;
    GifFileType* gif = DGifOpenFileName(movie.c_str(), &error);
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(gif, [](GifFileType* g) { DGifCloseFile(g, nullptr); });
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->SWidth, 84 * 4);
    EXPECT_EQ(gif->SHeight, 48 * 4);
    ASSERT_GE(gif->ImageCount, 5) << "start-up, menu, moved down, back up, blank, menu again";
    ASSERT_LE(gif->ImageCount, 60) << "a frame per change, not per sample";

    int total = 0;
    int blank = 0;
    std::vector<GifByteType> previous;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        GraphicsControlBlock control{};
        ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
        total += control.DelayTime;
        const size_t size = size_t(image.ImageDesc.Width) * size_t(image.ImageDesc.Height);
        std::vector<GifByteType> pixels(image.RasterBits, image.RasterBits + size);
        EXPECT_NE(pixels, previous) << "frame " << i << " repeats the one before";
        bool dark = false;
        for (const GifByteType p : pixels) {
            dark = dark || p != 0;
        }
        // Blank frames in the middle: "Version" cleared the screen.
        blank += (!dark && i > 1 && i + 1 < gif->ImageCount) ? 1 : 0;
        previous = std::move(pixels);
    }
    EXPECT_GE(blank, 1) << "Version never blanked the screen";
    EXPECT_NEAR(total, 400, 2) << "the frames' delays add up to the run's 4 s";
#endif
}

TEST(Movie, AFileThatCannotBeWrittenFailsBeforeTheRun)
{
    const CommandResult r =
        boardsim::testing::runCommand({BOARDSIM_EXE, FIRMWARE_ELF, "--lcd-movie", "/dev/null/lcd.gif"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "/dev/null/lcd.gif")) << r.err;
    EXPECT_EQ(r.out, "");
}
