/* Key event codes and the key driver. An event is one code from the high
   nibble ORed with a key number from the low nibble, e.g. KEY_DOWN | KEY_3. */
#ifndef __KEY_H__
#define __KEY_H__

#define KEY_SERIES_FLAG   30
#define KEY_SERIES_DELAY  7

#define KEY_DOWN  0xA0
#define KEY_LONG  0xB0
#define KEY_LIAN  0xC0
#define KEY_UP    0xD0

#define KEY_1   0x01
#define KEY_2   0x02
#define KEY_3   0x03
#define KEY_4   0x04
#define NO_KEY  0x00

#ifdef __cplusplus
extern "C" {
#endif

void KeySysInit(void);
/* Returns after a key has been pressed and all keys are up again. */
void WaitAnyKeyDown(void);

#ifdef __cplusplus
}
#endif

#endif /* __KEY_H__ */
