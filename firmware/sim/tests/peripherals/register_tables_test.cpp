// Every model of the machine through its register table: after reset each
// readable register reads its table's reset value, the access rules of the
// table hold at the bus, names are unique, and a model whose handlers do
// not match its table is refused when the machine is built.
#include <gtest/gtest.h>

#include <set>

#include "core/board_error.h"
#include "machine/lpc2294.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::FakeServices;

namespace {

struct Machine : ::testing::Test {
    Machine()
    {
        machine.attach(services);
        services.pclk = [this] { return machine.pclkHz(); };
        machine.reset();
    }
    FakeServices services;
    Lpc2294Machine machine;
};

}  // namespace

TEST_F(Machine, EveryReadableRegisterReadsItsResetValueAndTheTableDecidesAccess)
{
    for (const DeviceRow& row : Lpc2294Machine::rows()) {
        Peripheral& device = *machine.device(row.name);
        std::set<std::string> names;
        for (const RegisterSpec& r : device.registers()) {
            SCOPED_TRACE(r.name);
            EXPECT_TRUE(names.insert(r.name).second) << "two registers named " << r.name;
            EXPECT_EQ(device.registerName(r.offset, !r.readable()), r.name);
            const BusResult read = device.read(r.offset, 4);
            EXPECT_EQ(read.ok, r.readable()) << read.problem;
            if (read.ok && !r.readsOutside) {
                EXPECT_EQ(read.value, r.reset);
            }
            if (!r.writable()) {
                const BusResult write = device.write(r.offset, 4, 0);
                EXPECT_FALSE(write.ok);
                EXPECT_NE(write.problem.find("read-only"), std::string::npos) << write.problem;
            }
        }
        // Every word of its space that the table does not name is refused.
        for (uint32_t offset = 0; offset < device.size(); offset += 4) {
            if (device.findRegister(offset) == nullptr) {
                const BusResult r = device.read(offset, 4);
                EXPECT_FALSE(r.ok) << row.name << " answered at offset " << offset;
                EXPECT_NE(r.problem.find("no such"), std::string::npos) << r.problem;
            }
        }
    }
    EXPECT_TRUE(services.faults.empty());
}

TEST_F(Machine, StorageRegistersKeepOnlyTheirFieldsBitsAndResetRestoresTheTable)
{
    Peripheral& scb = *machine.device("scb");
    ASSERT_TRUE(scb.write(0x040, 4, 0xFFFFFFFF).ok);  // MEMMAP: MAP only
    EXPECT_EQ(scb.read(0x040, 4).value, 0x3u);
    Peripheral& uart = *machine.device("uart0");
    ASSERT_TRUE(uart.write(0x1C, 1, 0x5A).ok);  // U0SCR: eight bits of storage
    EXPECT_EQ(uart.read(0x1C, 1).value, 0x5Au);
    machine.reset();
    EXPECT_EQ(scb.read(0x040, 4).value, 0u);
    EXPECT_EQ(uart.read(0x1C, 1).value, 0u);
}

namespace {

// A model whose table and code disagree, in each of the ways a new model
// could go wrong.
class Broken final : public Peripheral {
public:
    enum Fault { HandledWithoutReader, HandlerOnStorage, HandlerWithoutRegister, SharedOffset, OutsideItsSpace };
    explicit Broken(Fault fault) : Peripheral("BROKEN", 0x10, table(fault))
    {
        switch (fault) {
        case HandledWithoutReader: handle(0x4, nullptr, [](uint32_t) {}); break;
        case HandlerOnStorage: handle(0x0, [] { return 0u; }, [](uint32_t) {}); break;
        case HandlerWithoutRegister: handle(0x8, [] { return 0u; }, [](uint32_t) {}); break;
        default: break;
        }
    }

private:
    static std::vector<RegisterSpec> table(Fault fault)
    {
        std::vector<RegisterSpec> t = {{0x0, "PLAIN", Access::ReadWrite, 0}};
        if (fault == HandledWithoutReader) {
            t.push_back({0x4, "BUSY", Access::ReadWrite, 0, Behaviour::Handled});
        }
        if (fault == SharedOffset) {
            t.push_back({0x0, "AGAIN", Access::ReadWrite, 0});
        }
        if (fault == OutsideItsSpace) {
            t.push_back({0x10, "BEYOND", Access::ReadWrite, 0});
        }
        return t;
    }
};

}  // namespace

TEST(RegisterTable, AModelWhoseHandlersDoNotMatchItsTableIsRefusedNamingTheRegister)
{
    const std::pair<Broken::Fault, const char*> cases[] = {
        {Broken::HandledWithoutReader, "BUSY (offset 0x00000004) is readable and handled, but has no reader"},
        {Broken::HandlerOnStorage, "PLAIN (offset 0x00000000) is plain storage in the table but has a handler"},
        {Broken::HandlerWithoutRegister, "a handler for offset 0x00000008"},
        {Broken::SharedOffset, "AGAIN (offset 0x00000000) shares its offset with PLAIN"},
        {Broken::OutsideItsSpace, "BEYOND (offset 0x00000010) lies outside"},
    };
    for (const auto& [fault, message] : cases) {
        const Broken model(fault);
        try {
            model.validate();
            ADD_FAILURE() << "accepted: " << message;
        } catch (const BoardError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("BROKEN"), std::string::npos) << e.what();
        }
    }
}
