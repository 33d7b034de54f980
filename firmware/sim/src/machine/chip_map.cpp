#include "machine/chip_map.h"

#include "peripherals/adc.h"
#include "peripherals/gpio.h"
#include "peripherals/pin_select.h"
#include "peripherals/spi.h"
#include "peripherals/system_control.h"
#include "peripherals/timer.h"
#include "peripherals/uart.h"
#include "peripherals/vic.h"
#include "peripherals/watchdog.h"

namespace boardsim {
namespace {

constexpr uint32_t kVpbSlot = 0x4000;

std::vector<ChipRegister> canController()
{
    return {{0x00, "CANMOD"},  {0x04, "CANCMR"},  {0x08, "CANGSR"},  {0x0C, "CANICR"},  {0x10, "CANIER"},
            {0x14, "CANBTR"},  {0x18, "CANEWL"},  {0x1C, "CANSR"},   {0x20, "CANRFS"},  {0x24, "CANRID"},
            {0x28, "CANRDA"},  {0x2C, "CANRDB"},  {0x30, "CANTFI1"}, {0x34, "CANTID1"}, {0x38, "CANTDA1"},
            {0x3C, "CANTDB1"}, {0x40, "CANTFI2"}, {0x44, "CANTID2"}, {0x48, "CANTDA2"}, {0x4C, "CANTDB2"},
            {0x50, "CANTFI3"}, {0x54, "CANTID3"}, {0x58, "CANTDA3"}, {0x5C, "CANTDB3"}};
}

}  // namespace

const std::vector<ChipBlock>& lpc2294Blocks()
{
    // From the LPC2119/2129/2194/2292/2294 user manual's memory map and
    // register descriptions.
    static const std::vector<ChipBlock> blocks = {
        {"WDT", "the watchdog", 0xE0000000, kVpbSlot, make<Watchdog>, {}},
        {"TIMER0", "Timer0", 0xE0004000, kVpbSlot, make<Timer, 0u>, {}},
        {"TIMER1", "Timer1", 0xE0008000, kVpbSlot, make<Timer, 1u>, {}},
        {"UART0", "UART0", 0xE000C000, kVpbSlot, make<Uart, 0u>, {}},
        {"UART1", "UART1", 0xE0010000, kVpbSlot, make<Uart, 1u>, {}},
        {"PWM", "the PWM unit", 0xE0014000, kVpbSlot, nullptr,
         {{0x00, "PWMIR"}, {0x04, "PWMTCR"}, {0x08, "PWMTC"}, {0x0C, "PWMPR"}, {0x10, "PWMPC"}, {0x14, "PWMMCR"},
          {0x18, "PWMMR0"}, {0x1C, "PWMMR1"}, {0x20, "PWMMR2"}, {0x24, "PWMMR3"}, {0x40, "PWMMR4"},
          {0x44, "PWMMR5"}, {0x48, "PWMMR6"}, {0x4C, "PWMPCR"}, {0x50, "PWMLER"}}},
        {"I2C", "the I2C interface", 0xE001C000, kVpbSlot, nullptr,
         {{0x00, "I2CONSET"}, {0x04, "I2STAT"}, {0x08, "I2DAT"}, {0x0C, "I2ADR"}, {0x10, "I2SCLH"},
          {0x14, "I2SCLL"}, {0x18, "I2CONCLR"}}},
        {"SPI0", "SPI0", 0xE0020000, kVpbSlot, make<Spi, 0u>, {}},
        {"RTC", "the real-time clock", 0xE0024000, kVpbSlot, nullptr,
         {{0x00, "ILR"},    {0x04, "CTC"},    {0x08, "CCR"},     {0x0C, "CIIR"},    {0x10, "AMR"},
          {0x14, "CTIME0"}, {0x18, "CTIME1"}, {0x1C, "CTIME2"},  {0x20, "SEC"},     {0x24, "MIN"},
          {0x28, "HOUR"},   {0x2C, "DOM"},    {0x30, "DOW"},     {0x34, "DOY"},     {0x38, "MONTH"},
          {0x3C, "YEAR"},   {0x60, "ALSEC"},  {0x64, "ALMIN"},   {0x68, "ALHOUR"},  {0x6C, "ALDOM"},
          {0x70, "ALDOW"},  {0x74, "ALDOY"},  {0x78, "ALMON"},   {0x7C, "ALYEAR"},  {0x80, "PREINT"},
          {0x84, "PREFRAC"}}},
        {"GPIO", "GPIO", 0xE0028000, kVpbSlot, make<Gpio>, {}},
        {"PINSEL", "the pin connect block", 0xE002C000, kVpbSlot, make<PinSelect>, {}},
        {"SPI1", "SPI1", 0xE0030000, kVpbSlot, make<Spi, 1u>, {}},
        {"ADC", "the A/D converter", 0xE0034000, kVpbSlot, make<Adc>, {}},
        {"CANAF", "the CAN acceptance filter", 0xE003C000, kVpbSlot, nullptr,
         {{0x00, "AFMR"}, {0x04, "SFF_sa"}, {0x08, "SFF_GRP_sa"}, {0x0C, "EFF_sa"}, {0x10, "EFF_GRP_sa"},
          {0x14, "ENDofTable"}, {0x18, "LUTerrAd"}, {0x1C, "LUTerr"}}},
        {"CAN", "the CAN controllers' common registers", 0xE0040000, kVpbSlot, nullptr,
         {{0x00, "CANTxSR"}, {0x04, "CANRxSR"}, {0x08, "CANMSR"}}},
        {"CAN1", "CAN controller 1", 0xE0044000, kVpbSlot, nullptr, canController()},
        {"CAN2", "CAN controller 2", 0xE0048000, kVpbSlot, nullptr, canController()},
        {"CAN3", "CAN controller 3", 0xE004C000, kVpbSlot, nullptr, canController()},
        {"CAN4", "CAN controller 4", 0xE0050000, kVpbSlot, nullptr, canController()},
        {"SCB", "the system control block", 0xE01FC000, kVpbSlot, make<SystemControl>, {}},
        {"EMC", "the external memory controller", 0xFFE00000, 0x1000, nullptr,
         {{0x00, "BCFG0"}, {0x04, "BCFG1"}, {0x08, "BCFG2"}, {0x0C, "BCFG3"}}},
        {"VIC", "the vectored interrupt controller", 0xFFFFF000, 0x1000, make<Vic>, {}},
    };
    return blocks;
}

const char* vicChannelName(unsigned channel)
{
    static const char* const names[32] = {
        "WDT",   "SWI",   "ARMCore0", "ARMCore1", "TIMER0",  "TIMER1",  "UART0",   "UART1",
        "PWM0",  "I2C",   "SPI0",     "SPI1",     "PLL",     "RTC",     "EINT0",   "EINT1",
        "EINT2", "EINT3", "AD",       "CAN",      "CAN1 TX", "CAN2 TX", "CAN3 TX", "CAN4 TX",
        "24",    "25",    "CAN1 RX",  "CAN2 RX",  "CAN3 RX", "CAN4 RX", "30",      "31",
    };
    return names[channel & 31];
}

}  // namespace boardsim
