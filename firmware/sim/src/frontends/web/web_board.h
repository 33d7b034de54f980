// The board served to browsers: one board, run paced to the wall clock on
// the thread that calls run(), seen by any number of pages at once. The
// pages' requests (keys, typed text, reset, pause, speed, the analyzer's
// pins) come from the server's threads and are carried out between two
// slices of the run; what the board shows is published on an EventStream
// (state, LCD, UART0/1 text, the pins, the DAC scope), of which the server
// also answers its plain requests.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "frontends/cli/options.h"
#include "frontends/live/pacing.h"
#include "frontends/web/event_stream.h"
#include "frontends/web/pin_analyzer.h"
#include "frontends/web/scope.h"
#include "machine/board.h"
#include "machine/serial_line.h"

namespace boardsim {

class WebBoard {
public:
    static constexpr double kDefaultPress = 0.080;  // seconds a pressed key is held
    static constexpr size_t kUartKept = size_t{64} * 1024;  // a terminal's text a new page gets

    WebBoard(const ElfImage& image, const Options& options, EventStream& stream);
    ~WebBoard();
    WebBoard(const WebBoard&) = delete;
    WebBoard& operator=(const WebBoard&) = delete;

    // Runs the board until `stop()` says so, publishing as it goes.
    void run(const std::function<bool()>& stop);

    // From any thread; carried out before the next slice. A press of a key
    // still down (held, or pressed and not yet free again) is ignored, as
    // the live screen does.
    void press(int key, double seconds);
    void hold(int key, bool down);
    void type(int uart, const std::string& bytes);
    // A loopback plug in place of the terminal: nothing can be typed to it.
    bool plugged(int uart) const { return options_.uartLoopback[size_t(uart)]; }
    void reset();
    void setRunning(bool running);
    void setSpeed(double speed);
    void selectPins(uint32_t pins);

    // The LCD as last published (6 banks of 84 column bytes).
    std::vector<uint8_t> lcdFrame() const;

    // The scope's input: output `output` (0 A, 1 B) of the board's DAC
    // steps to `volts` at `time`. Called on the run's thread.
    void dacOutput(unsigned output, double time, double volts) { scope_.add(output, time, volts); }

private:
    struct Terminal {
        LineReceiver line;
        std::string text;  // what it read, the last kUartKept bytes
        std::string fresh;  // not yet published
        uint64_t sent = 0;   // frames the board sent
        uint64_t typed = 0;  // bytes typed to the board
    };

    void build();
    void post(std::function<void()> command);
    void carryOut();
    void runSlice();
    void publish(bool force);
    void publishScope();
    void publishSetup();
    nlohmann::json state() const;

    const ElfImage& image_;
    const Options& options_;
    BoardOptions boardOptions_;
    EventStream& stream_;
    std::unique_ptr<Board> board_;
    std::optional<Pacer> pacer_;
    double speed_;
    std::string imageName_;  // for the page's title
    bool running_ = true;
    std::string status_ = "running";
    uint64_t generation_ = 0;  // boards built: a reset starts a new one
    std::array<Terminal, Lpc2294Machine::kUarts> terminals_;
    std::array<double, Lpc2294Machine::kKeyCount> keyFreeAt_{};
    std::array<double, Lpc2294Machine::kKeyCount> keyDownAt_{};
    std::array<bool, Lpc2294Machine::kKeyCount> keyHeld_{};
    PinAnalyzer analyzer_;
    Scope scope_{{"A", "B"}};

    // Simulated against wall time over the last second.
    std::vector<std::pair<double, double>> paceSamples_;
    double realSpeed_ = 0;

    mutable std::mutex mutex_;  // guards what follows, shared with the server's threads
    std::vector<std::function<void()>> commands_;
    std::vector<uint8_t> lcd_;

    std::string lastState_;
    std::string lastLcd_;
    double lastPublish_ = -1;  // wall seconds
    double lastScope_ = -1;
};

// Connects the board's DAC outputs to the scope; false for a board that
// has no DAC.
bool connectDac(Board& board, WebBoard& web);

}  // namespace boardsim
