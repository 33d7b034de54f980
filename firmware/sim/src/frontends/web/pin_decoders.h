// Protocol decoders of a logic analyzer, reading pins as their edges come
// (in time order, as machine/pins.h delivers them): UART frames on a TxD or
// RxD pin, SPI bytes on MOSI framed by a device's chip select. They know the
// bytes only from the levels, as an analyzer clipped to the board would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace boardsim {

// A decoded byte under the pin that carried it.
struct PinAnnotation {
    unsigned pin = 0;
    double from = 0;  // seconds
    double to = 0;
    uint8_t byte = 0;
    std::string label;  // "48 'H'", "0A"; an SPI byte leads with its device, a bad stop bit ends in " !"
};

std::string byteLabel(uint8_t byte);

// An 8N1 receiver on one pin: a falling edge on an idle line starts a
// frame, each bit is sampled in its middle at the rate `baud()` gives at
// that start (0: the line is not set up, nothing is read).
class UartPinDecoder {
public:
    UartPinDecoder(unsigned pin, std::function<double()> baud) : pin_(pin), baud_(std::move(baud)) {}

    void edge(double time, bool level, std::vector<PinAnnotation>& out);
    // Reads the samples due before `time` (the level holds until then).
    void settle(double time, std::vector<PinAnnotation>& out);

private:
    unsigned pin_;
    std::function<double()> baud_;
    bool level_ = true;
    bool inFrame_ = false;
    double start_ = 0;
    double bitTime_ = 0;
    unsigned next_ = 0;  // the bit sampled next: 0 start, 1..8 data, 9 stop
    uint8_t byte_ = 0;
};

// A device on the SPI bus: its chip select (low while selected) and the
// clock phase it reads data in (CPOL is 0 on this board).
struct SpiDevice {
    std::string name;
    unsigned csPin = 0;
    bool cpha = false;  // false: MOSI read on SCK's rising edge; true: on its falling edge
};

// SPI bytes, MSB first, on MOSI while one device's chip select is low; a
// byte cut short by its chip select going high is dropped.
class SpiPinDecoder {
public:
    SpiPinDecoder(unsigned sckPin, unsigned mosiPin, std::vector<SpiDevice> devices);

    // Every pin the decoder reads: SCK, MOSI and the chip selects.
    uint32_t pins() const;
    void edge(unsigned pin, double time, bool level, std::vector<PinAnnotation>& out);

private:
    const SpiDevice* selected() const;

    unsigned sckPin_;
    unsigned mosiPin_;
    std::vector<SpiDevice> devices_;
    uint32_t levels_ = 0xFFFFFFFF;  // chip selects idle high; SCK and MOSI as seen
    unsigned bits_ = 0;
    uint8_t byte_ = 0;
    double from_ = 0;
};

}  // namespace boardsim
