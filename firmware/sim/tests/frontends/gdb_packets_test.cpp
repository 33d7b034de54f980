// The GDB protocol layer on a fake target: framing and acknowledgements,
// malformed and oversized packets, binary data, and the commands gdb sends.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/fake_gdb_target.h"
#include "frontends/gdb/gdb_packets.h"

using boardsim::GdbPoint;
using boardsim::GdbSession;
using boardsim::GdbStop;
using boardsim::framePacket;
using boardsim::kGdbPacketSize;
using boardsim::testing::FakeGdbTarget;
using boardsim::testing::splitOutput;

namespace {

struct Output {
    std::string acks;
    std::vector<std::string> packets;
};

Output parse(const std::string& bytes)
{
    Output out;
    EXPECT_TRUE(splitOutput(bytes, out.acks, out.packets)) << bytes;
    return out;
}

// Sends one well-formed packet; returns the one reply, after checking the
// packet was acknowledged.
std::string ask(GdbSession& session, const std::string& payload)
{
    const Output out = parse(session.feed(framePacket(payload)));
    EXPECT_EQ(out.acks, "+") << payload;
    EXPECT_EQ(out.packets.size(), 1u) << payload;
    return out.packets.empty() ? "<none>" : out.packets[0];
}

// A packet framed without escaping, as a broken client might send it.
std::string unescapedPacket(const std::string& payload)
{
    unsigned sum = 0;
    for (const char c : payload) {
        sum += static_cast<unsigned char>(c);
    }
    char tail[4];
    std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
    return "$" + payload + tail;
}

std::string hexOf(const std::string& text) { return boardsim::toHex(text); }

}  // namespace

TEST(GdbPackets, FramingChecksumsAndEscapes)
{
    EXPECT_EQ(framePacket(""), "$#00");
    EXPECT_EQ(framePacket("OK"), "$OK#9a");
    // '$', '#', '}' and '*' travel as '}' and the byte xor 0x20; the sum is
    // over what travels.
    EXPECT_EQ(framePacket("a$#}*"), "$a}\x04}\x03}]}\x0a#c3");
    std::string acks;
    std::vector<std::string> payloads;
    ASSERT_TRUE(splitOutput(framePacket("a$#}*"), acks, payloads));
    EXPECT_EQ(payloads, std::vector<std::string>{"a$#}*"});

    std::string bytes;
    EXPECT_TRUE(boardsim::fromHex("00ff7A", bytes));
    EXPECT_EQ(bytes, std::string("\x00\xff\x7a", 3));
    EXPECT_FALSE(boardsim::fromHex("abc", bytes));
    EXPECT_FALSE(boardsim::fromHex("zz", bytes));
    EXPECT_EQ(boardsim::toHex(std::string("\x00\xff", 2)), "00ff");
}

TEST(GdbPackets, BadChecksumIsNakedAndNotActedOn)
{
    FakeGdbTarget target;
    GdbSession session(target);
    EXPECT_EQ(session.feed("$P0=01000000#00"), "-");
    EXPECT_EQ(session.feed("$P0=01000000#zz"), "-");
    EXPECT_EQ(target.registers[0], 0u);
    // The retransmission gdb then sends is taken.
    EXPECT_EQ(ask(session, "P0=01000000"), "OK");
    EXPECT_EQ(target.registers[0], 1u);
}

TEST(GdbPackets, NakFromGdbResendsTheLastReplyAndNoiseIsIgnored)
{
    FakeGdbTarget target;
    GdbSession session(target);
    const std::string reply = session.feed(framePacket("p0"));
    EXPECT_EQ(session.feed("-"), reply.substr(1));
    EXPECT_EQ(session.feed("+garbage\r\n+"), "");
    // A packet may arrive a byte at a time, and a '$' inside one starts anew.
    std::string out;
    for (const char c : "$m0,$P1=02000000#" + framePacket("P1=02000000").substr(13)) {
        out += session.feed(std::string(1, c));
    }
    EXPECT_EQ(parse(out).packets, std::vector<std::string>{"OK"});
    EXPECT_EQ(target.registers[1], 2u);
}

TEST(GdbPackets, OversizedPacketGetsAnErrorAndTheSessionGoesOn)
{
    FakeGdbTarget target;
    GdbSession session(target);
    const std::string huge = "M0,1000:" + std::string(2 * kGdbPacketSize, '1');
    EXPECT_EQ(ask(session, huge), "E01");
    EXPECT_EQ(target.memory[0], 0);
    EXPECT_EQ(ask(session, "m0,2"), "0000");
    // One byte over the limit is already too much; the limit itself is fine.
    const std::string atLimit = "M00,7fc:" + std::string(kGdbPacketSize - 8, '2');
    EXPECT_EQ(ask(session, atLimit), "OK");
    EXPECT_EQ(ask(session, atLimit + "22"), "E01");
}

TEST(GdbPackets, BinaryWriteUnescapesAndChecksItsLength)
{
    FakeGdbTarget target;
    GdbSession session(target);
    const std::string data("\x03$#}*\x00\xff", 7);
    EXPECT_EQ(ask(session, "X100,7:" + data), "OK");
    EXPECT_EQ(std::string(target.memory.begin() + 0x100, target.memory.begin() + 0x107), data);
    EXPECT_FALSE(target.interrupted);  // 0x03 inside a packet is data
    EXPECT_EQ(ask(session, "X100,8:" + data), "E01");
    EXPECT_EQ(ask(session, "X100,0:"), "OK");  // gdb's probe for X
    // A lone escape at the end has nothing to escape.
    EXPECT_EQ(parse(session.feed(unescapedPacket("X0,1:}"))).packets,
              std::vector<std::string>{"E01"});
}

TEST(GdbPackets, RegistersInGdbArmNumbering)
{
    FakeGdbTarget target;
    for (int r = 0; r < 16; ++r) {
        target.registers[size_t(r)] = 0x01020300u + unsigned(r);
    }
    target.registers[25] = 0x600000d3;
    GdbSession session(target);
    const std::string all = ask(session, "g");
    ASSERT_EQ(all.size(), 17u * 8);
    EXPECT_EQ(all.substr(0, 8), "00030201");  // little-endian
    EXPECT_EQ(all.substr(15 * 8, 8), "0f030201");
    EXPECT_EQ(all.substr(16 * 8, 8), "d3000060");  // cpsr right after pc
    EXPECT_EQ(ask(session, "p19"), "d3000060");
    EXPECT_EQ(ask(session, "p10"), "E01");  // an FPA register the description leaves out
    EXPECT_EQ(ask(session, "P19=10000000"), "OK");
    EXPECT_EQ(target.registers[25], 0x10u);
    EXPECT_EQ(ask(session, "Pf=1"), "E01");
    EXPECT_EQ(ask(session, "Pd=efbeadde"), "E01");  // the target threw
    EXPECT_EQ(ask(session, "pd"), "0d030201");

    std::string changed = all;
    changed.replace(8, 8, "efbeadde");
    EXPECT_EQ(ask(session, "G" + changed), "OK");
    EXPECT_EQ(target.registers[1], 0xdeadbeefu);
    EXPECT_EQ(ask(session, "G" + changed.substr(8)), "E01");
    EXPECT_EQ(ask(session, "G" + changed.substr(8) + "zzzzzzzz"), "E01");
}

TEST(GdbPackets, MemoryReadsAndMalformedAddresses)
{
    FakeGdbTarget target;
    target.memory[0x10] = 0xab;
    GdbSession session(target);
    EXPECT_EQ(ask(session, "m10,2"), "ab00");
    EXPECT_EQ(ask(session, "M10,2:1234"), "OK");
    EXPECT_EQ(target.memory[0x11], 0x34);
    EXPECT_EQ(ask(session, "M10,2:123"), "E01");
    EXPECT_EQ(ask(session, "m3fff,2"), "E01");      // runs off the memory
    EXPECT_EQ(ask(session, "mffffffff,2"), "E01");  // wraps around
    EXPECT_EQ(ask(session, "m100000000,1"), "E01");
    EXPECT_EQ(ask(session, "mzz,1"), "E01");
    EXPECT_EQ(ask(session, "m10"), "E01");
    // A read longer than a packet holds comes back shorter; gdb asks again.
    EXPECT_EQ(ask(session, "m0,3000").size(), kGdbPacketSize);
}

TEST(GdbPackets, BreakpointsAndWatchpoints)
{
    FakeGdbTarget target;
    GdbSession session(target);
    EXPECT_EQ(ask(session, "Z0,40,4"), "OK");
    EXPECT_EQ(ask(session, "Z0,41,2"), "OK");
    EXPECT_EQ(ask(session, "Z0,40,5"), "E01");
    EXPECT_EQ(ask(session, "Z2,40000100,1f8"), "OK");
    EXPECT_EQ(ask(session, "Z3,40000100,0"), "E01");
    EXPECT_EQ(ask(session, "Z4,40000100,4;X2,0a"), "OK");  // conditions are ignored
    EXPECT_EQ(ask(session, "Z9,0,4"), "");
    ASSERT_EQ(target.points.size(), 4u);
    EXPECT_EQ(target.points[2], std::make_tuple(GdbPoint::WriteWatch, 0x40000100u, 0x1f8u));
    EXPECT_EQ(ask(session, "z0,40,4"), "OK");
    EXPECT_EQ(ask(session, "z0,40,4"), "E01");
    EXPECT_EQ(target.points.size(), 3u);
}

TEST(GdbPackets, ResumeInterruptAndStopReplies)
{
    FakeGdbTarget target;
    target.advancesBeforeStop = 3;
    GdbSession session(target);
    EXPECT_EQ(ask(session, "vCont?"), "vCont;c;C;s;S");
    EXPECT_EQ(session.feed(framePacket("c")), "+");
    EXPECT_TRUE(session.running());
    EXPECT_EQ(session.poll(), "");
    EXPECT_EQ(session.feed("\x03"), "");
    EXPECT_TRUE(target.interrupted);
    EXPECT_EQ(parse(session.poll()).packets, std::vector<std::string>{"T02"});
    EXPECT_FALSE(session.running());
    EXPECT_EQ(ask(session, "?"), "T02");

    // The first vCont action is the one for our only thread.
    target.advancesBeforeStop = 0;
    EXPECT_EQ(session.feed(framePacket("vCont;s:1;c")), "+");
    EXPECT_TRUE(target.stepping);
    target.stop = GdbStop{boardsim::kSigTrap, GdbStop::WriteWatch, 0x40000104, ""};
    EXPECT_EQ(parse(session.poll()).packets, std::vector<std::string>{"T05watch:40000104;"});

    // A fault: its message on gdb's console, then the signal.
    target.stop = GdbStop{boardsim::kSigSegv, GdbStop::Signal, 0, "boom\n"};
    EXPECT_EQ(session.feed(framePacket("c80")), "+");
    EXPECT_EQ(target.registers[15], 0x80u);
    EXPECT_EQ(parse(session.poll()).packets, (std::vector<std::string>{"O" + hexOf("boom\n"), "T0b"}));

    target.stop = GdbStop{boardsim::kSigTrap, GdbStop::Breakpoint, 0, ""};
    EXPECT_EQ(session.feed(framePacket("C0b;90")), "+");
    EXPECT_FALSE(target.stepping);
    EXPECT_EQ(target.registers[15], 0x90u);
    EXPECT_EQ(parse(session.poll()).packets, std::vector<std::string>{"T05swbreak:;"});
    EXPECT_EQ(ask(session, "vCont;x"), "E01");
}

TEST(GdbPackets, QueriesTargetDescriptionMonitorAndEnd)
{
    FakeGdbTarget target;
    GdbSession session(target);
    const std::string supported = ask(session, "qSupported:multiprocess+;swbreak+;xmlRegisters=i386");
    EXPECT_NE(supported.find("PacketSize=1000"), std::string::npos) << supported;
    EXPECT_NE(supported.find("qXfer:features:read+"), std::string::npos);
    EXPECT_NE(supported.find("swbreak+"), std::string::npos);

    // Read in small pieces, as gdb may: m while more follows, l for the last.
    std::string xml;
    for (size_t offset = 0;; offset += 100) {
        char range[32];
        std::snprintf(range, sizeof range, "%zx,64", offset);
        const std::string part = ask(session, std::string("qXfer:features:read:target.xml:") + range);
        ASSERT_FALSE(part.empty());
        xml += part.substr(1);
        if (part[0] == 'l') {
            break;
        }
        ASSERT_EQ(part[0], 'm');
    }
    EXPECT_EQ(xml, boardsim::armTargetXml());
    EXPECT_NE(xml.find("<reg name=\"cpsr\" bitsize=\"32\" regnum=\"25\"/>"), std::string::npos);
    EXPECT_NE(xml.find("org.gnu.gdb.arm.core"), std::string::npos);
    EXPECT_EQ(ask(session, "qXfer:features:read:other.xml:0,100"), "E00");
    EXPECT_EQ(ask(session, "qXfer:features:read:target.xml:zz"), "E01");

    EXPECT_EQ(ask(session, "qRcmd," + hexOf("press 3")), hexOf("did press 3\n"));
    EXPECT_EQ(ask(session, "qRcmd," + hexOf("quiet")), "OK");
    EXPECT_EQ(ask(session, "qRcmd,7"), "E01");
    EXPECT_EQ(target.monitorCommands, (std::vector<std::string>{"press 3", "quiet"}));
    EXPECT_EQ(ask(session, "qUnknownThing"), "");

    EXPECT_EQ(session.end(), GdbSession::End::None);
    EXPECT_EQ(ask(session, "D"), "OK");
    EXPECT_EQ(session.end(), GdbSession::End::Detach);
    GdbSession second(target);
    EXPECT_EQ(second.feed(framePacket("k")), "+");
    EXPECT_EQ(second.end(), GdbSession::End::Kill);
}
