#include "sim/SimulatedUnit.h"

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
