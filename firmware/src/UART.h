/* UART0 driver. */
#ifndef __UART_H__
#define __UART_H__

#ifdef __cplusplus
extern "C" {
#endif

/* 115200 baud, 8 data bits, no parity, 1 stop bit. */
void UART0_Init(void);
/* Sends a zero-terminated string; returns once the last byte is in the transmitter. */
void UART0_SendStr(const CHAR *str);

#ifdef __cplusplus
}
#endif

#endif /* __UART_H__ */
