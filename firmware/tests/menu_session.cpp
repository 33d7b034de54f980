#include "menu_session.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "config.h"
#include "key.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"
#include "board_pins.h"
#include "event_log.h"
#include "fake_core.h"
#include "fake_panel.h"
#include "fake_registers.h"

void StartMenu()
{
    event_log::Clear();
    fake_registers::Reset();
    fake_panel::Install();
    fake_core::Install();
    KeySysInit();
    GUI_Init();
    Menu_Init();
}

void DealKeys(const std::vector<std::uint32_t> &pins)
{
    std::vector<std::uint32_t> passes;
    for (std::uint32_t state : pins)
    {
        passes.insert(passes.end(), 2, state);
    }
    board_pins::Script script(std::move(passes));
    script.Install();
    while (true)
    {
        const std::size_t before = script.ReadsDone();
        try
        {
            DealKey();
        }
        catch (const std::runtime_error &)
        {
            ASSERT_EQ(script.ReadsDone(), before) << "a DealKey call ran out of samples midway";
            return;
        }
    }
}
