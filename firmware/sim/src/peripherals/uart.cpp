#include "peripherals/uart.h"

namespace boardsim {

using namespace uart;

namespace {

constexpr size_t kFifoDepth = 16;
constexpr uint8_t kResetDivisorLow = 0x01;  // DLL after reset

constexpr size_t kTriggerLevels[] = {1, 4, 8, 14};
// The character time-out falls between 3.5 and 4.5 character times of
// silence; the model takes 4.
constexpr double kTimeOutCharacters = 4;

constexpr const char* kDivisorLatch = "LCR.DLAB = 1";
constexpr const char* kData = "LCR.DLAB = 0";

}  // namespace

Uart::Uart(unsigned index) : Uart(index, "U" + std::to_string(index)) {}

// Every register 8 bits wide (the user manual's UART chapters).
Uart::Uart(unsigned index, const std::string& p)
    : Peripheral("UART" + std::to_string(index), 0x20), prefix_(p),
      lcr_(define(0x0C, p + "LCR", 8)
               .field(kWordLength)
               .field(kStopBits)
               .field(kParityEnable)
               .field(kParitySelect)
               .field(kBreak)
               .field(kDlab)),
      dll_(define(0x00, p + "DLL", 8, kResetDivisorLow).onlyWhile(kDivisorLatch, [this] { return dlab(); })),
      dlm_(define(0x04, p + "DLM", 8).onlyWhile(kDivisorLatch, [this] { return dlab(); })),
      ier_(define(0x04, p + "IER", 8)
               .onlyWhile(kData, [this] { return !dlab(); })
               .field(kRbrInterrupt)
               .field(kThreInterrupt)
               .field(kLineStatusInterrupt)),
      fcr_(define(0x08, p + "FCR", 8, 0, Access::WriteOnly)
               .field(kFifoEnable)
               .field(kRxFifoReset)
               .field(kTxFifoReset)
               .field(kRxTrigger))
{
    const auto data = [this] { return !dlab(); };
    define(0x00, p + "RBR", 8, 0, Access::ReadOnly).onlyWhile(kData, data).reads([this] { return readRbr(); });
    define(0x00, p + "THR", 8, 0, Access::WriteOnly).onlyWhile(kData, data).writes([this](uint32_t v) {
        writeThr(v);
    });
    ier_.writes([this](uint32_t v) { writeIer(v); });
    define(0x08, p + "IIR", 8, kNoInterruptPending.of(1), Access::ReadOnly).reads([this] { return readIir(); });
    fcr_.writes([this](uint32_t v) { writeFcr(v); });
    // After the read that clears OE, LSR changes only as frames end
    // (scheduled) or the core writes: a loop waiting for THRE or RDR polls
    // a steady register.
    define(0x14, p + "LSR", 8, kThre.of(1) | kTemt.of(1), Access::ReadOnly)
        .reads([this] { return lineStatus(); })
        .steady();
    define(0x1C, p + "SCR", 8);
    if (index == 1) {
        // Modem control and status: no modem is wired, so nothing changes
        // them but the code.
        define(0x10, p + "MCR", 8).field({"DTR", 0, 1}).field({"RTS", 1, 1}).field({"LMS", 4, 1});
        define(0x18, p + "MSR", 8, 0, Access::ReadOnly);
    }
    reset();
}

void Uart::resetState()
{
    fifo_.clear();
    rxFifo_.clear();
    overrun_ = false;
    shifting_ = false;
    threPending_ = false;
    timedOut_ = false;
    ++generation_;
    ++rxActivity_;
}

double Uart::baud() const
{
    const uint32_t d = divisor();
    return d == 0 ? 0 : board().pclkHz() / (16.0 * d);
}

size_t Uart::fifoDepth() const
{
    return fcr_.has(kFifoEnable) ? kFifoDepth : 1;
}

uint32_t Uart::lineStatus()
{
    uint32_t status = kOe.of(overrun_ ? 1 : 0) | kRdr.of(rxFifo_.empty() ? 0 : 1);
    if (fifo_.empty()) {
        status |= kThre.of(1) | kTemt.of(shifting_ ? 0 : 1);
    }
    overrun_ = false;  // reading LSR clears OE, and its interrupt
    updateInterrupt();
    return status;
}

uint32_t Uart::readRbr()
{
    if (rxFifo_.empty()) {
        return 0;
    }
    const uint8_t byte = rxFifo_.front();
    rxFifo_.pop_front();
    rxActivity();
    return byte;
}

size_t Uart::triggerLevel() const
{
    return fcr_.has(kFifoEnable) ? kTriggerLevels[fcr_.get(kRxTrigger)] : 1;
}

uint32_t Uart::interruptId() const
{
    const uint32_t fifos = fcr_.has(kFifoEnable) ? kFifosEnabled.of(0x3) : 0;
    uint32_t id = 0;
    if (ier_.has(kLineStatusInterrupt) && overrun_) {
        id = kIdLineStatus;
    } else if (ier_.has(kRbrInterrupt) && rxFifo_.size() >= triggerLevel()) {
        id = kIdReceiveData;
    } else if (ier_.has(kRbrInterrupt) && timedOut_) {
        id = kIdTimeOut;
    } else if (ier_.has(kThreInterrupt) && threPending_) {
        id = kIdThre;
    } else {
        return fifos | kNoInterruptPending.of(1);
    }
    return fifos | kInterruptId.of(id);
}

uint32_t Uart::readIir()
{
    const uint32_t iir = interruptId();
    if (kInterruptId.get(iir) == kIdThre && !kNoInterruptPending.in(iir)) {
        threPending_ = false;  // reading IIR with THRE reported clears it
        updateInterrupt();
    }
    return iir;
}

void Uart::updateInterrupt()
{
    irq().set(!kNoInterruptPending.in(interruptId()));
}

void Uart::writeThr(uint32_t value)
{
    threPending_ = false;
    queue(uint8_t(value & 0xFF));
    updateInterrupt();
}

void Uart::writeIer(uint32_t value)
{
    const bool threEnabled = !ier_.has(kThreInterrupt) && kThreInterrupt.in(value);
    ier_.set(value);
    if (threEnabled && fifo_.empty()) {
        threPending_ = true;  // enabled with the transmit FIFO already empty
    }
    updateInterrupt();
}

void Uart::writeFcr(uint32_t value)
{
    fcr_.set(value & (kFifoEnable.mask() | kRxTrigger.mask()));  // the resets clear themselves
    if (kTxFifoReset.in(value)) {
        fifo_.clear();  // a byte already shifting goes on
    }
    if (kRxFifoReset.in(value)) {
        rxFifo_.clear();
        timedOut_ = false;
    }
    updateInterrupt();
}

unsigned Uart::frameBits() const
{
    const uint32_t lcr = lcr_.value();
    return 1 + 5 + kWordLength.get(lcr) + (kParityEnable.in(lcr) ? 1 : 0) + (kStopBits.in(lcr) ? 2 : 1);
}

void Uart::rxActivity()
{
    timedOut_ = false;
    const uint64_t activity = ++rxActivity_;
    const double rate = baud();
    if (!rxFifo_.empty() && rate > 0) {
        board().scheduleAt(board().now() + kTimeOutCharacters * frameBits() / rate, [this, activity] {
            if (activity == rxActivity_ && !rxFifo_.empty()) {
                timedOut_ = true;
                updateInterrupt();
            }
        });
    }
    updateInterrupt();
}

LineFrame Uart::frameFor(uint8_t byte, double start) const
{
    const uint32_t lcr = lcr_.value();
    LineFrame frame;
    frame.start = start;
    frame.baud = baud();
    frame.dataBits = 5 + kWordLength.get(lcr);
    frame.byte = uint8_t(byte & ((1u << frame.dataBits) - 1));
    frame.stopBits = kStopBits.in(lcr) ? 2 : 1;
    if (kParityEnable.in(lcr)) {
        const int ones = __builtin_popcount(frame.byte);
        switch (kParitySelect.get(lcr)) {
        case 0: frame.parity = (ones % 2 == 0) ? 1 : 0; break;  // odd
        case 1: frame.parity = ones % 2; break;                 // even
        case 2: frame.parity = 1; break;                        // forced 1
        default: frame.parity = 0; break;                       // forced 0
        }
    }
    return frame;
}

void Uart::queue(uint8_t byte)
{
    if (baud() == 0) {
        board().fault("byte written to " + prefix_ + "THR with the divisor latch at 0: " + name() +
                      " has no baud rate");
        return;
    }
    if (fifo_.size() >= fifoDepth()) {
        board().fault("byte written to " + prefix_ + "THR with the transmit FIFO full (" +
                      std::to_string(fifo_.size()) + " bytes): the chip drops it");
        return;
    }
    fifo_.push_back(byte);
    if (!shifting_) {
        startNext(board().now());
    }
}

// The next byte follows the last one's stop bit at once, between two
// instructions or not.
void Uart::startNext(double at)
{
    if (fifo_.empty()) {
        shifting_ = false;
        return;
    }
    shifting_ = true;
    const LineFrame frame = frameFor(fifo_.front(), at);
    fifo_.pop_front();
    if (fifo_.empty()) {
        threPending_ = true;  // the last byte moved to the shifter: THR is empty
        updateInterrupt();
    }
    if (onFrameStart) {
        onFrameStart(frame);
    }
    const uint64_t generation = generation_;
    board().scheduleAt(frame.end(), [this, frame, generation] {
        if (generation != generation_) {
            return;
        }
        if (onTransmit) {
            onTransmit(frame);
        }
        startNext(frame.end());
    });
}

void Uart::receive(uint8_t byte)
{
    if (rxFifo_.size() >= fifoDepth()) {
        overrun_ = true;  // the chip keeps what waits and loses the newcomer
        updateInterrupt();
        return;
    }
    rxFifo_.push_back(byte);
    rxActivity();
}

std::string Uart::frameFormat() const
{
    static const char kParity[] = {'O', 'E', '1', '0'};  // odd, even, forced 1, forced 0
    const uint32_t lcr = lcr_.value();
    std::string format;
    format += char('5' + kWordLength.get(lcr));
    format += kParityEnable.in(lcr) ? kParity[kParitySelect.get(lcr)] : 'N';
    format += kStopBits.in(lcr) ? '2' : '1';
    return format;
}

}  // namespace boardsim
