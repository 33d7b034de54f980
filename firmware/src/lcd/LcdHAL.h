/* LCD hardware layer: panel size and the driver's entry points. */
#ifndef __LCD_HAL_H__
#define __LCD_HAL_H__

#define LCD_WIDTH  84
#define LCD_HIGHT  48

#ifdef __cplusplus
extern "C" {
#endif

/* Blanks the whole screen. */
void LcdClrScrn(void);
/* Sets (on != 0) or clears one pixel; coordinates outside the panel are ignored. */
void LcdSetPixel(INT32U x, INT32U y, BOOL on);

#ifdef __cplusplus
}
#endif

#endif /* __LCD_HAL_H__ */
