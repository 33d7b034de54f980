/* Menu engine and the actions its entries run. */
#ifndef __MENU_H__
#define __MENU_H__

#ifdef __cplusplus
extern "C" {
#endif

/* Selects the first entry and draws the menu. */
void Menu_Init(void);
/* Samples the keys once and acts on a fresh key press. */
void DealKey(void);

void SysVersion(void);
void SysAuthor(void);

#ifdef __cplusplus
}
#endif

#endif /* __MENU_H__ */
