/* C start-up, entered from the reset handler in System mode with IRQ and FIQ
   masked and memory initialised. Kept in C because C++ may not call main. */
#include "config.h"

typedef void (*Constructor)(void);

extern Constructor __init_array_start[];
extern Constructor __init_array_end[];

int main(void);
void BoardStart(void);

void BoardStart(void)
{
    Constructor *ctor;

    /* Dynamic initialisers of C++ globals, should any module ever have one. */
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
