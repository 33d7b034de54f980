#include "frontends/web/web_board.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include "frontends/common/firmware_profile.h"
#include "frontends/common/signals.h"
#include "machine/tlv5618.h"

namespace boardsim {
namespace {

// Wall time per slice of the run, as on the live screen.
constexpr double kWallSlice = 0.01;
constexpr double kMinSlice = 0.0005;
constexpr double kPublishEvery = 0.04;  // wall seconds: 25 pictures a second
constexpr double kScopeEvery = 0.2;
constexpr double kSpeedWindow = 1.0;  // wall seconds the measured speed looks back
constexpr auto kIdleWait = std::chrono::milliseconds(20);

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string hexBytes(const std::vector<uint8_t>& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

nlohmann::json byteArray(const std::string& bytes)
{
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

nlohmann::json scopeJson(const std::vector<ScopeView>& views)
{
    nlohmann::json outputs = nlohmann::json::array();
    std::transform(views.begin(), views.end(), std::back_inserter(outputs), [](const ScopeView& v) {
        return nlohmann::json{{"name", v.name},
                           {"min", v.minVolts},
                           {"max", v.maxVolts},
                           {"mean", v.meanVolts},
                           {"changeHz", v.changeHz},
                           {"trace",
                            {{"from", v.trace.from},
                             {"step", v.trace.step},
                             {"triggered", v.trace.triggered},
                             {"volts", v.trace.volts}}},
                           {"spectrum",
                            {{"binHz", v.spectrum.binHz},
                             {"dbv", v.spectrum.dbv},
                             {"peakHz", v.spectrum.peakHz},
                             {"peakDbv", v.spectrum.peakDbv}}}};
    });
    return {{"outputs", outputs}};
}

}  // namespace

WebBoard::WebBoard(const ElfImage& image, const Options& options, EventStream& stream)
    : image_(image),
      options_(options),
      boardOptions_(boardOptionsFor(image)),
      stream_(stream),
      speed_(options.speed),
      imageName_(options.image.substr(options.image.find_last_of('/') + 1)),
      terminals_{Terminal{LineReceiver(options.baud), {}, {}, 0, 0},
                 Terminal{LineReceiver(options.baud), {}, {}, 0, 0}}
{
    boardOptions_.hostBaud = options.baud;
    boardOptions_.bounceSeconds = options.bounce;
    boardOptions_.uartLoopback = options.uartLoopback;
    build();
}

WebBoard::~WebBoard() = default;

void WebBoard::build()
{
    board_.reset();
    board_ = std::make_unique<Board>(image_, boardOptions_);
    ++generation_;
    Board& board = *board_;
    // A person watches the lines: garbage is shown, not a reason to stop.
    board.machine().setLineCheck(false);
    board.stopWhen(pendingSignalFlag());
    for (int n = 0; n < Lpc2294Machine::kUarts; ++n) {
        Terminal& terminal = terminals_[size_t(n)];
        terminal = Terminal{LineReceiver(options_.baud), {}, {}, 0, 0};
        board.machine().serial(n).onFrame = [&terminal](const LineFrame& frame) {
            terminal.line.add(frame);
            ++terminal.sent;
        };
    }
    for (const KeyPress& scheduled : options_.presses) {
        board.pressKey(scheduled.key, scheduled.at, scheduled.hold);
    }
    keyFreeAt_.fill(0);
    keyDownAt_.fill(0);
    keyHeld_.fill(false);
    analyzer_.attach(board);
    scope_.reset();
    connectDac(board, *this);
    status_ = running_ ? "running" : "paused";
    paceSamples_.clear();
    realSpeed_ = 0;
    if (pacer_) {
        pacer_->restart();
    }
    for (int n = 0; n < Lpc2294Machine::kUarts; ++n) {
        const nlohmann::json empty = {{"reset", true}, {"bytes", nlohmann::json::array()}};
        stream_.publish("uart" + std::to_string(n), empty.dump(), empty.dump());
    }
    publishSetup();
    stream_.publish("scope", scopeJson({}).dump(), scopeJson({}).dump());
    // The state at once, before the board runs: a request for it that comes
    // first (the server starts before the run) must not get nothing.
    lastState_ = state().dump();
    stream_.publish("state", lastState_, lastState_);
    lastLcd_.clear();
}

void WebBoard::post(std::function<void()> command)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back(std::move(command));
}

void WebBoard::press(int key, double seconds)
{
    post([this, key, seconds] {
        const auto k = size_t(key - 1);
        const double now = board_->seconds();
        if (keyHeld_[k] || now < keyFreeAt_[k]) {
            return;
        }
        board_->pressKey(key, When::at(now), When::at(seconds));
        keyFreeAt_[k] = now + seconds + options_.bounce + 0.001;
    });
}

void WebBoard::hold(int key, bool down)
{
    post([this, key, down] {
        const auto k = size_t(key - 1);
        const double now = board_->seconds();
        if (down == keyHeld_[k] || (down && now < keyFreeAt_[k])) {
            return;
        }
        keyHeld_[k] = down;
        if (down) {
            board_->machine().keypad().hold(key, When::at(now));
            keyDownAt_[k] = now;
        } else {
            // A click's press and release may come in one slice: the key
            // stays down as long as a press, so that the firmware sees it.
            const double upAt = std::max(now, keyDownAt_[k] + kDefaultPress);
            board_->machine().keypad().release(key, When::at(upAt));
            keyFreeAt_[k] = upAt + options_.bounce + 0.001;
        }
    });
}

void WebBoard::type(int uart, const std::string& bytes)
{
    post([this, uart, bytes] {
        for (const char c : bytes) {
            board_->machine().serial(uart).hostSend(uint8_t(c));
        }
        terminals_[size_t(uart)].typed += bytes.size();
    });
}

void WebBoard::reset()
{
    post([this] { build(); });
}

void WebBoard::setRunning(bool running)
{
    post([this, running] {
        if (running == running_ || board_->fault()) {
            return;
        }
        running_ = running;
        status_ = running ? "running" : "paused";
        pacer_->restart();
    });
}

void WebBoard::setSpeed(double speed)
{
    post([this, speed] {
        speed_ = speed;
        pacer_.emplace(speed);
        pacer_->waitFor(board_->seconds());
        paceSamples_.clear();
    });
}

void WebBoard::selectPins(uint32_t pins)
{
    post([this, pins] {
        analyzer_.takeBatch(board_->seconds());  // what the old choice gathered
        analyzer_.select(pins);
        publishSetup();
    });
}

std::vector<uint8_t> WebBoard::lcdFrame() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return lcd_;
}

void WebBoard::carryOut()
{
    std::vector<std::function<void()>> commands;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        commands.swap(commands_);
    }
    for (const auto& command : commands) {
        command();
    }
}

void WebBoard::run(const std::function<bool()>& stop)
{
    pacer_.emplace(speed_);
    pacer_->waitFor(board_->seconds());
    publish(true);
    while (!stop()) {
        carryOut();
        if (running_) {
            runSlice();
        } else {
            std::this_thread::sleep_for(kIdleWait);
        }
        publish(false);
    }
    publish(true);
}

void WebBoard::runSlice()
{
    const double slice = std::max(kMinSlice, kWallSlice * speed_);
    const StopReason reason = board_->runUntil(When::at(board_->seconds() + slice));
    pacer_->waitFor(board_->seconds());
    if (reason == StopReason::Fault) {
        running_ = false;
        status_ = "FAULT: " + board_->fault()->message();
    }
    const double wall = wallSeconds();
    paceSamples_.emplace_back(wall, board_->seconds());
    while (paceSamples_.size() > 2 && paceSamples_.front().first < wall - kSpeedWindow) {
        paceSamples_.erase(paceSamples_.begin());
    }
    const auto& [firstWall, firstSim] = paceSamples_.front();
    realSpeed_ = wall > firstWall ? (board_->seconds() - firstSim) / (wall - firstWall) : 0;
}

nlohmann::json WebBoard::state() const
{
    const Lpc2294Machine& machine = board_->machine();
    nlohmann::json keys = nlohmann::json::array();
    for (int k = 1; k <= Lpc2294Machine::kKeyCount; ++k) {
        keys.push_back(machine.keyDown(k));
    }
    nlohmann::json uarts = nlohmann::json::array();
    std::transform(terminals_.begin(), terminals_.end(), std::back_inserter(uarts), [](const Terminal& t) {
        return nlohmann::json{{"sent", t.sent}, {"typed", t.typed}};
    });
    const LedState led = machine.led();
    return {{"image", imageName_},
            {"time", board_->seconds()},
            {"instructions", board_->instructions()},
            {"cclkHz", machine.cclkHz()},
            {"led", {{"driven", led.driven}, {"on", led.driven && led.high}}},
            {"keys", keys},
            {"speed", speed_},
            {"realSpeed", running_ ? realSpeed_ : 0.0},
            {"running", running_},
            {"status", status_},
            {"uart", uarts},
            {"generation", generation_}};
}

void WebBoard::publishSetup()
{
    const std::string setup = analyzer_.setup(board_->machine().pins().levels(), board_->seconds()).dump();
    stream_.publish("pinsetup", setup, setup);
}

void WebBoard::publish(bool force)
{
    const double wall = wallSeconds();
    if (!force && wall - lastPublish_ < kPublishEvery) {
        return;
    }
    lastPublish_ = wall;
    const double now = board_->seconds();
    for (size_t n = 0; n < terminals_.size(); ++n) {
        Terminal& t = terminals_[n];
        const std::string read = t.line.take(now);
        if (read.empty()) {
            continue;
        }
        t.text += read;
        if (t.text.size() > kUartKept) {
            t.text.erase(0, t.text.size() - kUartKept);
        }
        const nlohmann::json piece = {{"bytes", byteArray(read)}};
        const nlohmann::json whole = {{"reset", true}, {"bytes", byteArray(t.text)}};
        stream_.publish("uart" + std::to_string(n), piece.dump(), whole.dump());
    }
    if (!analyzer_.empty() || running_) {
        const nlohmann::json batch = analyzer_.takeBatch(now);
        if (!batch["edges"].empty() || !batch["bytes"].empty() || !batch["dense"].empty()) {
            stream_.publish("pins", batch.dump(), "");
        }
    }
    std::vector<uint8_t> frame = board_->lcdFrame();
    const nlohmann::json lcd = {{"frame", hexBytes(frame)}, {"blank", board_->lcdWhyBlank()}};
    std::string lcdText = lcd.dump();
    if (lcdText != lastLcd_) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            lcd_ = std::move(frame);
        }
        stream_.publish("lcd", lcdText, lcdText);
        lastLcd_ = std::move(lcdText);
    }
    std::string stateText = state().dump();
    if (stateText != lastState_) {
        stream_.publish("state", stateText, stateText);
        lastState_ = std::move(stateText);
    }
    if (scope_.changedSinceView() && (force || wall - lastScope_ >= kScopeEvery)) {
        lastScope_ = wall;
        const std::string text = scopeJson(scope_.view(now)).dump();
        stream_.publish("scope", text, text);
    }
}

// Each step of the board's TLV5618 reaches the scope at the moment the word
// that makes it completes, as the level it settles to; the listener goes
// with the board, which a reset replaces.
bool connectDac(Board& board, WebBoard& web)
{
    board.machine().dac().listen(
        [&web](unsigned output, const Tlv5618::Step& step) { web.dacOutput(output, step.time, step.target); });
    return true;
}

}  // namespace boardsim
