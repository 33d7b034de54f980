// UART0 driver: polled transmission on TxD0 (RxD0 connected too).
#include "config.h"
#include "UART.h"
#include "wiring.h"

namespace {

constexpr INT32U kBaudRate = 115200;
// The UART samples each bit 16 times; round the divisor to the nearest integer.
constexpr INT32U kDivisor = (Fpclk + 8 * kBaudRate) / (16 * kBaudRate);
static_assert(kDivisor > 0 && kDivisor <= 0xFFFF, "baud rate out of reach of Fpclk");

constexpr INT32U kLcrDlab = 0x80;     // divisor latch access
constexpr INT32U kLcr8N1 = 0x03;      // 8 data bits, no parity, 1 stop bit
constexpr INT32U kFcrEnableAndReset = 0x07;
constexpr INT32U kLsrThre = 0x20;     // transmit holding register empty

}  // namespace

extern "C" void UART0_Init(void)
{
    PINSEL0 = (PINSEL0 & ~(PINSEL_FIELD(PIN_TXD0) | PINSEL_FIELD(PIN_RXD0))) |
              PINSEL_VALUE(PIN_TXD0, PIN_FUNCTION_UART0) | PINSEL_VALUE(PIN_RXD0, PIN_FUNCTION_UART0);
    U0LCR = kLcrDlab | kLcr8N1;
    U0DLM = kDivisor >> 8;
    U0DLL = kDivisor & 0xFF;
    U0LCR = kLcr8N1;
    U0FCR = kFcrEnableAndReset;
}

extern "C" void UART0_SendStr(const CHAR *str)
{
    if (str == NULL)
    {
        return;
    }
    for (; *str != '\0'; str++)
    {
        while ((U0LSR & kLsrThre) == 0)
        {
        }
        U0THR = static_cast<INT8U>(*str);
    }
}
