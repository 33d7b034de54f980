// Time-outs are simulated time: a wait that never ends fails when the
// board's clock reaches its time-out, however long or short that takes on
// the wall clock, and the scenario's own time-out bounds every step.
#include <gtest/gtest.h>

#include <chrono>

#include "support/scenario_text.h"

using namespace boardsim;
using boardsim::testing::ScenarioResult;
using boardsim::testing::ScratchDir;

namespace {

const ElfImage& firmware()
{
    static const ElfImage image = ElfImage::fromFile(FIRMWARE_ELF);
    return image;
}

ScenarioResult run(const std::string& yaml)
{
    const ScratchDir dir;
    return boardsim::testing::runScenarioText(firmware(), dir, yaml);
}

}  // namespace

TEST(ScenarioTimeout, AWaitThatNeverMatchesFailsAtItsTimeoutInSimulatedTime)
{
    const auto started = std::chrono::steady_clock::now();
    const auto r = run("timeout: 60s\nsteps:\n  - wait-serial: {text: Goodbye, timeout: 20s}\n");
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(r.outcome.failure, "step 1 (wait-serial, line 3): \"Goodbye\" not seen on UART0 within 20s; UART0 sent "
                                 "\"Hello my first UART pro\\n\"");
    EXPECT_NEAR(r.outcome.simulatedSeconds, 20.0, 1e-6);
    EXPECT_TRUE(boardsim::testing::contains(r.printed, "   20000.000 ms  FAIL   1  wait-serial")) << r.printed;
    // The board's 20 seconds are simulated well within them: the wait is
    // not a sleep on the wall clock.
    EXPECT_LT(wall, 10.0);
}

TEST(ScenarioTimeout, TheScenariosTimeoutBoundsEveryWaitAndSaysSo)
{
    const auto unbounded = run("timeout: 300ms\nsteps:\n  - delay: 100ms\n  - wait-serial: Goodbye\n");
    EXPECT_EQ(unbounded.outcome.failure,
              "step 2 (wait-serial, line 4): \"Goodbye\" not seen on UART0 by the scenario's timeout of 300ms; UART0 "
              "sent \"Hello my first UART pro\\n\"");
    EXPECT_NEAR(unbounded.outcome.simulatedSeconds, 0.3, 1e-6);

    // A step's own timeout past the scenario's end does not extend it.
    const auto longer = run("timeout: 300ms\nsteps:\n  - wait-pin: {pin: KEY_4, value: 0, timeout: 5s}\n");
    EXPECT_EQ(longer.outcome.failure,
              "step 1 (wait-pin, line 3): P0.19 (KEY_4) did not become 0 by the scenario's timeout of 300ms: it "
              "stayed 1");
    EXPECT_NEAR(longer.outcome.simulatedSeconds, 0.3, 1e-6);

    const auto measured = run("timeout: 100ms\nsteps:\n  - expect-blink: {pin: LED, hz: 5}\n");
    EXPECT_EQ(measured.outcome.failure,
              "step 1 (expect-blink, line 3): the scenario's timeout of 100ms ran out during the measurement");

    // A step that ends exactly at the time-out has not run out of it.
    const auto exact = run("timeout: 200ms\nsteps:\n  - delay: 120ms\n  - press: {key: 1, for: 75ms}\n");
    EXPECT_TRUE(exact.outcome.passed) << exact.printed;
    EXPECT_NEAR(exact.outcome.simulatedSeconds, 0.2, 1e-6);
}
