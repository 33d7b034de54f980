// The signal generator on the host: the menu's "Signal" entry and its screen
// driven through scripted keys, Timer1 and the VIC as the generator sets
// them, Timer1's interrupt called by hand, and what reaches the devices on
// the shared SPI0 (fake_panel: the LCD's bytes, the DAC's words, every
// breach of the bus's rules) when that interrupt comes at any moment of an
// LCD transfer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config.h"
#include "lcd/GUI.h"
#include "lcd.h"
#include "signal_generator.h"
#include "signal_tables.h"
#include "board_pins.h"
#include "event_log.h"
#include "fake_core.h"
#include "fake_panel.h"
#include "fake_registers.h"
#include "glass_text.h"
#include "menu_session.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

using board_pins::KeysDown;

constexpr std::uint32_t kUp = 0xFFFFFFFF;
constexpr std::uint32_t kPclkHz = 11059200;
constexpr unsigned kTimer1Channel = 5;

constexpr std::uint32_t kT1Tcr = 0xE0008004, kT1Pr = 0xE000800C, kT1Mcr = 0xE0008014, kT1Mr0 = 0xE0008018;
constexpr std::uint32_t kVicIntSelect = 0xFFFFF00C, kVicDefVectAddr = 0xFFFFF034;
constexpr std::uint32_t kVicVectAddr0 = 0xFFFFF100, kVicVectCntl0 = 0xFFFFF200;

extern "C" void Irq_Hang(void);

std::uint32_t AddressOf(void (*function)(void))
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(function));
}

const SignalTable &TableOf(unsigned option, unsigned step)
{
    for (INT32U i = 0; i < SignalTableCount; i++)
    {
        if (SignalTables[i].option == option && SignalTables[i].step == step)
        {
            return SignalTables[i];
        }
    }
    throw std::runtime_error("no table for option " + std::to_string(option) + " step " + std::to_string(step));
}

std::vector<std::uint16_t> Words(const SignalTable &table, std::size_t count)
{
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i < count; i++)
    {
        words.push_back(table.words[i % table.length]);
    }
    return words;
}

// The signal screen's four lines and title, as the glass reads.
std::vector<std::string> Screen()
{
    const auto glass = fake_panel::Glass();
    return {GlassText(glass, 0), GlassText(glass, 16), GlassText(glass, 24), GlassText(glass, 32),
            GlassText(glass, 40)};
}

// From the menu at start-up: KEY_2, KEY_2, KEY_3.
void OpenSignalScreen()
{
    StartMenu();
    DealKeys({KeysDown({2}), kUp, KeysDown({2}), kUp, KeysDown({3}), kUp});
}

void Press(int key) { DealKeys({KeysDown({key}), kUp}); }

// Timer1's interrupt as the core takes it: only when IRQs are unmasked and
// the VIC lets channel 5 through.
void TimerTicks(int count)
{
    for (int i = 0; i < count; i++)
    {
        ASSERT_TRUE(fake_core::Delivers(kTimer1Channel)) << "tick " << i;
        SignalTimerIrq();
    }
}

TEST(SignalScreen, TwoTwoThreeFromTheMenuPlaysOptionFiveAt8192HzThroughVectoredSlot0)
{
    OpenSignalScreen();
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 5", "Step 1", "Rate 8192 Hz", "f 2.000 Hz"));

    // 11.0592 MHz / 8192 Hz = 1350 clocks a sample: MR0 1349, the match
    // interrupting and resetting the counter.
    EXPECT_EQ(fake_registers::Value(kT1Mr0), 1349u);
    EXPECT_EQ(fake_registers::Value(kT1Pr), 0u);
    EXPECT_EQ(fake_registers::Value(kT1Mcr), 3u);
    EXPECT_EQ(fake_registers::Value(kT1Tcr), 1u);
    EXPECT_EQ(fake_registers::Value(kVicIntSelect) & (1u << kTimer1Channel), 0u);  // IRQ, not FIQ
    EXPECT_EQ(fake_registers::Value(kVicVectCntl0), 0x20u | kTimer1Channel);
    EXPECT_EQ(fake_registers::Value(kVicVectAddr0), AddressOf(SignalTimerIrq));
    EXPECT_EQ(fake_registers::Value(kVicDefVectAddr), AddressOf(Irq_Hang));
    EXPECT_FALSE(fake_core::IrqMasked());

    // The timer and the VIC set up with IRQs masked, the timer started last.
    const auto &events = event_log::Events();
    const auto at = [&events](const std::string &event) {
        return std::find(events.begin(), events.end(), event) - events.begin();
    };
    EXPECT_LT(at("IRQDisable"), at("T1MR0 = 0x00000545"));
    EXPECT_LT(at("VICIntEnable = 0x00000020"), at("T1TCR = 0x00000001"));
    EXPECT_LT(at("T1TCR = 0x00000001"), at("IRQEnable"));

    fake_panel::ForgetBytes();
    TimerTicks(3);
    EXPECT_THAT(fake_panel::State().dacWords, ElementsAreArray(Words(TableOf(5, 1), 3)));
    EXPECT_THAT(fake_panel::State().breaches, IsEmpty());
}

TEST(SignalScreen, KeysChooseTableAndRateEachChangeStartingTheNewTableFromItsFirstWord)
{
    OpenSignalScreen();
    Press(2);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 6", "Step 1", "Rate 8192 Hz", "f 2.000 Hz"));
    Press(2);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 7", "Step 2", "Rate 8192 Hz", "f 4.000 Hz"));
    fake_panel::ForgetBytes();
    TimerTicks(2);
    EXPECT_THAT(fake_panel::State().dacWords, ElementsAreArray(Words(TableOf(7, 2), 2)));

    // KEY_1 goes back, from the first table round to the last.
    Press(1);
    Press(1);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 5", "Step 1", "Rate 8192 Hz", "f 2.000 Hz"));
    Press(1);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 8", "Step 128", "Rate 8192 Hz", "f 256.000 Hz"));

    // KEY_3 the next rate, after the last the first again.
    Press(3);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 8", "Step 128", "Rate 12288 Hz", "f 384.000 Hz"));
    EXPECT_EQ(fake_registers::Value(kT1Mr0), 899u);
    Press(3);
    Press(3);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 8", "Step 128", "Rate 24576 Hz", "f 768.000 Hz"));
    Press(2);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 5", "Step 1", "Rate 24576 Hz", "f 6.000 Hz"));
    Press(3);
    EXPECT_THAT(Screen(), ElementsAre("Signal", "Table 5", "Step 1", "Rate 8192 Hz", "f 2.000 Hz"));

    fake_panel::ForgetBytes();
    TimerTicks(2);
    EXPECT_THAT(fake_panel::State().dacWords, ElementsAreArray(Words(TableOf(5, 1), 2)));
    EXPECT_THAT(fake_panel::State().breaches, IsEmpty());
}

TEST(SignalScreen, Key4StopsWithOutputBAtZeroVoltsAndTheMenuComesBackOnSignal)
{
    OpenSignalScreen();
    TimerTicks(5);
    fake_panel::ForgetBytes();
    Press(4);
    // Fast mode, DAC B and the buffer with code 0: 0 V on output B.
    EXPECT_THAT(fake_panel::State().dacWords, ElementsAre(0x4000));
    EXPECT_FALSE(fake_core::Delivers(kTimer1Channel));
    EXPECT_FALSE(fake_core::IrqMasked());
    EXPECT_EQ(fake_registers::Value(kT1Tcr), 2u);  // stopped, counter held at 0
    const auto glass = fake_panel::Glass();
    EXPECT_EQ(GlassText(glass, 0), "Menu");
    EXPECT_EQ(GlassText(glass, 32), "> Signal");

    // The menu has its keys back.
    Press(1);
    EXPECT_EQ(GlassText(fake_panel::Glass(), 24), "> Author");
    EXPECT_THAT(fake_panel::State().breaches, IsEmpty());
}

TEST(SignalGenerator, EachInterruptAcknowledgesTheTimerSendsTheNextWordAndWrapsAtTheEnd)
{
    StartMenu();
    const SignalTable &table = TableOf(8, 128);
    ASSERT_EQ(table.length, 32u);
    SignalPlay(&table, kSignalRates[0]);
    fake_panel::ForgetBytes();
    event_log::Clear();
    SignalTimerIrq();
    const auto &events = event_log::Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "T1IR = 0x00000001");    // MR0's flag, first
    EXPECT_EQ(events.back(), "VICVectAddr = 0x00000000");  // the VIC released, last

    TimerTicks(32);
    EXPECT_THAT(fake_panel::State().dacWords, ElementsAreArray(Words(table, 33)));
    EXPECT_THAT(fake_panel::State().breaches, IsEmpty());
}

TEST(SignalGenerator, FrequencyIsTheRateOverOnePeriodsEntriesInMillihertz)
{
    EXPECT_EQ(SignalMilliHertz(8192, 4096), 2000u);
    EXPECT_EQ(SignalMilliHertz(8192, 4095), 2000u);    // 2000.49
    EXPECT_EQ(SignalMilliHertz(16384, 4095), 4001u);   // 4000.98
    EXPECT_EQ(SignalMilliHertz(24576, 4095), 6001u);   // 6001.47
    EXPECT_EQ(SignalMilliHertz(12288, 2048), 6000u);
    EXPECT_EQ(SignalMilliHertz(24576, 32), 768000u);

    // Every rate is a whole number of peripheral clocks a sample.
    StartMenu();
    for (INT32U rate : kSignalRates)
    {
        SignalPlay(&TableOf(5, 1), rate);
        EXPECT_EQ((fake_registers::Value(kT1Mr0) + 1) * rate, kPclkHz) << rate;
    }
    EXPECT_GE(kSignalRates[0], 8000u);
}

TEST(SignalTables, OnePeriodEachOfTheTablesTheScreenOffers)
{
    std::vector<std::string> offered;
    for (INT32U i = 0; i < SignalTableCount; i++)
    {
        const SignalTable &table = SignalTables[i];
        offered.push_back(std::to_string(table.option) + "/" + std::to_string(table.step));
        // 4095 entries in option 6 (the last sample of the period is not
        // written), 4096 / step in the others.
        EXPECT_EQ(table.length, table.option == 6 ? 4095u : 4096u / table.step) << offered.back();
    }
    EXPECT_THAT(offered, ElementsAre("5/1", "6/1", "7/2", "7/8", "7/32", "7/128", "8/2", "8/8", "8/32", "8/128"));
}

// Calls Timer1's handler at the chosen register accesses of the foreground
// (just before or just after each), when the core would take it.
class InterruptAt
{
public:
    explicit InterruptAt(std::function<bool(int)> when) : when_(std::move(when))
    {
        fake_registers::OnEveryAccess([this] {
            const int point = points_++;
            if (when_(point) && fake_core::Delivers(kTimer1Channel))
            {
                SignalTimerIrq();
                taken_++;
            }
        });
    }
    InterruptAt(const InterruptAt &) = delete;
    InterruptAt &operator=(const InterruptAt &) = delete;
    ~InterruptAt() { fake_registers::OnEveryAccess(nullptr); }

    int points() const { return points_; }
    int taken() const { return taken_; }

private:
    std::function<bool(int)> when_;
    int points_ = 0;
    int taken_ = 0;
};

// The LCD set up and cleared, the generator playing option 8 step 128, and
// in the frame, not yet sent, a change that takes two stretches: commands
// and data, D/C changed four times, SCE low across the transfer.
void ReadyToFlush()
{
    event_log::Clear();
    fake_registers::Reset();
    fake_panel::Install();
    fake_core::Install();
    GUI_Init();
    SignalPlay(&TableOf(8, 128), kSignalRates[0]);
    GUI_PutString(0, 40, "f 2");
    LcdSetPixel(83, 0, TRUE);
    fake_panel::ForgetBytes();
}

TEST(SharedBus, TheTimerInterruptAtAnyMomentOfAnLcdTransferCorruptsNeitherDevice)
{
    ReadyToFlush();
    int points = 0;
    {
        const InterruptAt never([](int) { return false; });
        LcdFlush();
        points = never.points();
    }
    const auto lcdBytes = fake_panel::State().bytes;
    const auto glass = fake_panel::Glass();
    const auto stretches = std::count_if(lcdBytes.begin(), lcdBytes.end(), [](const auto &byte) {
        return !byte.first && (byte.second & 0xF8) == 0x40;  // set Y: a stretch begins
    });
    ASSERT_GE(stretches, 2);
    ASSERT_TRUE(fake_panel::State().dacWords.empty());

    for (int point = 0; point < points; point++)
    {
        ReadyToFlush();
        const InterruptAt once([point](int at) { return at == point; });
        LcdFlush();
        ASSERT_EQ(once.taken(), 1) << "at access " << point;
        const fake_panel::Panel &bus = fake_panel::State();
        ASSERT_EQ(bus.bytes, lcdBytes) << "at access " << point;
        ASSERT_EQ(fake_panel::Glass(), glass) << "at access " << point;
        ASSERT_THAT(bus.dacWords, ElementsAre(TableOf(8, 128).words[0])) << "at access " << point;
        ASSERT_THAT(bus.breaches, IsEmpty()) << "at access " << point;
    }
}

TEST(SharedBus, AnInterruptAroundEveryAccessOfAWholeFrameStillDeliversBoth)
{
    event_log::Clear();
    fake_registers::Reset();
    fake_panel::Install();
    fake_core::Install();
    // The controller set up (the bus has carried its first bytes), its RAM
    // not yet written: the first clear sends the whole frame.
    LcdInit();
    SignalPlay(&TableOf(8, 128), kSignalRates[0]);
    fake_panel::ForgetBytes();
    const InterruptAt always([](int) { return true; });
    LcdClrScrn();
    const fake_panel::Panel &bus = fake_panel::State();
    ASSERT_EQ(bus.bytes.size(), 2u + 504u + 1u);
    EXPECT_EQ(fake_panel::Glass(), std::vector<std::uint8_t>(504, 0));
    EXPECT_EQ(bus.display, 2u);
    ASSERT_GT(always.taken(), 1000);
    EXPECT_THAT(bus.dacWords, ElementsAreArray(Words(TableOf(8, 128), static_cast<std::size_t>(always.taken()))));
    EXPECT_THAT(bus.breaches, IsEmpty());
}

}  // namespace
