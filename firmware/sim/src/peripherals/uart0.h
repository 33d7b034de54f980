// UART0's transmitter with its line: bytes written to THR wait in the
// 16-byte FIFO and leave one at a time, each taking its frame's bit times
// at pclk / (16 x divisor); THRE and TEMT follow. Bytes that arrive on RxD0
// wait in the receive FIFO (16 deep, 1 with the FIFOs off) until RBR is read;
// LSR shows them (RDR) and one lost to a full FIFO (OE, cleared by reading
// LSR). Receive interrupts are not modelled (there is no VIC yet).
// Registers are 8 bits wide at word addresses; the divisor latch bit (LCR
// bit 7) puts DLL and DLM where RBR/THR and IER are.
#pragma once

#include <deque>
#include <string>

#include "peripherals/peripheral.h"
#include "machine/serial_line.h"

namespace boardsim {

class Uart0 final : public Peripheral {
public:
    static constexpr uint32_t kRbrThrDll = 0x00;
    static constexpr uint32_t kIerDlm = 0x04;
    static constexpr uint32_t kIirFcr = 0x08;
    static constexpr uint32_t kLcr = 0x0C;
    static constexpr uint32_t kLsr = 0x14;
    static constexpr uint32_t kScr = 0x1C;

    Uart0() { reset(); }
    const char* name() const override { return "UART0"; }
    uint32_t size() const override { return 0x20; }
    const std::vector<RegisterSpec>& registers() const override;
    void reset() override;
    std::string registerName(uint32_t offset, bool write) const override;

    uint32_t divisor() const { return (uint32_t(dlm_) << 8) | dll_; }
    // Bits per second on TxD0 at the present peripheral clock.
    double baud() const;
    uint8_t lineControl() const { return lcr_; }
    // "8N1", "7E2", ... from the line control register.
    std::string frameFormat() const;

    // A byte whose stop bit has arrived on RxD0.
    void receive(uint8_t byte);
    size_t received() const { return rxFifo_.size(); }

    // A byte written to THR, once its stop bit has left TxD0.
    std::function<void(const LineFrame&)> onTransmit;

protected:
    unsigned accessWidths() const override { return (1u << 1) | (1u << 4); }
    uint32_t readRegister(uint32_t offset) override;
    void writeRegister(uint32_t offset, uint32_t value) override;

private:
    bool dlab() const { return (lcr_ & 0x80) != 0; }
    void queue(uint8_t byte);
    void startNext(double at);
    uint8_t lineStatus() const;
    LineFrame frameFor(uint8_t byte, double start) const;

    std::deque<uint8_t> fifo_;
    std::deque<uint8_t> rxFifo_;
    bool overrun_ = false;
    bool shifting_ = false;
    uint64_t generation_ = 0;  // a transmission of before a reset does not end

    uint8_t dll_ = 1;
    uint8_t dlm_ = 0;
    uint8_t ier_ = 0;
    uint8_t lcr_ = 0;
    uint8_t fcr_ = 0;
    uint8_t scr_ = 0;
};

}  // namespace boardsim
