#include "machine/lpc2294.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <numeric>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "core/board_error.h"
#include "peripherals/adc.h"
#include "peripherals/vic.h"
#include "peripherals/watchdog.h"
#include "util/text.h"

namespace boardsim {
namespace {

// Which of the panel's lines each of its pins is.
constexpr std::pair<unsigned, unsigned> kLcdLines[] = {
    {Lpc2294Machine::kLcdSclkPin, Pcd8544::kSclk}, {Lpc2294Machine::kLcdSdinPin, Pcd8544::kSdin},
    {Lpc2294Machine::kLcdDcPin, Pcd8544::kDataCommand}, {Lpc2294Machine::kLcdScePin, Pcd8544::kEnable},
    {Lpc2294Machine::kLcdResPin, Pcd8544::kReset}};

// TxD0 on P0.0, RxD0 on P0.1, TxD1 on P0.8, RxD1 on P0.9: PINSEL0 value 01.
constexpr SerialWiring kSerialWiring[] = {
    {"UART0", "TxD0", "U0THR", 0, 0, 1, 1},
    {"UART1", "TxD1", "U1THR", 1, 8, 9, 1},
};

// Erased flash reads as ones; RAM holds no useful value after power-up, so
// it starts with a pattern rather than the zeros that could hide a missing
// initialisation.
constexpr uint8_t kErasedFlash = 0xFF;
constexpr uint8_t kRamPowerUpPattern = 0xA5;

// Where EINT0..3 can come in: a port-0 pin and the PINSEL value that makes
// it that input (pin connect block of the LPC2294 user manual).
struct ExternalInputPin {
    unsigned pin;
    unsigned function;
    unsigned eint;
};
constexpr ExternalInputPin kExternalInputPins[] = {
    {1, 3, 0}, {16, 1, 0}, {3, 3, 1}, {14, 2, 1}, {7, 3, 2}, {15, 2, 2}, {9, 3, 3}, {20, 3, 3}, {30, 2, 3},
};

uint32_t keyMask(int key)
{
    if (key < 1 || key > Lpc2294Machine::kKeyCount) {
        throw std::out_of_range("there is no KEY_" + std::to_string(key));
    }
    return 1u << (Lpc2294Machine::kFirstKeyPin + unsigned(key - 1));
}

}  // namespace

const std::vector<DeviceRow>& Lpc2294Machine::rows()
{
    // Bases and interrupt (VIC) channels from the LPC2294 user manual.
    static const std::vector<DeviceRow> table = {
        // name     base        model                  VIC channels of its outputs
        {"wdt", 0xE0000000, make<Watchdog>, {0}},
        {"timer0", 0xE0004000, make<Timer, 0u>, {4}},
        {"timer1", 0xE0008000, make<Timer, 1u>, {5}},
        {"uart0", kUart0Base, make<Uart, 0u>, {6}},
        {"uart1", kUart1Base, make<Uart, 1u>, {7}},
        {"spi0", 0xE0020000, make<Spi, 0u>, {10}},
        {"gpio", 0xE0028000, make<Gpio>, {}},
        {"pinsel", 0xE002C000, make<PinSelect>, {}},
        {"adc", 0xE0034000, make<Adc>, {18}},
        {"scb", 0xE01FC000, make<SystemControl>, {14, 15, 16, 17, 12}},  // EINT0..3, PLL lock
        {"vic", 0xFFFFF000, make<Vic>, {}},
    };
    return table;
}

const std::vector<MemoryRegion>& Lpc2294Machine::memory() const
{
    static const std::vector<MemoryRegion> regions = {
        {"flash", kFlashBase, kFlashSize, false, kErasedFlash, true},
        {"RAM", kRamBase, kRamSize, true, kRamPowerUpPattern, false},
    };
    return regions;
}

template <typename Model>
Model& Lpc2294Machine::placed(const char* name)
{
    auto* model = dynamic_cast<Model*>(device(name));
    if (model == nullptr) {
        throw BoardError(std::string("the machine has no ") + name + " of the model it wires");
    }
    return *model;
}

namespace {

std::vector<std::unique_ptr<Peripheral>> buildModels()
{
    const auto& rows = Lpc2294Machine::rows();
    std::vector<std::unique_ptr<Peripheral>> models(rows.size());
    std::transform(rows.begin(), rows.end(), models.begin(), [](const DeviceRow& row) { return row.model(); });
    return models;
}

}  // namespace

Lpc2294Machine::Lpc2294Machine(double hostBaud, double bounceSeconds)
    : placed_([] {
          std::vector<Placed> placed;
          auto models = buildModels();
          for (size_t i = 0; i < models.size(); ++i) {
              placed.push_back({&rows()[i], std::move(models[i])});
          }
          return placed;
      }()),
      systemControl(placed<SystemControl>("scb")), pinSelect(placed<PinSelect>("pinsel")),
      gpio(placed<Gpio>("gpio")), uart0(placed<Uart>("uart0")), uart1(placed<Uart>("uart1")),
      timer0(placed<Timer>("timer0")), timer1(placed<Timer>("timer1")), spi0(placed<Spi>("spi0")),
      keypad_(bounceSeconds, [this](int key, bool down) { setKey(key, down); }),
      pins_(pinSelect, gpio, [this] { return engine_ != nullptr ? engine_->now() : 0.0; }),
      // SPI0's SCK0, MISO0, MOSI0 and SSEL0 are function 01 of P0.4..P0.7.
      // Each idles high: a pin not connected to SSEL0 never selects the SPI.
      spi0Pins_(pins_, {{4, 1, true}, {5, 1, true}, {6, 1, true}, {7, 1, true}},
                [this](unsigned signal, bool level, double time) { spi0.inputChanged(signal, level, time); }),
      lcd_([this](const std::string& what) { fault(what); }),
      dac_([this](const std::string& what) { fault(what); })
{
    serial_.reserve(kUarts);  // the UARTs' callbacks point into it
    serial_.emplace_back(kSerialWiring[0], uart0, pinSelect, pins_, static_cast<BoardServices&>(*this), hostBaud);
    serial_.emplace_back(kSerialWiring[1], uart1, pinSelect, pins_, static_cast<BoardServices&>(*this), hostBaud);
    for (const Placed& p : placed_) {
        p.model->validate();
        p.model->attach(static_cast<BoardServices&>(*this));
        for (unsigned output = 0; output < p.row->channels.size(); ++output) {
            const unsigned channel = p.row->channels[output];
            p.model->connectInterrupt(output, InterruptLine([this, channel](bool asserted) {
                interrupts_->setLine(channel, asserted);
            }));
        }
    }
    // The chip's other blocks: named, and refused, when the code reaches them.
    for (const ChipBlock& block : lpc2294Blocks()) {
        const auto model = std::find_if(placed_.begin(), placed_.end(),
                                        [&](const Placed& p) { return p.row->base == block.base; });
        if (model == placed_.end()) {
            unmodelled_.push_back(std::make_unique<UnmodelledBlock>(block));
        } else if (block.name != std::string(model->model->name())) {
            throw BoardError(std::string("the machine places the ") + model->model->name() + " model where the chip has " +
                             block.name + " (" + hex(block.base) + ")");
        }
    }
    // The machine's interrupt controller, if a row places one.
    for (const Placed& p : placed_) {
        if (auto* controller = dynamic_cast<InterruptController*>(p.model.get())) {
            interrupts_ = controller;
        }
    }
    interrupts_->driveCore([this](bool irq, bool fiq) {
        if (engine_ != nullptr) {
            engine_->setCoreInterrupt(ArmException::Irq, irq);
            engine_->setCoreInterrupt(ArmException::Fiq, fiq);
        }
    });
    gpio.onOutputsChanged = [this] {
        pins_.update();
        noteLed();
    };
    gpio.pinLevels = [this] { return pins_.levels(); };
    gpio.nextPinEdge = [this] { return pins_.nextPending(); };
    gpio.gpioPins = [this](unsigned port) { return port == 1 ? pinSelect.port1GpioPins() : 0xFFFFFFFFu; };
    pinSelect.onChanged = [this] {
        pins_.update();
        updateExternalInputs();
    };
    spi0.connectPins(spi0Pins_);
    spi0.onTransferStart = [this](uint8_t byte) { checkSpiPins(byte); };
    wireLcd();
    wireDac();
    placed<Adc>("adc").input = [this](unsigned channel) { return analogInput(channel); };
}

std::optional<double> Lpc2294Machine::analogInput(unsigned channel) const
{
    if (channel >= kAnalogInputs) {
        return 0.0;
    }
    // AIN0..3 are function 01 of P0.27..P0.30 in PINSEL1.
    if (pinSelect.port0Function(kFirstAinPin + channel) != 1) {
        return std::nullopt;
    }
    return ain_[channel];
}

void Lpc2294Machine::setAin(unsigned channel, double volts)
{
    if (channel >= kAnalogInputs) {
        throw BoardError("there is no AIN" + std::to_string(channel) + " on the board (AIN0 to AIN3)");
    }
    placed<Adc>("adc").inputsChanging();
    ain_[channel] = volts;
}

void Lpc2294Machine::wireLcd()
{
    uint32_t mask = 0;
    for (const auto& [pin, line] : kLcdLines) {
        mask |= 1u << pin;
    }
    pins_.listen(mask, [this](unsigned pin, bool level, double time) {
        for (const auto& [wired, line] : kLcdLines) {
            if (wired == pin) {
                lcd_.setLine(line, level, time);
            }
        }
    });
}

// The DAC hears its /CS always, and SCLK and DIN only while /CS is low:
// the LCD's traffic on the shared lines costs it nothing.
void Lpc2294Machine::wireDac()
{
    constexpr uint32_t kSelect = 1u << kDacCsPin;
    constexpr uint32_t kShared = (1u << kDacSclkPin) | (1u << kDacDinPin);
    dacListener_ = pins_.listen(kSelect, [this](unsigned pin, bool level, double time) {
        if (pin == kDacSclkPin) {
            dac_.setLine(Tlv5618::kSclk, level, time);
        } else if (pin == kDacDinPin) {
            dac_.setLine(Tlv5618::kDin, level, time);
        } else if (!level) {
            // Selected: the shared lines as they are now, then every change.
            const uint32_t levels = pins_.levels();
            dac_.setLine(Tlv5618::kSclk, (levels >> kDacSclkPin & 1u) != 0, time);
            dac_.setLine(Tlv5618::kDin, (levels >> kDacDinPin & 1u) != 0, time);
            dac_.setLine(Tlv5618::kCs, false, time);
            pins_.setListening(dacListener_, kSelect | kShared);
        } else {
            dac_.setLine(Tlv5618::kCs, true, time);
            pins_.setListening(dacListener_, kSelect);
        }
    });
}

void Lpc2294Machine::checkSpiPins(uint8_t byte)
{
    // The LCD and the DAC share SCK0 and MOSI0: with both selected, both
    // take the byte, and the one it was not meant for is corrupted.
    const uint32_t levels = pins_.levels();
    if ((levels >> kLcdScePin & 1u) == 0 && (levels >> kDacCsPin & 1u) == 0) {
        fault("byte " + hex(byte) + " sent on SPI0 with both the LCD's SCE (P0.21) and the DAC's /CS (P0.23) low: " +
              "both devices take it");
    }
    if (!spi0Pins_.connected(spi::kSck) || !spi0Pins_.connected(spi::kMosi)) {
        // The SPI shifts, but SCK0 or MOSI0 is not on its pin: nothing
        // reaches the panel or the DAC.
        fault("byte " + hex(byte) + " written to S0SPDR while P0.4 is not SCK0 or P0.6 is not MOSI0 (PINSEL0 = " +
              hex(pinSelect.pinsel0()) + ")");
    }
}

std::vector<uint8_t> Lpc2294Machine::lcdGlass()
{
    pins_.catchUp();  // a byte on its way counts as far as its bits have gone
    return lcd_.glass();
}

std::string Lpc2294Machine::lcdWhyBlank()
{
    pins_.catchUp();
    return lcd_.whyBlank();
}

void Lpc2294Machine::attach(EngineServices& engine)
{
    engine_ = &engine;
    keypad_.attach(engine);
}

std::vector<DeviceMapping> Lpc2294Machine::devices() const
{
    std::vector<DeviceMapping> mappings;
    std::transform(placed_.begin(), placed_.end(), std::back_inserter(mappings), [](const Placed& p) {
        return DeviceMapping{p.row->name, p.row->base, p.model.get()};
    });
    std::transform(unmodelled_.begin(), unmodelled_.end(), std::back_inserter(mappings), [](const auto& block) {
        return DeviceMapping{"unmodelled", block->base(), block.get()};
    });
    return mappings;
}

Peripheral* Lpc2294Machine::device(const std::string& name) const
{
    const auto found =
        std::find_if(placed_.begin(), placed_.end(), [&](const Placed& p) { return name == p.row->name; });
    return found == placed_.end() ? nullptr : found->model.get();
}

std::optional<std::pair<Peripheral*, uint32_t>> Lpc2294Machine::deviceAt(uint32_t address) const
{
    const auto found = std::find_if(placed_.begin(), placed_.end(), [&](const Placed& p) {
        return address >= p.row->base && address - p.row->base < p.model->size();
    });
    if (found == placed_.end()) {
        return std::nullopt;
    }
    return std::make_pair(found->model.get(), address - found->row->base);
}

void Lpc2294Machine::reset()
{
    for (SerialPort& port : serial_) {
        port.reset();
    }
    passThrough_.reset();
    keypad_.reset();
    for (const Placed& p : placed_) {
        p.model->reset();
    }
    pins_.reset();  // the board's pull-ups, no key down, nothing driven
    for (SerialPort& port : serial_) {
        port.takePins();
    }
    const uint32_t levels = pins_.levels();
    std::array<bool, Pcd8544::kLines> lines{};
    for (const auto& [pin, line] : kLcdLines) {
        lines[line] = (levels >> pin & 1u) != 0;
    }
    lcd_.powerOn(lines, 0);
    dac_.powerOn({(levels >> kDacSclkPin & 1u) != 0, (levels >> kDacDinPin & 1u) != 0,
                  (levels >> kDacCsPin & 1u) != 0},
                 0);
    pins_.setListening(dacListener_, (levels >> kDacCsPin & 1u) != 0
                                         ? 1u << kDacCsPin
                                         : (1u << kDacCsPin) | (1u << kDacSclkPin) | (1u << kDacDinPin));
    led_ = led();
    updateExternalInputs();
}

// The chip's pins go back to GPIO inputs; what the board drives onto them,
// and the devices on it, stay as they are.
void Lpc2294Machine::resetChip()
{
    for (const Placed& p : placed_) {
        p.model->reset();
    }
    for (SerialPort& port : serial_) {
        port.chipReset();
    }
    pins_.update();
    noteLed();
    updateExternalInputs();
}

void Lpc2294Machine::updateExternalInputs()
{
    // A pin selected as EINTn brings in what is outside it (the input is
    // low when any of its pins is low); an EINT without a pin stays high.
    const uint32_t outside = pins_.outside();
    const uint32_t high = std::accumulate(
        std::begin(kExternalInputPins), std::end(kExternalInputPins), 0xFu,
        [&](uint32_t levels, const ExternalInputPin& p) {
            const bool pulledLow = pinSelect.port0Function(p.pin) == p.function && ((outside >> p.pin) & 1) == 0;
            return pulledLow ? (levels & ~(1u << p.eint)) : levels;
        });
    for (unsigned n = 0; n < scb::kExternalInterrupts; ++n) {
        systemControl.setExternalInput(n, ((high >> n) & 1) != 0);
    }
}

MemoryTiming Lpc2294Machine::memoryTiming() const
{
    // The VPB bridge waits for the slower peripheral clock.
    return {systemControl.mamMode(), systemControl.mamFetchCycles(), systemControl.vpbDivider()};
}

void Lpc2294Machine::clocksApplied()
{
    for (const Placed& p : placed_) {
        p.model->pclkChanged();
    }
}

void Lpc2294Machine::setKey(int key, bool down)
{
    pins_.setOutsidePins(keyMask(key), !down);  // a pressed key grounds its pin
    updateExternalInputs();
}

bool Lpc2294Machine::keyDown(int key) const
{
    return (pins_.outside() & keyMask(key)) == 0;
}

LedState Lpc2294Machine::led() const
{
    const uint32_t mask = 1u << kLedPin;
    return {(gpio.direction() & mask) != 0, (gpio.pins() & mask) != 0};
}

void Lpc2294Machine::noteLed()
{
    const LedState state = led();
    if (state != led_) {
        led_ = state;
        emit(EventKind::Led, state.driven ? 1 : 0, state.high ? 1 : 0);
    }
}

uint64_t Lpc2294Machine::interruptsRaised(unsigned channel) const
{
    const auto* vic = dynamic_cast<const Vic*>(interrupts_);
    return vic != nullptr ? vic->assertions()[channel & 31] : 0;
}

SerialPort& Lpc2294Machine::serial(int uart)
{
    if (uart < 0 || uart >= kUarts) {
        throw BoardError("there is no UART" + std::to_string(uart));
    }
    return serial_[size_t(uart)];
}

const SerialPort& Lpc2294Machine::serial(int uart) const
{
    return const_cast<Lpc2294Machine*>(this)->serial(uart);
}

}  // namespace boardsim
