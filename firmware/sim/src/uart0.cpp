#include "uart0.h"

namespace boardsim {
namespace {

constexpr uint8_t kLsrTransmitterIdle = 0x60;  // THRE | TEMT
constexpr uint8_t kIirNoInterrupt = 0x01;

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
    case kRbrThrDll: return dlab() ? dll_ : 0;  // nothing is ever received
    case kIerDlm: return dlab() ? dlm_ : ier_;
    case kIirFcr: return kIirNoInterrupt;
    case kLcr: return lcr_;
    case kLsr: return kLsrTransmitterIdle;
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
        } else if (onTransmit) {
            onTransmit(byte);
        }
        break;
    case kIerDlm: (dlab() ? dlm_ : ier_) = byte; break;
    case kIirFcr: fcr_ = byte; break;
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
