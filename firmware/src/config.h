/* Definitions every firmware module compiles against: type names, the clock
   plan, the register map and the interrupt requests. */
#ifndef __CONFIG_H
#define __CONFIG_H

#ifndef TRUE
#define TRUE  1
#endif

#ifndef FALSE
#define FALSE 0
#endif

#ifndef NULL
#define NULL  0
#endif

typedef unsigned char  BOOL;
typedef char           CHAR;    /* unsigned on the ARM target */
typedef unsigned char  INT8U;
typedef signed   char  INT8;
typedef unsigned short INT16U;
typedef signed   short INT16;
typedef unsigned int   INT32U;
typedef signed   int   INT32;
typedef float          FP32;
typedef double         FP64;

#include "LPC2294.h"

/* Clock plan, in hertz: 11.0592 MHz crystal, PLL x4, peripheral bus at Fcclk / 4. */
#define Fosc   11059200
#define Fcclk  (Fosc * 4)
#define Fcco   (Fcclk * 4)
#define Fpclk  ((Fcclk / 4) * 1)

#ifdef __cplusplus
extern "C" {
#endif

/* Busy-wait for dly units of 500 loop iterations each. */
void DelayMs(INT32U dly);

#ifdef __cplusplus
}
#endif

#include "target.h"

#endif /* __CONFIG_H */
