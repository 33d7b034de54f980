// The LPC2294 board as a machine: its memories, its peripherals placed by
// name, base address, model and interrupt channel (the table in
// lpc2294.cpp), port 0's pins as levels in time (pins.h), and what the
// board wires to them: the status LED on P0.31, KEY_1..KEY_4 on
// P0.16..P0.19 with board pull-ups, the host's terminal at the other end of
// TxD0/RxD0, the LCD's PCD8544 on SPI0 (SCLK on SCK0 P0.4, SDIN on MOSI0
// P0.6) and three GPIO lines (D/C P0.20, SCE P0.21, RES P0.22), the
// TLV5618 DAC on the same SCK0 and MOSI0 with its own /CS on P0.23 (a GPIO),
// SSEL0 (P0.7) pulled up. A new peripheral is a model of its own and one
// row in the table.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/machine_model.h"
#include "machine/interrupts.h"
#include "machine/keypad.h"
#include "machine/pcd8544.h"
#include "machine/pins.h"
#include "machine/serial_port.h"
#include "machine/tlv5618.h"
#include "machine/unmodelled_block.h"
#include "peripherals/peripheral.h"
#include "peripherals/gpio.h"
#include "peripherals/pin_select.h"
#include "peripherals/spi.h"
#include "peripherals/system_control.h"
#include "peripherals/timer.h"
#include "peripherals/uart.h"

namespace boardsim {

constexpr uint32_t kFlashBase = 0x00000000;
constexpr uint32_t kFlashSize = 256 * 1024;
constexpr uint32_t kRamBase = 0x40000000;
constexpr uint32_t kRamSize = 16 * 1024;
constexpr uint32_t kUart0Base = 0xE000C000;
constexpr uint32_t kUart1Base = 0xE0010000;

// What a front end may set of the board around the chip.
constexpr double kDefaultHostBaud = 115200;  // the terminal on TxD0
constexpr double kDefaultBounce = 0.005;     // key contacts' chatter at each edge

struct LedState {
    bool driven = false;  // P0.31 is an output
    bool high = false;    // level on the pin
    bool operator==(const LedState& o) const { return driven == o.driven && high == o.high; }
    bool operator!=(const LedState& o) const { return !(*this == o); }
};

// One line of the machine file.
struct DeviceRow {
    const char* name;  // how traces and messages call it
    uint32_t base;
    std::unique_ptr<Peripheral> (*model)();
    // Interrupt controller channels of the model's request outputs, in
    // their order; none for a model without interrupts.
    std::vector<unsigned> channels;
};

class Lpc2294Machine final : public MachineModel, private BoardServices {
    struct Placed {
        const DeviceRow* row;
        std::unique_ptr<Peripheral> model;
    };
    // First, so that the models exist before the references below.
    std::vector<Placed> placed_;

public:
    static constexpr unsigned kLedPin = 31;
    static constexpr unsigned kFirstKeyPin = 16;
    static constexpr int kKeyCount = Keypad::kKeys;
    // The LCD's lines, as the board's wiring header names them.
    static constexpr unsigned kLcdSclkPin = 4;  // SCK0
    static constexpr unsigned kLcdSdinPin = 6;  // MOSI0
    static constexpr unsigned kLcdDcPin = 20;
    static constexpr unsigned kLcdScePin = 21;
    static constexpr unsigned kLcdResPin = 22;
    // The DAC's lines: the LCD's SCK0 and MOSI0, its own chip select.
    static constexpr unsigned kDacSclkPin = 4;  // SCK0
    static constexpr unsigned kDacDinPin = 6;   // MOSI0
    static constexpr unsigned kDacCsPin = 23;   // GPIO, low active

    // `hostBaud`: the rate the terminal on TxD0 listens at; `bounceSeconds`:
    // how long key contacts chatter.
    explicit Lpc2294Machine(double hostBaud = kDefaultHostBaud, double bounceSeconds = kDefaultBounce);
    static constexpr int kUarts = 2;
    Lpc2294Machine(const Lpc2294Machine&) = delete;
    Lpc2294Machine& operator=(const Lpc2294Machine&) = delete;

    // The machine file.
    static const std::vector<DeviceRow>& rows();

    // MachineModel.
    void attach(EngineServices& engine) override;
    const std::vector<MemoryRegion>& memory() const override;
    std::vector<DeviceMapping> devices() const override;
    void reset() override;
    void resetChip() override;
    double cclkHz() const override { return systemControl.cclkHz(); }
    MemoryTiming memoryTiming() const override;
    void clocksApplied() override;
    void idleEnded() override { systemControl.idleEnded(); }
    bool fiqPossible() const override { return interrupts_->fiqPossible(); }

    // The peripheral that answers for a bus address, and the offset in it.
    std::optional<std::pair<Peripheral*, uint32_t>> deviceAt(uint32_t address) const;
    Peripheral* device(const std::string& name) const;

    Keypad& keypad() { return keypad_; }
    void setKey(int key, bool down);  // key 1..4; throws for any other
    bool keyDown(int key) const;
    LedState led() const;
    double pclkHz() const override { return systemControl.pclkHz(); }
    const HostTerminal& terminal(int uart = 0) const { return serial(uart).terminal(); }
    const InterruptController& interrupts() const { return *interrupts_; }
    // How many times channel `channel`'s request has risen since reset (0
    // without a VIC).
    uint64_t interruptsRaised(unsigned channel) const;
    // The line of UART `uart` (0 or 1): its terminal, what it types
    // (hostSend), a loopback plug instead.
    SerialPort& serial(int uart);
    const SerialPort& serial(int uart) const;
    // The host's terminal on UART0 types `byte` (at `baud`, when given).
    void hostSend(uint8_t byte, double baud = 0) { serial(0).hostSend(byte, baud); }
    // Why UART0's terminal shows garbage, with what it shows.
    std::string garbleMessage() const { return serial(0).garbleMessage(); }
    // Whether a terminal reading garbage ends the run (see SerialPort).
    void setLineCheck(bool on)
    {
        for (SerialPort& port : serial_) {
            port.setLineCheck(on);
        }
    }
    bool lineCheck() const { return serial(0).lineCheck(); }

    // The voltage the board puts on AIN`channel` (0..3, P0.27..P0.30) from
    // now on; 0 V until set. AIN4..7 (port 3) are not modelled: they
    // convert as 0 V.
    static constexpr unsigned kAnalogInputs = 4;
    static constexpr unsigned kFirstAinPin = 27;
    void setAin(unsigned channel, double volts);
    double ain(unsigned channel) const { return ain_.at(channel); }

    Pins& pins() { return pins_; }
    const Pcd8544& lcd() const { return lcd_; }
    // The DAC, for whoever follows its outputs (Tlv5618::listen).
    Tlv5618& dac() { return dac_; }
    const Tlv5618& dac() const { return dac_; }
    // What the LCD's glass shows now (lcd_geometry.h's layout), and why it
    // shows nothing, if it does (empty otherwise).
    std::vector<uint8_t> lcdGlass();
    std::string lcdWhyBlank();

    SystemControl& systemControl;
    PinSelect& pinSelect;
    Gpio& gpio;
    Uart& uart0;
    Uart& uart1;
    Timer& timer0;
    Timer& timer1;
    Spi& spi0;

private:
    template <typename Model>
    Model& placed(const char* name);

    // BoardServices, for the peripherals.
    void emit(EventKind kind, uint32_t address, uint32_t value) override { engine_->emit(kind, address, value); }
    void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) override
    {
        engine_->emitAt(time, kind, address, value);
    }
    double now() const override { return engine_->now(); }
    void scheduleAt(double at, std::function<void()> action) override
    {
        engine_->schedule(When::at(at), std::move(action));
    }
    void fault(std::string what) override { engine_->fault(std::move(what)); }
    void boardFault(std::string what) override { engine_->boardFault(std::move(what)); }
    void warn(std::string what) override { engine_->warn(std::move(what)); }
    void clocksChanged() override { engine_->clocksChanged(); }
    uint64_t busAccesses() const override { return engine_->busAccesses(); }
    bool privileged() const override { return engine_->privileged(); }
    void sleep(bool powerDown) override { engine_->sleep(powerDown); }
    void wake() override { engine_->wake(); }
    void resetChip(std::string why) override { engine_->resetChip(std::move(why)); }
    void noteLed();
    // The levels of the pins selected as EINT0..3, to the system control block.
    void updateExternalInputs();
    // What the converter sees on AIN`channel`: nothing while the pin has
    // a digital function.
    std::optional<double> analogInput(unsigned channel) const;
    void wireLcd();
    void wireDac();
    void checkSpiPins(uint8_t byte);

    EngineServices* engine_ = nullptr;
    PassThroughInterrupts passThrough_;
    InterruptController* interrupts_ = &passThrough_;
    Keypad keypad_;
    LedState led_;
    std::vector<SerialPort> serial_;
    std::vector<std::unique_ptr<UnmodelledBlock>> unmodelled_;
    Pins pins_;
    PeripheralPins spi0Pins_;
    Pcd8544 lcd_;
    Tlv5618 dac_;
    size_t dacListener_ = 0;
    std::array<double, kAnalogInputs> ain_{};
};

}  // namespace boardsim
