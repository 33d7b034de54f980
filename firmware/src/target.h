/* Interrupt on/off requests. They go through a software interrupt because
   the CPSR's I and F bits can only be changed in a privileged mode. */
#ifndef __TARGET_H
#define __TARGET_H

#ifdef __cplusplus
extern "C" {
#endif

/* Operation codes: 0 IRQ off, 1 IRQ on, 2 FIQ off, 3 FIQ on; others are ignored. */
void SwiHandle1(int Handle);

#ifdef __cplusplus
}
#endif

#define IRQDisable() SwiHandle1(0)
#define IRQEnable()  SwiHandle1(1)
#define FIQDisable() SwiHandle1(2)
#define FIQEnable()  SwiHandle1(3)

#endif /* __TARGET_H */
