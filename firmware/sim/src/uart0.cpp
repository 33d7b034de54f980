#include "uart0.h"

namespace boardsim {
namespace {

bool sizeOk(unsigned size) { return size == 1 || size == 4; }

}  // namespace

BusResult Uart0::read(uint32_t offset, unsigned size) const
{
    if (!sizeOk(size)) {
        return BusResult::refuse("UART0 registers take 8- or 32-bit accesses");
    }
    switch (offset) {
    case kRbrThrDll: return BusResult::read(dlab() ? dll_ : 0);  // nothing is ever received
    case kIerDlm: return BusResult::read(dlab() ? dlm_ : ier_);
    case kIirFcr: return BusResult::read(0x01);                  // no interrupt pending
    case kLcr: return BusResult::read(lcr_);
    case kLsr: return BusResult::read(kLsrTransmitterReady);
    case kScr: return BusResult::read(scr_);
    default: return BusResult::refuse("no such UART0 register");
    }
}

BusResult Uart0::write(uint32_t offset, unsigned size, uint32_t value, std::optional<uint8_t>& sent)
{
    sent.reset();
    if (!sizeOk(size)) {
        return BusResult::refuse("UART0 registers take 8- or 32-bit accesses");
    }
    const auto byte = uint8_t(value & 0xFF);
    switch (offset) {
    case kRbrThrDll:
        if (dlab()) {
            dll_ = byte;
        } else {
            sent = byte;
        }
        break;
    case kIerDlm:
        if (dlab()) {
            dlm_ = byte;
        } else {
            ier_ = byte;
        }
        break;
    case kIirFcr: fcr_ = byte; break;
    case kLcr: lcr_ = byte; break;
    case kScr: scr_ = byte; break;
    case kLsr: return BusResult::refuse("U0LSR is read-only");
    default: return BusResult::refuse("no such UART0 register");
    }
    return BusResult::done();
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
