// The page's logic analyzer: every change of the chosen pins of a board,
// and the bytes decoded from them (UART0 and UART1 on their TxD and RxD
// pins, SPI0 on MOSI framed by each device's chip select), gathered between
// two looks and handed over as one batch. A batch keeps to a budget: a pin
// that changes more often than a strip can show gets a dense stretch
// instead of its edges, as an analyzer zoomed out draws it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "frontends/web/pin_decoders.h"
#include "machine/board.h"

namespace boardsim {

class PinAnalyzer {
public:
    static constexpr uint32_t kDefaultPins = (1u << 0) | (1u << 1) | (1u << 4) | (1u << 6) | (0xFu << 16) |
                                             (1u << 21) | (1u << 31);
    static constexpr size_t kEdgesPerPin = 4000;  // in one batch
    static constexpr size_t kBytesPerBatch = 2000;

    explicit PinAnalyzer(uint32_t pins = kDefaultPins);

    // Listens to `board`'s pins from its present moment on (its decoders
    // start afresh); the board must outlive the listening or be replaced.
    void attach(Board& board);
    void select(uint32_t pins) { selected_ = pins; }
    uint32_t selected() const { return selected_; }

    // What the strip starts from: {"pins": [...], "levels": mask, "time": s},
    // with the pins' levels at that time.
    nlohmann::json setup(uint32_t levels, double time) const;
    // {"edges": [[pin, s, level], ...], "bytes": [[pin, from, to, "label"], ...],
    //  "dense": [[pin, from, to, level after], ...], "droppedBytes": n}
    // since the last batch, up to `now` (a frame that has ended by then is
    // decoded); empty() before that when nothing happened.
    bool empty() const;
    nlohmann::json takeBatch(double now);

private:
    struct Dense {
        double from;
        double to;
        bool level;
    };
    void edge(unsigned pin, bool level, double time);

    uint32_t selected_;
    Board* board_ = nullptr;
    std::vector<UartPinDecoder> uarts_;
    std::unique_ptr<SpiPinDecoder> spi_;
    std::vector<PinAnnotation> decoded_;
    size_t droppedBytes_ = 0;
    nlohmann::json edges_ = nlohmann::json::array();
    std::vector<size_t> edgeCount_ = std::vector<size_t>(32);
    std::vector<Dense> dense_ = std::vector<Dense>(32, Dense{-1, -1, false});
};

}  // namespace boardsim
