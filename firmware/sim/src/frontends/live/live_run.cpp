#include "frontends/live/live_run.h"

#include <iostream>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>

#include "frontends/common/output_file.h"
#include "frontends/common/signals.h"
#include "frontends/live/screen.h"

namespace boardsim {
namespace {

// Wall time per slice of the run: short enough for keys and the UART to
// feel immediate, long enough that the slices cost little.
constexpr double kWallSlice = 0.01;
constexpr double kMovieStep = 0.01;  // GIF delays are in hundredths of a second
constexpr auto kRedrawEvery = std::chrono::milliseconds(33);
constexpr auto kIdleWait = std::chrono::milliseconds(20);
constexpr auto kTerminalSettle = std::chrono::milliseconds(100);
constexpr size_t kUartTextKept = size_t{64} * 1024;

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool LiveRun::wanted(const Options& options, const Pty* link)
{
    return options.screen || !options.uartPty.empty() || !options.lcdMovie.empty() || link != nullptr;
}

LiveRun::LiveRun(Board& board, const Options& options, Pty* link)
    : board_(board), options_(options), pty_(link), screenLine_(options.baud), ptyLine_(options.baud)
{
    if (!options.lcdMovie.empty()) {
        if (!lcdMovieSupported()) {
            throw BoardError("--lcd-movie: boardsim was built without giflib");
        }
        checkWritable(options.lcdMovie);
        movie_.emplace();
    }
    if (!options.uartPty.empty()) {
        try {
            ownPty_ = std::make_unique<Pty>(options.uartPty, false, std::cerr);
        } catch (const std::runtime_error& e) {
            throw BoardError(std::string("--uart-pty: ") + e.what());
        }
        pty_ = ownPty_.get();
    }
    if (wantsPacing()) {
        board.machine().setLineCheck(false);
        board.machine().serial(0).onFrame = [this](const LineFrame& frame) {
            lineBaud_ = frame.baud;
            screenLine_.add(frame);
            ptyLine_.add(frame);
        };
    }
}

LiveRun::~LiveRun()
{
    board_.machine().serial(0).onFrame = nullptr;
}

void LiveRun::observe(const Event& e)
{
    // The screen and the pty are UART0's: UART1's bytes go to neither.
    if (e.kind == EventKind::UartByte && e.address == 0) {
        uartPending_.emplace_back(e.time, char(e.value));
    }
}

void LiveRun::passUart(double until)
{
    std::string raw;
    auto sent = uartPending_.begin();
    for (; sent != uartPending_.end() && sent->first <= until; ++sent) {
        raw += sent->second;
    }
    uartPending_.erase(uartPending_.begin(), sent);
    uartText_ += screenLine_.take(until);
    if (uartText_.size() > kUartTextKept) {
        // The screen shows the last lines; a long session must not grow.
        uartText_.erase(0, uartText_.size() - kUartTextKept / 2);
    }
    if (pty_ == nullptr) {
        return;
    }
    // A client that set no rate gets the bytes as they were sent.
    const std::string read = ptyLine_.take(until);
    const std::string& bytes = ptyBaud_ != 0 ? read : raw;
    if (!bytes.empty()) {
        pty_->send(bytes);
    }
}

// The terminal on the pty may change its rate at any moment (picocom's
// C-a b): the frames from then on are read at the new one.
void LiveRun::followClientRate()
{
    if (pty_ == nullptr || !pty_->connected()) {
        return;
    }
    ptyBaud_ = pty_->clientBaud();
    if (ptyBaud_ != 0) {
        ptyLine_.setBaud(ptyBaud_);
    }
}

void LiveRun::noteRates(const std::string& who, double listens, bool& noted)
{
    if (noted || lineBaud_ <= 0 || listens <= 0 || ratesAgree(lineBaud_, listens)) {
        return;
    }
    noted = true;
    char rates[160];
    std::snprintf(rates, sizeof rates,
                  " listens at %.0f baud, UART0 sends at %.0f baud: it shows what a receiver at %.0f baud reads, "
                  "garbage",
                  listens, lineBaud_, listens);
    note("boardsim: " + who + rates);
}

void LiveRun::note(const std::string& text)
{
    if (options_.screen) {
        notes_.push_back(text);  // stderr is the screen's until it closes
    } else {
        std::cerr << text << std::endl;
    }
}

void LiveRun::sampleLcd()
{
    movie_->add(board_.seconds(), board_.lcdFrame());
}

StopReason LiveRun::run()
{
    if (movie_) {
        sampleLcd();
        // Rescheduled from inside itself for as long as the run goes.
        auto sampler = std::make_shared<std::function<void()>>();
        *sampler = [this, weak = std::weak_ptr<std::function<void()>>(sampler)] {
            sampleLcd();
            if (const auto again = weak.lock()) {
                board_.scheduleAtTime(board_.seconds() + kMovieStep, *again);
            }
        };
        sampler_ = sampler;
        board_.scheduleAtTime(board_.seconds() + kMovieStep, *sampler);
    }
    StopReason reason = StopReason::Limit;
    if (wantsPacing()) {
        reason = runPaced();
    } else {
        const When& end = options_.run;
        reason = board_.runUntil(end.isTime ? When::at(end.seconds) : When::instructions(end.count));
    }
    sampler_.reset();
    if (movie_) {
        sampleLcd();
        try {
            movie_->write(options_.lcdMovie, board_.seconds());
        } catch (const BoardError&) {
            if (reason != StopReason::Fault) {
                throw;  // else the fault is the news, not the movie
            }
        }
    }
    return reason;
}

// The state of a paced run between its slices.
struct LiveRun::Paced {
    explicit Paced(const Options& options) : pacer(options.speed), slice(std::max(0.0005, kWallSlice * options.speed))
    {
        view.image = baseName(options.image);
        view.speed = options.speed;
        view.status = "running";
        if (options.runGiven && options.run.isTime) {
            end = options.run.seconds;
        }
    }

    Pacer pacer;
    double slice;
    double end = std::numeric_limits<double>::infinity();
    // Shared with the action that ends a run by count, which outlives the run
    // when it ends first.
    std::shared_ptr<bool> countReached = std::make_shared<bool>(false);
    std::optional<Screen> screen;
    ScreenView view;
    std::array<double, 4> keyFreeAt{};
    std::chrono::steady_clock::time_point lastDraw{};
    std::optional<std::chrono::steady_clock::time_point> startAt;
    bool started = false;
    bool running = true;
    StopReason reason = StopReason::Limit;
};

StopReason LiveRun::runPaced()
{
    Paced paced(options_);
    if (options_.runGiven && !options_.run.isTime) {
        board_.schedule(options_.run.count, [this, reached = paced.countReached] {
            *reached = true;
            board_.requestStop();
        });
    }
    // boardsim catches the ending signals already (signals.h), so that
    // ncurses leaves them to us.
    if (options_.screen) {
        paced.screen.emplace();
    }
    // With a pty the board leaves reset once a terminal has the link open
    // and has had a moment to set its line up (picocom flushes what came
    // before), so that the greeting is not sent to nobody.
    paced.started = ownPty_ == nullptr;  // the ISP link's host is there already
    if (paced.started) {
        paced.pacer.waitFor(board_.seconds());
    } else {
        paced.view.status = "waiting for a terminal on " + options_.uartPty;
        if (!paced.screen) {
            std::fprintf(stderr, "boardsim: UART0 on %s (%s): the board starts when a terminal opens it\n",
                         options_.uartPty.c_str(), pty_->device().c_str());
        }
    }
    for (;;) {
        if (!paced.started) {
            awaitTerminal(paced);
        } else if (paced.running) {
            runSlice(paced);
        } else {
            std::this_thread::sleep_for(kIdleWait);
        }
        if (pendingSignal() != 0) {
            ending_ = std::string("interrupted (") + signalName(pendingSignal()) + ")";
            break;
        }
        // With --run the run ends at its end, also on the screen: a script
        // that runs it must not wait for a q nobody types.
        if (!paced.running && (!paced.screen || options_.runGiven)) {
            break;
        }
        if (!paced.screen) {
            continue;
        }
        if (takeKeys(paced)) {
            break;
        }
        redraw(paced);
    }
    paced.screen.reset();
    for (const std::string& text : notes_) {
        std::cerr << text << std::endl;
    }
    // A real line without flow control loses them too; but whoever reads
    // the terminal should know the text is not whole.
    if (pty_ != nullptr && pty_->unread() > 0) {
        std::cerr << "boardsim: " << pty_->unread() << " bytes of UART0 were dropped: the terminal on "
                  << pty_->link() << " did not read them in time" << std::endl;
    }
    // While it runs, the last slice reached its end (Limit): q or a signal
    // then end the run as its limit would.
    return paced.reason;
}

void LiveRun::awaitTerminal(Paced& paced)
{
    const auto now = std::chrono::steady_clock::now();
    if (!pty_->connected()) {
        paced.startAt.reset();
    } else if (!paced.startAt) {
        paced.startAt = now + kTerminalSettle;
    } else if (now >= *paced.startAt) {
        paced.started = true;
        paced.view.status = "running";
        paced.pacer.waitFor(board_.seconds());
        return;
    }
    std::this_thread::sleep_for(kIdleWait);
}

void LiveRun::runSlice(Paced& paced)
{
    followClientRate();
    const bool toTheEnd = board_.seconds() + paced.slice >= paced.end;
    StopReason reason = board_.runUntil(When::at(std::min(board_.seconds() + paced.slice, paced.end)));
    // The engine counts a time as reached at the first cycle on or after it,
    // which may read a hair below it in seconds: a slice that ran to the
    // end reached it.
    const bool endReached = toTheEnd && reason == StopReason::Limit;
    const bool countReached = *paced.countReached;
    if (reason == StopReason::Requested && countReached) {
        reason = StopReason::Limit;  // --run's instruction count, not a stop from elsewhere
    }
    paced.reason = reason;
    paced.pacer.waitFor(board_.seconds());
    passUart(board_.seconds());
    if (options_.screen) {
        noteRates("the screen's terminal (--baud)", options_.baud, screenRateNoted_);
    }
    if (ptyBaud_ != 0) {
        noteRates("the terminal on " + pty_->link(), ptyBaud_, ptyRateNoted_);
    }
    if (reason != StopReason::Limit || endReached || board_.seconds() >= paced.end || countReached) {
        paced.running = false;
        paced.view.status = (reason == StopReason::Fault ? "FAULT: " + board_.fault()->message()
                                                         : std::string("the run has ended")) +
                            "; q quits";
    }
    if (pty_) {
        for (const char c : pty_->receive()) {
            board_.hostSend(uint8_t(c), ptyBaud_);
        }
    }
}

bool LiveRun::takeKeys(Paced& paced)
{
    for (int c = paced.screen->key(); c != -1; c = paced.screen->key()) {
        if (c == 'q' || c == 'Q') {
            if (paced.running) {
                ending_ = "q pressed";
            }
            return true;
        }
        if (c < '1' || c > '4' || !paced.started || !paced.running) {
            continue;
        }
        const auto k = size_t(c - '1');
        // A key still held from the last press takes no new one.
        if (board_.seconds() >= paced.keyFreeAt[k]) {
            board_.pressKey(int(k) + 1, When::at(board_.seconds()), defaultKeyPress());
            paced.keyFreeAt[k] = board_.seconds() + defaultKeyPress().seconds + options_.bounce + 0.001;
        }
    }
    return false;
}

void LiveRun::redraw(Paced& paced)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - paced.lastDraw < kRedrawEvery) {
        return;
    }
    paced.lastDraw = now;
    ScreenView& view = paced.view;
    view.lcd = board_.lcdFrame();
    view.lcdBlank = board_.lcdWhyBlank();
    view.led = board_.machine().led();
    for (size_t k = 0; k < view.keysDown.size(); ++k) {
        view.keysDown[k] = board_.machine().keyDown(int(k) + 1);
    }
    view.seconds = board_.seconds();
    view.cclkHz = board_.machine().cclkHz();
    view.instructions = board_.instructions();
    view.uart = uartText_;
    paced.screen->draw(view);
}

}  // namespace boardsim
