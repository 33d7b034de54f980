#include "peripherals/uart0.h"

namespace boardsim {
namespace {

constexpr uint8_t kLsrTransmitterIdle = 0x60;  // THRE | TEMT
constexpr uint8_t kLsrThre = 0x20;
constexpr uint8_t kLsrTemt = 0x40;
constexpr uint8_t kLsrRdr = 0x01;
constexpr uint8_t kLsrOe = 0x02;
constexpr uint8_t kIirNoInterrupt = 0x01;
constexpr size_t kFifoDepth = 16;

}  // namespace

const std::vector<RegisterSpec>& Uart0::registers() const
{
    static const std::vector<RegisterSpec> table = {
        {kRbrThrDll, "U0RBR", Access::ReadWrite, 0x00},  // U0THR when written, U0DLL under DLAB
        {kIerDlm, "U0IER", Access::ReadWrite, 0x00},     // U0DLM under DLAB
        {kIirFcr, "U0IIR", Access::ReadWrite, kIirNoInterrupt},  // U0FCR when written
        {kLcr, "U0LCR", Access::ReadWrite, 0x00},
        {kLsr, "U0LSR", Access::ReadOnly, kLsrTransmitterIdle},
        {kScr, "U0SCR", Access::ReadWrite, 0x00},
    };
    return table;
}

void Uart0::reset()
{
    dll_ = 0x01;  // the divisor latch's reset value
    dlm_ = 0x00;
    ier_ = 0x00;
    lcr_ = 0x00;
    fcr_ = 0x00;
    scr_ = 0x00;
    fifo_.clear();
    rxFifo_.clear();
    overrun_ = false;
    shifting_ = false;
    ++generation_;
}

double Uart0::baud() const
{
    const uint32_t d = divisor();
    return d == 0 ? 0 : board().pclkHz() / (16.0 * d);
}

uint8_t Uart0::lineStatus() const
{
    uint8_t status = overrun_ ? kLsrOe : 0;
    if (!rxFifo_.empty()) {
        status |= kLsrRdr;
    }
    if (fifo_.empty()) {
        status |= kLsrThre;
        if (!shifting_) {
            status |= kLsrTemt;
        }
    }
    return status;
}

LineFrame Uart0::frameFor(uint8_t byte, double start) const
{
    LineFrame frame;
    frame.start = start;
    frame.baud = baud();
    frame.dataBits = 5 + (lcr_ & 0x3);
    frame.byte = uint8_t(byte & ((1u << frame.dataBits) - 1));
    frame.stopBits = (lcr_ & 0x04) != 0 ? 2 : 1;
    if ((lcr_ & 0x08) != 0) {
        const int ones = __builtin_popcount(frame.byte);
        switch ((lcr_ >> 4) & 0x3) {
        case 0: frame.parity = (ones % 2 == 0) ? 1 : 0; break;  // odd
        case 1: frame.parity = ones % 2; break;                 // even
        case 2: frame.parity = 1; break;                        // forced 1
        default: frame.parity = 0; break;                       // forced 0
        }
    }
    return frame;
}

void Uart0::queue(uint8_t byte)
{
    if (baud() == 0) {
        board().fault("byte written to U0THR with the divisor latch at 0: UART0 has no baud rate");
        return;
    }
    const size_t depth = (fcr_ & 0x01) != 0 ? kFifoDepth : 1;
    if (fifo_.size() >= depth) {
        board().fault("byte written to U0THR with the transmit FIFO full (" + std::to_string(fifo_.size()) +
                      " bytes): the chip drops it");
        return;
    }
    fifo_.push_back(byte);
    if (!shifting_) {
        startNext(board().now());
    }
}

// The next byte follows the last one's stop bit at once, between two
// instructions or not.
void Uart0::startNext(double at)
{
    if (fifo_.empty()) {
        shifting_ = false;
        return;
    }
    shifting_ = true;
    const LineFrame frame = frameFor(fifo_.front(), at);
    fifo_.pop_front();
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

void Uart0::receive(uint8_t byte)
{
    const size_t depth = (fcr_ & 0x01) != 0 ? kFifoDepth : 1;
    if (rxFifo_.size() >= depth) {
        overrun_ = true;  // the chip keeps what waits and loses the newcomer
        return;
    }
    rxFifo_.push_back(byte);
}

std::string Uart0::registerName(uint32_t offset, bool write) const
{
    switch (offset) {
    case kRbrThrDll: return dlab() ? "U0DLL" : write ? "U0THR" : "U0RBR";
    case kIerDlm: return dlab() ? "U0DLM" : "U0IER";
    case kIirFcr: return write ? "U0FCR" : "U0IIR";
    default: return Peripheral::registerName(offset, write);
    }
}

uint32_t Uart0::readRegister(uint32_t offset)
{
    switch (offset) {
    case kRbrThrDll: {
        if (dlab()) {
            return dll_;
        }
        if (rxFifo_.empty()) {
            return 0;
        }
        const uint8_t byte = rxFifo_.front();
        rxFifo_.pop_front();
        return byte;
    }
    case kIerDlm: return dlab() ? dlm_ : ier_;
    case kIirFcr: return kIirNoInterrupt;
    case kLcr: return lcr_;
    case kLsr: {
        const uint8_t status = lineStatus();
        overrun_ = false;  // reading LSR clears OE
        return status;
    }
    default: return scr_;
    }
}

void Uart0::writeRegister(uint32_t offset, uint32_t value)
{
    const auto byte = uint8_t(value & 0xFF);
    switch (offset) {
    case kRbrThrDll:
        if (dlab()) {
            dll_ = byte;
        } else {
            queue(byte);
        }
        break;
    case kIerDlm: (dlab() ? dlm_ : ier_) = byte; break;
    case kIirFcr:
        fcr_ = byte;
        if ((byte & 0x04) != 0) {
            fifo_.clear();  // TX FIFO reset; a byte already shifting goes on
        }
        if ((byte & 0x02) != 0) {
            rxFifo_.clear();
        }
        break;
    case kLcr: lcr_ = byte; break;
    default: scr_ = byte; break;
    }
}

std::string Uart0::frameFormat() const
{
    static const char kParity[] = {'O', 'E', '1', '0'};  // odd, even, forced 1, forced 0
    std::string format;
    format += char('5' + (lcr_ & 0x3));
    format += (lcr_ & 0x08) ? kParity[(lcr_ >> 4) & 0x3] : 'N';
    format += (lcr_ & 0x04) ? '2' : '1';
    return format;
}

}  // namespace boardsim
