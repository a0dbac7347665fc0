#include "sim/SimulatedUnit.h"

#include <cstdio>
#include <filesystem>

#include "PcSide.h"

namespace fs = std::filesystem;

TEST(SimulatedUnit, AnswersTheStaticDataRequestOnlyAtItsOwnSpeed) {
  SimOptions o = InFolder("speed");
  o.Baud = 9600;
  SimulatedUnit unit(o);
  unit.Start();
  EXPECT_EQ(unit.PortNumber(), 1);
  {
    PcSide pc(unit.LinkPath(), B38400);
    ASSERT_TRUE(pc.ok());
    pc.Send("$PTST,,,,,00016*18\r\n");
    EXPECT_EQ(pc.Receive(), "");
  }
  PcSide pc(unit.LinkPath(), B9600);
  pc.Send("$PTST,,,,,00016*19\r\n");  // bad checksum: ignored
  EXPECT_EQ(pc.Receive(), "");
  pc.Send("$PTST,,,,,00016*18\r\n");
  std::string answer = pc.Receive();
  EXPECT_NE(answer.find("Software Version Code = (1.05)\r\n"), std::string::npos);
  EXPECT_NE(answer.find("RS232=(38400) NMEA=(38400)\r\n"), std::string::npos);
  EXPECT_NE(answer.find("[END OF STATIC DATA]\r\n"), std::string::npos);
  for (size_t start = 0, end; (end = answer.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LT(end - start, 83u) << "a line the wizard would drop";
  auto lines = unit.ReceivedLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Speed, 38400u);
  EXPECT_EQ(lines[2].Line, "$PTST,,,,,00016*18");
}

TEST(SimulatedUnit, AnswersAfterNRequestsAndCanLeaveOutTheMarker) {
  SimOptions o = InFolder("after");
  o.AnswerAfter = 2;
  o.OmitEndMarker = true;
  o.PortNumber = 7;
  SimulatedUnit unit(o);
  unit.Start();
  EXPECT_EQ(fs::path(unit.LinkPath()).filename(), "com7");
  PcSide pc(unit.LinkPath(), B38400);
  pc.Send("$PTST,,,,,00016*18\r\n");
  pc.Send("$PTST,,,,,00016*18\r\n");
  EXPECT_EQ(pc.Receive(), "");
  pc.Send("$PTST,,,,,00016*18\r\n");
  std::string answer = pc.Receive();
  EXPECT_NE(answer.find("Software Version Code"), std::string::npos);
  EXPECT_EQ(answer.find("[END OF STATIC DATA]"), std::string::npos);
}

TEST(SimulatedUnit, UnpluggingRemovesTheLinkAndHangsUp) {
  SimulatedUnit unit(InFolder("unplug"));
  unit.Start();
  std::string link = unit.LinkPath();
  PcSide pc(link, B38400);
  unit.Unplug();
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  pc.Receive(200);
  EXPECT_TRUE(pc.hungUp);
}

TEST(SimulatedUnit, ChecksumOfTheWireFormat) {
  EXPECT_TRUE(SentenceChecksumOk("$PTST,,,,,00016*18"));
  EXPECT_TRUE(SentenceChecksumOk("$PTST,,,,,00008*17"));
  EXPECT_FALSE(SentenceChecksumOk("$PTST,,,,,00016*1"));
  EXPECT_FALSE(SentenceChecksumOk("PTST,,,,,00016*18"));
  EXPECT_FALSE(SentenceChecksumOk("$PTST,,,,,00016"));
}

TEST(SimulatedUnit, TakesTheRatesOfAValidConfigurationSentenceOnly) {
  auto sentence = [](const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    return "$" + body + "*" + hex + "\r\n";
  };
  SimulatedUnit unit(InFolder("dbg"));
  unit.Start();
  {
    PcSide pc(unit.LinkPath(), B38400);
    ASSERT_TRUE(pc.ok());
    for (const std::string& ignored :
         {std::string("$PDBG,040,3,042,1,,,,*00\r\n"), sentence("PDBG,040,6,042,1,,,,"),
          sentence("PDBG,040,3,042,2,,,,"), sentence("PDBG,041,3,042,1,,,,"), sentence("PDBG,040,3,042,1,999,0,,"),
          sentence("PDBG,040,3,042,1,,,"),
          sentence("PDBG,040,,042,1,,,,"), sentence("PORV,C,DBG,040,3,042,1,,,,")}) {
      pc.Send(ignored);
      pc.Send("$PTST,,,,,00016*18\r\n");
      EXPECT_NE(pc.Receive().find("RS232=(38400) NMEA=(38400)"), std::string::npos) << ignored;
    }
    EXPECT_EQ(unit.Baud(), 38400u);
    pc.Send(sentence("PDBG,040,3,042,1,,,,"));
    pc.Send("$PTST,,,,,00016*18\r\n");
    EXPECT_EQ(pc.Receive(), "");  // already at 4800
    EXPECT_EQ(unit.Baud(), 4800u);
  }
  PcSide slow(unit.LinkPath(), B4800);
  slow.Send("$PTST,,,,,00016*18\r\n");
  EXPECT_NE(slow.Receive().find("RS232=(19200) NMEA=(4800)"), std::string::npos);
}
