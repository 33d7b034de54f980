/* The firmware headers compile as C as well, and the functions they declare
   have C linkage: this file refers to them by their plain names, so it only
   links when the C++ definitions are unmangled. Also compiled for the ARM
   target, where the type sizes and char signedness are those of the board. */
#include "config.h"
#include "UART.h"
#include "key.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"

_Static_assert(sizeof(BOOL) == 1 && sizeof(CHAR) == 1 && sizeof(INT8U) == 1 && sizeof(INT8) == 1,
               "8-bit types");
_Static_assert(sizeof(INT16U) == 2 && sizeof(INT16) == 2, "16-bit types");
_Static_assert(sizeof(INT32U) == 4 && sizeof(INT32) == 4, "32-bit types");
_Static_assert(sizeof(FP32) == 4 && sizeof(FP64) == 8, "floating-point types");
_Static_assert((INT8)-1 < 0 && (INT16)-1 < 0 && (INT32)-1 < 0, "signed types");
_Static_assert((INT8U)-1 > 0 && (INT16U)-1 > 0 && (INT32U)-1 > 0 && (BOOL)-1 > 0, "unsigned types");
#ifdef __arm__
_Static_assert((CHAR)-1 > 0, "char is unsigned on the ARM target");
#endif

_Static_assert(Fosc == 11059200 && Fcclk == 44236800 && Fcco == 176947200 && Fpclk == 11059200,
               "clock plan");
_Static_assert(Fpclk / 16 / 115200 == 6, "UART0 divisor for 115200 baud");
_Static_assert(LCD_WIDTH == 84 && LCD_HIGHT == 48, "LCD size");
_Static_assert(TRUE == 1 && FALSE == 0, "truth values");

void DelayMsFromC(INT32U dly);
void SysVersionFromC(void);
void SysAuthorFromC(void);

void DelayMsFromC(INT32U dly) { DelayMs(dly); }
void SysVersionFromC(void) { SysVersion(); }
void SysAuthorFromC(void) { SysAuthor(); }
