/* Text drawing on the LCD. */
#ifndef __GUI_H__
#define __GUI_H__

#ifdef __cplusplus
extern "C" {
#endif

/* Leaves a blank screen. */
void GUI_Init(void);
/* Draws text in a 6 x 8 pixel cell per character, top-left corner at (x, y). */
void GUI_PutString(INT32U x, INT32U y, const CHAR *str);
/* Draws a full-width horizontal line at row y. */
void GUI_HLine(INT32U y);

#ifdef __cplusplus
}
#endif

#endif /* __GUI_H__ */
