#include "machine/chip_map.h"

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
        {"WDT", "the watchdog", 0xE0000000, kVpbSlot,
         {{0x00, "WDMOD"}, {0x04, "WDTC"}, {0x08, "WDFEED"}, {0x0C, "WDTV"}}},
        {"TIMER0", "Timer0", 0xE0004000, kVpbSlot,
         {{0x00, "T0IR"}, {0x04, "T0TCR"}, {0x08, "T0TC"}, {0x0C, "T0PR"}, {0x10, "T0PC"}, {0x14, "T0MCR"},
          {0x18, "T0MR0"}, {0x1C, "T0MR1"}, {0x20, "T0MR2"}, {0x24, "T0MR3"}, {0x28, "T0CCR"}, {0x2C, "T0CR0"},
          {0x30, "T0CR1"}, {0x34, "T0CR2"}, {0x38, "T0CR3"}, {0x3C, "T0EMR"}}},
        {"TIMER1", "Timer1", 0xE0008000, kVpbSlot,
         {{0x00, "T1IR"}, {0x04, "T1TCR"}, {0x08, "T1TC"}, {0x0C, "T1PR"}, {0x10, "T1PC"}, {0x14, "T1MCR"},
          {0x18, "T1MR0"}, {0x1C, "T1MR1"}, {0x20, "T1MR2"}, {0x24, "T1MR3"}, {0x28, "T1CCR"}, {0x2C, "T1CR0"},
          {0x30, "T1CR1"}, {0x34, "T1CR2"}, {0x38, "T1CR3"}, {0x3C, "T1EMR"}}},
        {"UART0", "UART0", 0xE000C000, kVpbSlot,
         {{0x00, "U0RBR"}, {0x04, "U0IER"}, {0x08, "U0IIR"}, {0x0C, "U0LCR"}, {0x14, "U0LSR"}, {0x1C, "U0SCR"}}},
        {"UART1", "UART1", 0xE0010000, kVpbSlot,
         {{0x00, "U1RBR"}, {0x04, "U1IER"}, {0x08, "U1IIR"}, {0x0C, "U1LCR"}, {0x10, "U1MCR"}, {0x14, "U1LSR"},
          {0x18, "U1MSR"}, {0x1C, "U1SCR"}}},
        {"PWM", "the PWM unit", 0xE0014000, kVpbSlot,
         {{0x00, "PWMIR"}, {0x04, "PWMTCR"}, {0x08, "PWMTC"}, {0x0C, "PWMPR"}, {0x10, "PWMPC"}, {0x14, "PWMMCR"},
          {0x18, "PWMMR0"}, {0x1C, "PWMMR1"}, {0x20, "PWMMR2"}, {0x24, "PWMMR3"}, {0x40, "PWMMR4"},
          {0x44, "PWMMR5"}, {0x48, "PWMMR6"}, {0x4C, "PWMPCR"}, {0x50, "PWMLER"}}},
        {"I2C", "the I2C interface", 0xE001C000, kVpbSlot,
         {{0x00, "I2CONSET"}, {0x04, "I2STAT"}, {0x08, "I2DAT"}, {0x0C, "I2ADR"}, {0x10, "I2SCLH"},
          {0x14, "I2SCLL"}, {0x18, "I2CONCLR"}}},
        {"SPI0", "SPI0", 0xE0020000, kVpbSlot,
         {{0x00, "S0SPCR"}, {0x04, "S0SPSR"}, {0x08, "S0SPDR"}, {0x0C, "S0SPCCR"}, {0x1C, "S0SPINT"}}},
        {"RTC", "the real-time clock", 0xE0024000, kVpbSlot,
         {{0x00, "ILR"},    {0x04, "CTC"},    {0x08, "CCR"},     {0x0C, "CIIR"},    {0x10, "AMR"},
          {0x14, "CTIME0"}, {0x18, "CTIME1"}, {0x1C, "CTIME2"},  {0x20, "SEC"},     {0x24, "MIN"},
          {0x28, "HOUR"},   {0x2C, "DOM"},    {0x30, "DOW"},     {0x34, "DOY"},     {0x38, "MONTH"},
          {0x3C, "YEAR"},   {0x60, "ALSEC"},  {0x64, "ALMIN"},   {0x68, "ALHOUR"},  {0x6C, "ALDOM"},
          {0x70, "ALDOW"},  {0x74, "ALDOY"},  {0x78, "ALMON"},   {0x7C, "ALYEAR"},  {0x80, "PREINT"},
          {0x84, "PREFRAC"}}},
        {"GPIO", "GPIO", 0xE0028000, kVpbSlot,
         {{0x00, "IO0PIN"}, {0x04, "IO0SET"}, {0x08, "IO0DIR"}, {0x0C, "IO0CLR"}, {0x10, "IO1PIN"},
          {0x14, "IO1SET"}, {0x18, "IO1DIR"}, {0x1C, "IO1CLR"}, {0x20, "IO2PIN"}, {0x24, "IO2SET"},
          {0x28, "IO2DIR"}, {0x2C, "IO2CLR"}, {0x30, "IO3PIN"}, {0x34, "IO3SET"}, {0x38, "IO3DIR"},
          {0x3C, "IO3CLR"}}},
        {"PINSEL", "the pin connect block", 0xE002C000, kVpbSlot,
         {{0x00, "PINSEL0"}, {0x04, "PINSEL1"}, {0x14, "PINSEL2"}}},
        {"SPI1", "SPI1", 0xE0030000, kVpbSlot,
         {{0x00, "S1SPCR"}, {0x04, "S1SPSR"}, {0x08, "S1SPDR"}, {0x0C, "S1SPCCR"}, {0x1C, "S1SPINT"}}},
        {"ADC", "the A/D converter", 0xE0034000, kVpbSlot, {{0x00, "ADCR"}, {0x04, "ADDR"}}},
        {"CANAF", "the CAN acceptance filter", 0xE003C000, kVpbSlot,
         {{0x00, "AFMR"}, {0x04, "SFF_sa"}, {0x08, "SFF_GRP_sa"}, {0x0C, "EFF_sa"}, {0x10, "EFF_GRP_sa"},
          {0x14, "ENDofTable"}, {0x18, "LUTerrAd"}, {0x1C, "LUTerr"}}},
        {"CAN", "the CAN controllers' common registers", 0xE0040000, kVpbSlot,
         {{0x00, "CANTxSR"}, {0x04, "CANRxSR"}, {0x08, "CANMSR"}}},
        {"CAN1", "CAN controller 1", 0xE0044000, kVpbSlot, canController()},
        {"CAN2", "CAN controller 2", 0xE0048000, kVpbSlot, canController()},
        {"CAN3", "CAN controller 3", 0xE004C000, kVpbSlot, canController()},
        {"CAN4", "CAN controller 4", 0xE0050000, kVpbSlot, canController()},
        {"SCB", "the system control block", 0xE01FC000, kVpbSlot,
         {{0x000, "MAMCR"}, {0x004, "MAMTIM"}, {0x040, "MEMMAP"}, {0x080, "PLLCON"}, {0x084, "PLLCFG"},
          {0x088, "PLLSTAT"}, {0x08C, "PLLFEED"}, {0x0C0, "PCON"}, {0x0C4, "PCONP"}, {0x100, "VPBDIV"},
          {0x140, "EXTINT"}, {0x144, "EXTWAKE"}, {0x148, "EXTMODE"}, {0x14C, "EXTPOLAR"}}},
        {"EMC", "the external memory controller", 0xFFE00000, 0x1000,
         {{0x00, "BCFG0"}, {0x04, "BCFG1"}, {0x08, "BCFG2"}, {0x0C, "BCFG3"}}},
        {"VIC", "the vectored interrupt controller", 0xFFFFF000, 0x1000,
         {{0x000, "VICIRQStatus"}, {0x004, "VICFIQStatus"}, {0x008, "VICRawIntr"}, {0x00C, "VICIntSelect"},
          {0x010, "VICIntEnable"}, {0x014, "VICIntEnClr"}, {0x018, "VICSoftInt"}, {0x01C, "VICSoftIntClear"},
          {0x020, "VICProtection"}, {0x030, "VICVectAddr"}, {0x034, "VICDefVectAddr"}}},
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
