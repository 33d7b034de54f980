/* C start-up, entered from the reset handler in System mode with IRQ and FIQ
   masked and memory initialised. Kept in C because C++ may not call main. */
#include "config.h"
#include "clock_setup.h"

typedef void (*Constructor)(void);

extern Constructor __init_array_start[];
extern Constructor __init_array_end[];

int main(void);
void BoardStart(void);

void BoardStart(void)
{
    Constructor *ctor;

    /* The clock plan first: everything after it, UART rates included, counts on it. */
    BoardClockInit();

    /* Dynamic initialisers of C++ globals, should any module ever have one. */
    /* The linker script defines both symbols around the one .init_array
       section: they bound the same array. */
    /* cppcheck-suppress comparePointers */
    for (ctor = __init_array_start; ctor < __init_array_end; ctor++)
    {
        (*ctor)();
    }

    IRQEnable();    /* FIQ stays masked */
    main();

    for (;;)
    {
    }
}
