// Cycle counts of single instructions, from the ARM7TDMI Technical
// Reference Manual's instruction cycle table (S, N and I cycles, one core
// clock each with memory that does not wait), and the MAM's fetch waits.
#include <gtest/gtest.h>

#include "core/arm_timing.h"
#include "core/thumb_timing.h"

using namespace boardsim;

namespace {

struct Case {
    const char* text;
    uint32_t word;
    unsigned cycles;
};

}  // namespace

TEST(ArmTiming, EachClassTakesTheCyclesOfTheManualsTable)
{
    const Case cases[] = {
        {"mov r0, #1: 1S", 0xE3A00001, 1},
        {"add r0, r1, r2, lsl r3: 1S + 1I", 0xE0810312, 2},
        {"mov pc, lr: 1S + 1S + 1N", 0xE1A0F00E, 3},
        {"cmp r0, #15 (no destination, not a PC write)", 0xE350000F, 1},
        {"ldr r0, [r1]: 1S + 1N + 1I", 0xE5910000, 3},
        {"ldr pc, [sp], #4: 2S + 2N + 1I", 0xE49DF004, 5},
        {"ldrh r0, [r1]: 1S + 1N + 1I", 0xE1D100B0, 3},
        {"str r0, [r1]: 2N", 0xE5810000, 2},
        {"strh r0, [r1]: 2N", 0xE1C100B0, 2},
        {"ldmia r0, {r1, r2, r3}: 3S + 1N + 1I", 0xE890000E, 5},
        {"ldmia sp!, {r4, r5, pc}: 4S + 2N + 1I", 0xE8BD8030, 7},
        {"stmdb sp!, {r4, lr}: 1S + 2N", 0xE92D4010, 3},
        {"swp r0, r1, [r2]: 1S + 2N + 1I", 0xE1020091, 4},
        {"b .: 2S + 1N", 0xEAFFFFFE, 3},
        {"bl: 2S + 1N", 0xEB000010, 3},
        {"bx lr: 2S + 1N", 0xE12FFF1E, 3},
        {"swi 0: 2S + 1N", 0xEF000000, 3},
        {"mcr p15 (undefined here): 2S + 1N + 1I", 0xEE010F10, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(armTiming(c.word).cycles, c.cycles) << c.text;
    }
    EXPECT_TRUE(armTiming(0x1AFFFFFD).flags & InsnTiming::kConditional);  // bne
    EXPECT_TRUE(armTiming(0x1AFFFFFD).flags & InsnTiming::kWritesPc);
    EXPECT_TRUE(armTiming(0xE59F1018).flags & InsnTiming::kFlashLiteral);  // ldr r1, [pc, #24]
}

TEST(ArmTiming, MultipliesAddInternalCyclesForTheOperandsSignificantBytes)
{
    // m = 1, 2, 3 when bits 31:8, 31:16, 31:24 of Rs are all zeros or all ones.
    EXPECT_EQ(multiplierCycles(0x000000FF), 1u);
    EXPECT_EQ(multiplierCycles(0xFFFFFF80), 1u);
    EXPECT_EQ(multiplierCycles(0x00000100), 2u);
    EXPECT_EQ(multiplierCycles(0xFFFF8000), 2u);
    EXPECT_EQ(multiplierCycles(0x00FF0000), 3u);
    EXPECT_EQ(multiplierCycles(0x01000000), 4u);
    // UMULL and UMLAL: only leading zeros end the multiplier early.
    EXPECT_EQ(multiplierCycles(0x000000FF, true), 1u);
    EXPECT_EQ(multiplierCycles(0xFFFFFF80, true), 4u);
    EXPECT_EQ(multiplierCycles(0x00FF0000, true), 3u);
    EXPECT_TRUE(armTiming(0xE0810392).flags & InsnTiming::kUnsignedMultiply);   // umull
    EXPECT_FALSE(armTiming(0xE0C10392).flags & InsnTiming::kUnsignedMultiply);  // smull
    const InsnTiming mul = armTiming(0xE0000291);  // mul r0, r1, r2: 1S + mI
    EXPECT_EQ(mul.cycles, 1u);
    EXPECT_EQ(mul.multiplierRegister, 2u);
    EXPECT_EQ(armTiming(0xE0203291).cycles, 2u);   // mla: 1S + (m+1)I
    EXPECT_EQ(armTiming(0xE0810392).cycles, 2u);   // umull: 1S + (m+1)I
    EXPECT_EQ(armTiming(0xE0A10392).cycles, 3u);   // umlal: 1S + (m+2)I
}

TEST(ArmTiming, ConditionsAreTheCpsrFlagsTests)
{
    constexpr uint32_t N = 1u << 31, Z = 1u << 30, C = 1u << 29, V = 1u << 28;
    EXPECT_TRUE(conditionPasses(0x0A000000, Z));    // eq
    EXPECT_FALSE(conditionPasses(0x1A000000, Z));   // ne
    EXPECT_TRUE(conditionPasses(0x3A000000, 0));    // lo (cc)
    EXPECT_TRUE(conditionPasses(0x8A000000, C));    // hi
    EXPECT_FALSE(conditionPasses(0x8A000000, C | Z));
    EXPECT_TRUE(conditionPasses(0xAA000000, N | V));  // ge
    EXPECT_TRUE(conditionPasses(0xBA000000, N));      // lt
    EXPECT_FALSE(conditionPasses(0xCA000000, Z));     // gt
    EXPECT_TRUE(conditionPasses(0xEA000000, 0));      // al
}

TEST(FetchTiming, TheMamHidesFlashWaitsForSequentialCodeAndRepeatedBranches)
{
    FetchTiming off;
    off.configure(0, 3);
    EXPECT_EQ(off.wait(0x100, false), 2u);  // every fetch reads flash: MAMTIM cycles
    EXPECT_EQ(off.wait(0x104, true), 2u);

    FetchTiming partly;
    partly.configure(1, 3);
    EXPECT_EQ(partly.wait(0x100, false), 2u);  // a line read from flash
    EXPECT_EQ(partly.wait(0x104, true), 0u);   // same 128-bit line
    EXPECT_EQ(partly.wait(0x110, true), 0u);   // the next line was prefetched
    EXPECT_EQ(partly.wait(0x100, false), 2u);  // a branch back: read again
    EXPECT_EQ(partly.wait(0x100, false), 0u);  // ... unless it is the line in the buffer

    FetchTiming fully;
    fully.configure(2, 3);
    EXPECT_EQ(fully.wait(0x40, false), 2u);  // a branch to 0x40: read, kept as the branch target
    EXPECT_EQ(fully.wait(0x50, true), 0u);
    EXPECT_EQ(fully.wait(0x40, false), 0u);  // back to it: the branch trail buffer has it
    EXPECT_EQ(fully.wait(0x80, false), 2u);  // another target takes its place
    EXPECT_EQ(fully.wait(0x40, false), 2u);
    EXPECT_EQ(fully.dataWait(0x200), 2u);
    EXPECT_EQ(fully.dataWait(0x204), 0u);    // the data buffer's line
}

// Thumb instructions cost what their ARM equivalents cost (ARM7TDMI TRM,
// instruction cycle timings): counted here by hand for each class.
TEST(ThumbTiming, EachClassCostsItsArmEquivalent)
{
    struct Case {
        uint16_t halfword;
        const char* what;
        unsigned cycles;
        uint8_t flags;
    };
    const Case cases[] = {
        {0x1C08, "adds r0, r1, #0", 1, 0},
        {0x4088, "lsls r0, r1 (shift by register: 1S + 1I)", 2, 0},
        {0x4348, "muls r0, r1 (1S + mI, m from Rd)", 1, InsnTiming::kMultiply},
        {0x4700, "bx r0 (2S + 1N)", 3, InsnTiming::kWritesPc},
        {0x46F7, "mov pc, lr (2S + 1N)", 3, InsnTiming::kWritesPc},
        {0x4801, "ldr r0, [pc, #4] (1S + 1N + 1I)", 3, InsnTiming::kMemory | InsnTiming::kFlashLiteral},
        {0x6008, "str r0, [r1] (2N)", 2, InsnTiming::kMemory},
        {0x8808, "ldrh r0, [r1] (1S + 1N + 1I)", 3, InsnTiming::kMemory},
        {0xB510, "push {r4, lr} ((n-1)S + 2N, n = 2)", 3, InsnTiming::kMemory},
        {0xBD10, "pop {r4, pc} ((n+1)S + 2N + 1I, n = 2)", 6, InsnTiming::kMemory | InsnTiming::kWritesPc},
        {0xBC03, "pop {r0, r1} (nS + 1N + 1I)", 4, InsnTiming::kMemory},
        {0xC903, "ldmia r1!, {r0, r1}", 4, InsnTiming::kMemory},
        {0xD0FE, "beq . (2S + 1N taken, 1S not)", 3, InsnTiming::kConditional | InsnTiming::kWritesPc},
        {0xDF00, "swi 0 (2S + 1N)", 3, InsnTiming::kWritesPc},
        {0xE7FE, "b . (2S + 1N)", 3, InsnTiming::kWritesPc},
        {0xF000, "bl, first half (1S)", 1, 0},
        {0xF800, "bl, second half (2S + 1N)", 3, InsnTiming::kWritesPc},
    };
    for (const Case& c : cases) {
        const InsnTiming t = thumbTiming(c.halfword);
        EXPECT_EQ(t.cycles, c.cycles) << c.what;
        EXPECT_EQ(t.flags, c.flags) << c.what;
    }
    EXPECT_EQ(thumbTiming(0x4348).multiplierRegister, 0u);  // Rd
    EXPECT_EQ(thumbLiteralAddress(0x102, 0x4801), 0x108u);  // (0x102 + 4) & ~3, + 4
}
