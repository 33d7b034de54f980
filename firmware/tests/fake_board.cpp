#include "fake_board.h"

#include "config.h"
#include "UART.h"
#include "key.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"

#include "event_log.h"
#include "fake_registers.h"

namespace {

int passesLeft = 0;
std::vector<std::string> sent;

}  // namespace

namespace fake_board {

void Reset(int passes)
{
    event_log::Clear();
    fake_registers::Reset();
    passesLeft = passes;
    sent.clear();
}

const std::vector<std::string> &SentStrings() { return sent; }

}  // namespace fake_board

extern "C" {

void UART0_Init(void) { event_log::Add("UART0_Init"); }

void UART0_SendStr(const CHAR *str)
{
    event_log::Add("UART0_SendStr");
    sent.emplace_back(str);
}

void KeySysInit(void) { event_log::Add("KeySysInit"); }
void WaitAnyKeyDown(void) { event_log::Add("WaitAnyKeyDown"); }
void GUI_Init(void) { event_log::Add("GUI_Init"); }
void Menu_Init(void) { event_log::Add("Menu_Init"); }
void LcdClrScrn(void) { event_log::Add("LcdClrScrn"); }

void DealKey(void)
{
    event_log::Add("DealKey");
    if (passesLeft-- == 0)
    {
        throw LoopEnded();
    }
}

}  // extern "C"
