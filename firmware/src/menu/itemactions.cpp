/* Actions of the menu entries "Version" and "Author". The menu engine runs
   them and takes over again when they return. */
#include "config.h"
#include "lcd/LcdHAL.h"
#include "key.h"

extern "C" void SysVersion(void)
{
    LcdClrScrn();
    WaitAnyKeyDown();
}

extern "C" void SysAuthor(void)
{
}
