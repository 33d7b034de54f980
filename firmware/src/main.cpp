/* Start-up and main loop: brings up the status LED, the UART, the keys, the
   GUI and the menu, greets over UART0, then serves the menu for ever with a
   heartbeat on the LED. */
#include "config.h"
#include "UART.h"
#include "key.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"

#define SysLED  0x80000000u     /* status LED on P0.31 */

/* An empty asm statement is a side effect the compiler must keep, so the
   delay loop survives any optimisation level. A host test build may define
   this to count the iterations. */
#ifndef DELAY_LOOP_BODY
#define DELAY_LOOP_BODY() __asm__ volatile ("")
#endif

static const CHAR Greeting[] = "Hello my first UART pro\n";

/* Kept out of line: every delay is then one call of DelayMs, which a
   debugger or board simulator can watch at its symbol. */
__attribute__((noinline)) void DelayMs(INT32U dly)
{
    INT32U i;

    for (; dly > 0; dly--)
    {
        for (i = 0; i < 500; i++)
        {
            DELAY_LOOP_BODY();
        }
    }
}

int main(void)
{
    /* P0.30 becomes GPIO (bits 29:28); of P0.31's pair only the upper bit (31)
       is cleared, bit 30 keeps whatever it held. */
    PINSEL1 = PINSEL1 & 0x4FFFFFFF;
    IO0DIR = IO0DIR | SysLED;
    IO0SET = SysLED;

    UART0_Init();
    UART0_SendStr(Greeting);

    KeySysInit();
    GUI_Init();
    Menu_Init();

    for (;;)
    {
        DealKey();
        IO0CLR = SysLED;
        DelayMs(200);
        IO0SET = SysLED;
        DelayMs(200);
    }
}
