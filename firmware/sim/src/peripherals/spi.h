// SPI0 / SPI1 of the LPC2000 family. As master, a write to SPDR shifts the
// byte out in 8 periods of SCK = pclk / SPCCR, MOSI changing and MISO
// sampled on the edges CPOL and CPHA choose, MSB or LSB first (LSBF); at
// the end SPIF is set and the byte read from MISO waits in SPDR. The whole
// waveform is handed to the pins at the start, so a byte costs one
// scheduled action, not one per edge. As slave, it follows SCK and SSEL on
// its pins. Status (SPSR): SPIF, WCOL (SPDR written while a transfer runs
// or before SPSR has been read after one), MODF (SSEL driven low while
// master: the SPI drops to slave and lets go of its pins), ROVR (a slave
// transfer ended while SPIF was still set), ABRT (SSEL let go in the middle
// of a slave transfer). SPIF and WCOL clear by reading SPSR, then touching
// SPDR; MODF by reading SPSR, then writing SPCR; ROVR and ABRT by reading
// SPSR. With SPIE set, SPIF or MODF raise the interrupt flag (SPINT) and
// the interrupt line until a 1 is written to SPINT.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "peripherals/peripheral.h"
#include "peripherals/signal_pins.h"

namespace boardsim {

namespace spi {
// SPCR
constexpr Field kCpha{"CPHA", 3, 1};
constexpr Field kCpol{"CPOL", 4, 1};
constexpr Field kMstr{"MSTR", 5, 1};
constexpr Field kLsbf{"LSBF", 6, 1};
constexpr Field kSpie{"SPIE", 7, 1};
// SPSR
constexpr Field kAbrt{"ABRT", 3, 1};
constexpr Field kModf{"MODF", 4, 1};
constexpr Field kRovr{"ROVR", 5, 1};
constexpr Field kWcol{"WCOL", 6, 1};
constexpr Field kSpif{"SPIF", 7, 1};
// SPDR, SPCCR, SPINT
constexpr Field kData{"DATA", 0, 8};
constexpr Field kCounter{"COUNTER", 0, 8};
constexpr Field kInterruptFlag{"SPIF_INT", 0, 1};

// The model's signals, as SignalPins knows them.
enum Signal : unsigned { kSck, kMiso, kMosi, kSsel, kSignals };
// The smallest clock counter master mode allows (and it must be even).
constexpr uint32_t kMinCounter = 8;
}  // namespace spi

class Spi final : public Peripheral {
public:
    // `index` names it and its registers: 0 for SPI0 (S0SPCR, ...).
    explicit Spi(unsigned index);

    // Where its signals go; until then it drives nothing and hears nothing.
    void connectPins(SignalPins& pins) { pins_ = &pins; }
    // What an input signal (SCK, MOSI and SSEL as slave; MISO and SSEL as
    // master) reads from `time` on.
    void inputChanged(unsigned signal, bool level, double time);

    bool master() const { return spcr_.has(spi::kMstr); }
    uint32_t clockCounter() const { return spccr_.get(spi::kCounter); }
    // SCK as master at the present peripheral clock (0 with no valid counter).
    double sckHz() const;
    bool transferring() const { return transferring_; }

    // A master transfer of `byte` starts now; the machine checks that the
    // pins carry it.
    std::function<void(uint8_t byte)> onTransferStart;

protected:
    void resetState() override;

private:
    Spi(unsigned index, const std::string& prefix);
    uint32_t control() const { return spcr_.value(); }
    void catchUp();  // a master transfer whose end has come is complete
    uint32_t readStatus();
    uint32_t readData();
    void writeData(uint32_t value);
    void writeControl(uint32_t value);
    void touchData();  // the SPDR access that clears a SPIF or WCOL seen in SPSR
    void startMaster(uint8_t byte);
    void completeMaster();
    void modeFault(double time);
    void finished(uint8_t received);  // SPIF, or ROVR when SPIF was still set
    void interrupt();  // SPIE set: SPINT and the interrupt line
    void takePins();
    void letGoOfPins();
    void drive(unsigned signal, bool enabled, bool level);
    bool inputLevel(unsigned signal);
    uint8_t bitOf(uint8_t byte, unsigned n) const;  // the n-th bit on the wire
    void slaveClock(bool level, double time);
    void slaveSelect(bool selected, double time);

    std::string prefix_;
    Register& spcr_;
    Register& spsr_;
    Register& spccr_;
    Register& spint_;
    SignalPins* pins_ = nullptr;
    uint32_t seenInStatus_ = 0;  // SPSR bits the last read of SPSR returned
    uint8_t received_ = 0;       // the read buffer
    uint8_t toSend_ = 0;         // what a slave shifts out next
    bool mosiLevel_ = false;     // where MOSI rests as master

    // A master transfer under way.
    bool transferring_ = false;
    double end_ = 0;
    uint64_t generation_ = 0;  // an end scheduled before an abort or reset is void
    std::array<double, 8> sampleAt_{};
    bool misoAtStart_ = true;
    std::vector<std::pair<double, bool>> misoChanges_;

    // A slave transfer under way.
    bool selected_ = false;
    unsigned slaveBits_ = 0;
    uint8_t slaveShift_ = 0;
};

}  // namespace boardsim
