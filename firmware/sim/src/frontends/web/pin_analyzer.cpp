#include "frontends/web/pin_analyzer.h"

#include <algorithm>
#include <iterator>

namespace boardsim {
namespace {

// The board's UART lines: UART0 on P0.0/P0.1, UART1 on P0.8/P0.9.
struct UartLine {
    unsigned pin;
    int uart;
};
constexpr UartLine kUartLines[] = {{0, 0}, {1, 0}, {8, 1}, {9, 1}};
constexpr unsigned kSck0 = Lpc2294Machine::kLcdSclkPin;
constexpr unsigned kMosi0 = Lpc2294Machine::kLcdSdinPin;
// The TLV5618 DAC's /CS, on the SPI bus beside the LCD; it reads in
// CPHA 1 where the LCD reads in CPHA 0.
constexpr unsigned kDacCsPin = 23;

}  // namespace

PinAnalyzer::PinAnalyzer(uint32_t pins) : selected_(pins) {}

void PinAnalyzer::attach(Board& board)
{
    board_ = &board;
    uarts_.clear();
    for (const UartLine& line : kUartLines) {
        Uart& uart = line.uart == 0 ? board.machine().uart0 : board.machine().uart1;
        uarts_.emplace_back(line.pin, [&uart] { return uart.baud(); });
    }
    spi_ = std::make_unique<SpiPinDecoder>(
        kSck0, kMosi0,
        std::vector<SpiDevice>{{"LCD", Lpc2294Machine::kLcdScePin, false}, {"DAC", kDacCsPin, true}});
    board.machine().pins().listen(0xFFFFFFFFu, [this, &board](unsigned pin, bool level, double time) {
        if (board_ == &board) {
            edge(pin, level, time);
        }
    });
}

void PinAnalyzer::edge(unsigned pin, bool level, double time)
{
    const size_t before = decoded_.size();
    for (size_t i = 0; i < uarts_.size(); ++i) {
        if (kUartLines[i].pin == pin) {
            uarts_[i].edge(time, level, decoded_);
        }
    }
    if ((spi_->pins() & (1u << pin)) != 0) {
        spi_->edge(pin, time, level, decoded_);
    }
    if (decoded_.size() > kBytesPerBatch) {
        droppedBytes_ += decoded_.size() - before;
        decoded_.resize(before);
    }
    if ((selected_ & (1u << pin)) == 0) {
        return;
    }
    if (edgeCount_[pin] < kEdgesPerPin) {
        ++edgeCount_[pin];
        edges_.push_back({pin, time, level});
        return;
    }
    Dense& dense = dense_[pin];
    if (dense.from < 0) {
        dense.from = time;
    }
    dense.to = time;
    dense.level = level;
}

nlohmann::json PinAnalyzer::setup(uint32_t levels, double time) const
{
    nlohmann::json pins = nlohmann::json::array();
    for (unsigned pin = 0; pin < 32; ++pin) {
        if ((selected_ & (1u << pin)) != 0) {
            pins.push_back(pin);
        }
    }
    return {{"pins", pins}, {"levels", levels}, {"time", time}};
}

bool PinAnalyzer::empty() const
{
    return edges_.empty() && decoded_.empty() && droppedBytes_ == 0;
}

nlohmann::json PinAnalyzer::takeBatch(double now)
{
    for (UartPinDecoder& uart : uarts_) {
        uart.settle(now, decoded_);
    }
    nlohmann::json bytes = nlohmann::json::array();
    std::transform(decoded_.begin(), decoded_.end(), std::back_inserter(bytes), [](const PinAnnotation& a) {
        return nlohmann::json{a.pin, a.from, a.to, a.label};
    });
    nlohmann::json dense = nlohmann::json::array();
    for (unsigned pin = 0; pin < 32; ++pin) {
        if (dense_[pin].from >= 0) {
            dense.push_back({pin, dense_[pin].from, dense_[pin].to, dense_[pin].level});
        }
    }
    nlohmann::json batch = {
        {"edges", std::move(edges_)}, {"bytes", bytes}, {"dense", dense}, {"droppedBytes", droppedBytes_}};
    edges_ = nlohmann::json::array();
    decoded_.clear();
    droppedBytes_ = 0;
    std::fill(edgeCount_.begin(), edgeCount_.end(), 0);
    std::fill(dense_.begin(), dense_.end(), Dense{-1, -1, false});
    return batch;
}

}  // namespace boardsim
