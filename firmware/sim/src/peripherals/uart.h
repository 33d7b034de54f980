// A UART of the LPC2000 family (UART0, and UART1 with its modem registers
// as plain storage): bytes written to THR wait in the 16-byte FIFO and leave
// one at a time, each taking its frame's bit times at pclk / (16 x
// divisor); THRE and TEMT follow. Bytes that arrive on RxD wait in the
// receive FIFO (16 deep, 1 with the FIFOs off) until RBR is read; LSR shows
// them (RDR) and one lost to a full FIFO (OE, cleared by reading LSR).
// Interrupts as IER enables them, reported by IIR in the manual's order:
// receive line status (OE), receive data available (the FIFO at its
// trigger level), character time-out (data waiting and no activity for
// four character times), THRE (the transmit FIFO emptied; cleared by
// reading IIR or writing THR). Registers are 8 bits wide at word
// addresses; the divisor latch bit (LCR.DLAB) puts DLL and DLM where
// RBR/THR and IER are: aliases in the register definitions.
#pragma once

#include <deque>
#include <string>

#include "machine/serial_line.h"
#include "peripherals/peripheral.h"

namespace boardsim {

namespace uart {
// LCR
constexpr Field kWordLength{"WLS", 0, 2};
constexpr Field kStopBits{"SBS", 2, 1};
constexpr Field kParityEnable{"PE", 3, 1};
constexpr Field kParitySelect{"PS", 4, 2};
constexpr Field kBreak{"BC", 6, 1};
constexpr Field kDlab{"DLAB", 7, 1};
// FCR
constexpr Field kFifoEnable{"FIFOEN", 0, 1};
constexpr Field kRxFifoReset{"RXRST", 1, 1};
constexpr Field kTxFifoReset{"TXRST", 2, 1};
constexpr Field kRxTrigger{"RXTL", 6, 2};
// LSR
constexpr Field kRdr{"RDR", 0, 1};
constexpr Field kOe{"OE", 1, 1};
constexpr Field kThre{"THRE", 5, 1};
constexpr Field kTemt{"TEMT", 6, 1};
// IER
constexpr Field kRbrInterrupt{"RBRIE", 0, 1};
constexpr Field kThreInterrupt{"THREIE", 1, 1};
constexpr Field kLineStatusInterrupt{"RLSIE", 2, 1};
// IIR
constexpr Field kNoInterruptPending{"IP", 0, 1};
constexpr Field kInterruptId{"IID", 1, 3};
constexpr Field kFifosEnabled{"FIFOEN", 6, 2};
constexpr uint32_t kIdLineStatus = 0x3;
constexpr uint32_t kIdReceiveData = 0x2;
constexpr uint32_t kIdTimeOut = 0x6;
constexpr uint32_t kIdThre = 0x1;
}  // namespace uart

class Uart final : public Peripheral {
public:
    // `index` names it and its registers: 0 for UART0 (U0RBR, ...).
    explicit Uart(unsigned index);

    uint32_t divisor() const { return (dlm_.value() << 8) | dll_.value(); }
    // Bits per second on TxD at the present peripheral clock.
    double baud() const;
    uint8_t lineControl() const { return uint8_t(lcr_.value()); }
    // "8N1", "7E2", ... from the line control register.
    std::string frameFormat() const;

    // A byte whose stop bit has arrived on RxD.
    void receive(uint8_t byte);
    // Bits of one character as LCR frames them (start, data, parity, stop).
    unsigned frameBits() const;
    // IIR as a read would give it now, without a read's effect.
    uint32_t interruptId() const;
    size_t received() const { return rxFifo_.size(); }

    // A byte written to THR, once its stop bit has left TxD.
    std::function<void(const LineFrame&)> onTransmit;
    // The same frame as its start bit begins: its waveform, known ahead.
    std::function<void(const LineFrame&)> onFrameStart;

protected:
    void resetState() override;

private:
    Uart(unsigned index, const std::string& prefix);
    bool dlab() const { return lcr_.has(uart::kDlab); }
    size_t fifoDepth() const;
    void queue(uint8_t byte);
    void startNext(double at);
    uint32_t lineStatus();
    uint32_t readRbr();
    uint32_t readIir();
    void writeThr(uint32_t value);
    void writeIer(uint32_t value);
    void writeFcr(uint32_t value);
    size_t triggerLevel() const;
    // Receive activity: the character time-out starts again.
    void rxActivity();
    void updateInterrupt();
    LineFrame frameFor(uint8_t byte, double start) const;

    std::string prefix_;
    Register& lcr_;
    Register& dll_;
    Register& dlm_;
    Register& ier_;
    Register& fcr_;  // FIFO enable and trigger level, as last written
    std::deque<uint8_t> fifo_;
    std::deque<uint8_t> rxFifo_;
    bool overrun_ = false;
    bool shifting_ = false;
    bool threPending_ = false;
    bool timedOut_ = false;
    uint64_t rxActivity_ = 0;  // a time-out planned before the last activity does not count
    uint64_t generation_ = 0;  // a transmission of before a reset does not end
};

}  // namespace boardsim
