#include "device/DeviceLink.h"

#include "FakePort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace std::string_literals;

namespace {
struct LinkRig {
  FakePort port;
  DeviceLink link{port};
  std::vector<std::string> evaluated;
  std::string bootBytes;
  LinkRig() {
    port.Openable = {port.DeviceName()};
    port.Open();
    link.EvaluateReplyLine = [this](std::string_view line) { evaluated.emplace_back(line); };
    link.FeedBootByte = [this](uint8_t b) { bootBytes += static_cast<char>(b); };
  }
  void Arrive(const std::string& bytes) {
    port.Incoming += bytes;
    // The port wakes again while bytes are waiting.
    while (!port.Incoming.empty()) link.DeviceDataReceived(static_cast<uint32_t>(port.Incoming.size()));
  }
};
}  // namespace

TEST(DeviceLink, SendsTheTestRequestsAsWholeSentences) {
  LinkRig r;
  EXPECT_TRUE(r.link.SendTestRequest(16));
  EXPECT_TRUE(r.link.SendTestRequest(8));
  EXPECT_EQ(r.port.Written, "$PTST,,,,,00016*18\r\n$PTST,,,,,00008*17\r\n");
}

TEST(DeviceLink, AFailedWriteIsAnsweredByTheWizardsPolicy) {
  LinkRig r;
  r.port.WriteFails = true;
  EXPECT_FALSE(r.link.SendTestRequest(16));  // no policy: a plain failure
  int asked = 0;
  r.link.WriteFailed = [&] { ++asked; return true; };  // as in Auto mode
  EXPECT_TRUE(r.link.SendTestRequest(16));
  r.port.Close();
  r.port.WriteFails = false;
  EXPECT_TRUE(r.link.SendTestRequest(16));
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(r.link.WriteBytes("x", 1));
}

TEST(DeviceLink, APartlyWrittenSentenceOrPacketIsAFailedWrite) {
  LinkRig r;
  r.port.WriteTakes = 5;  // the write time-out ended the write
  EXPECT_FALSE(r.link.SendTestRequest(16));
  EXPECT_FALSE(r.link.WriteBytes("\x02packet\x03", 8));
  EXPECT_TRUE(r.link.WriteBytes("short", 5));
}

TEST(DeviceLink, AssemblesLinesAcrossAndWithinNotifications) {
  LinkRig r;
  r.Arrive("first\r\nsec");
  r.Arrive("ond\rstill\0 second\n"s);
  r.Arrive("\r\n\0\n"s);
  EXPECT_EQ(r.evaluated, (std::vector<std::string>{"first\r\n", "secondstill second\r\n", "\r\n", "\r\n"}));
  EXPECT_EQ(r.link.MemoRecord.Lines().front(), "first");
  EXPECT_EQ(r.link.MemoRecord.Lines().size(), 4u);
  // The boot-loader receiver sees every byte, line ends and NULs included.
  EXPECT_EQ(r.bootBytes, "first\r\nsecond\rstill\0 second\n\r\n\0\n"s);
}

TEST(DeviceLink, LinesOf83CharactersOrMoreAreDropped) {
  LinkRig r;
  std::string marker = "[END OF STATIC DATA]";
  std::string longest = marker + std::string(82 - marker.size(), 'x');
  r.Arrive(longest + "\r\n");
  r.Arrive(longest + "y\r\n");
  r.Arrive(std::string(100000, '\x55') + "\n");  // a run of binary without a line end
  EXPECT_EQ(r.evaluated, (std::vector<std::string>{longest + "\r\n"}));
  EXPECT_TRUE(r.link.ReplyLine.empty());
  r.Arrive(std::string(100000, '\x55'));
  EXPECT_LE(r.link.ReplyLine.size(), 83u);  // never grows without limit
  r.Arrive("\nok\n");
  EXPECT_EQ(r.evaluated.back(), "ok\r\n");
}

TEST(DeviceLink, PicksTheUnitsIdentityOutOfItsLines) {
  LinkRig r;
  r.Arrive(
      "Software Version Code = (1.05)\r\n"
      "Model ID = (KQ-30)\r\nModel Version = (A1)\r\nModel Serial Code = (SN 7)\r\n"
      "Product Code = (70000)\r\nDatabase Version = (3x)\r\nCertification = (1)\r\n"
      "Load Equivalency = (abc)\r\n[FwVersion]=KQ30 1.05 (2026)\r\nRS232=(9600) NMEA=(4800)\r\n");
  const TDeviceInfo& d = r.link.DeviceInfo;
  EXPECT_EQ(r.link.OriginalVersion, "1.05");
  EXPECT_EQ(d.ModelId, "KQ-30");
  EXPECT_EQ(d.ModelVersion, "A1");
  EXPECT_EQ(d.ModelSerialCode, "SN 7");
  EXPECT_EQ(d.ProductCode, static_cast<int16_t>(70000));  // cut to the field's width
  EXPECT_EQ(d.DatabaseVersion, 3);
  EXPECT_STREQ(CertificationText(d.Certification), "Level B");
  EXPECT_EQ(d.LoadEquivalency, 0);
  EXPECT_EQ(d.FirmwareVersion, "KQ30 1.05 (2026)");
  EXPECT_EQ(r.link.BaudRs232Index, 4);
  EXPECT_EQ(r.link.BaudNmeaIndex, 1);

  // Without its terminator a key gives no value; the version becomes empty.
  r.Arrive("Model ID = (OTHER\r\nSoftware Version Code = (1.06\r\nRS232=(1234)\r\n");
  EXPECT_EQ(d.ModelId, "KQ-30");
  EXPECT_EQ(r.link.OriginalVersion, "");
  EXPECT_EQ(r.link.BaudRs232Index, 0);
  EXPECT_EQ(r.link.BaudNmeaIndex, 0);

  r.Arrive("Model ID = (" + std::string(40, 'M') + ")\r\n");
  EXPECT_EQ(d.ModelId, std::string(31, 'M'));
}

TEST(DeviceLink, TheLogKeepsTheNewestLines) {
  LinkRig r;
  std::string many;
  for (size_t i = 0; i < LineLog::MaxLines + 10; ++i) many += "line " + std::to_string(i) + "\n";
  r.Arrive(many);
  EXPECT_EQ(r.link.MemoRecord.Lines().size(), LineLog::MaxLines);
  EXPECT_EQ(r.link.MemoRecord.Lines().front(), "line 10");
  EXPECT_EQ(r.link.MemoRecord.Added(), LineLog::MaxLines + 10);
}

TEST(DeviceLink, TakesWhatReadGivesWhateverCountTheWakeUpReported) {
  // The count a wake-up reports may be more than Read then gives (nothing is
  // made up, and a wild count allocates nothing huge) or less than is waiting
  // (the rest is left for the next wake-up); lines come out as if the bytes
  // had arrived in one piece.
  const std::string waiting = "ab\ncd\r\n";
  const struct {
    uint32_t reported;
    size_t taken;
  } cases[] = {{100, 7}, {UINT32_MAX, 7}, {2, 2}, {4, 4}, {0, 0}};
  for (const auto& c : cases) {
    LinkRig r;
    r.port.Incoming = waiting;
    r.link.DeviceDataReceived(c.reported);
    EXPECT_EQ(r.bootBytes, waiting.substr(0, c.taken)) << c.reported;
    EXPECT_EQ(r.port.Incoming, waiting.substr(c.taken)) << c.reported;
    r.Arrive("");
    EXPECT_EQ(r.bootBytes, waiting) << c.reported;
    EXPECT_EQ(r.evaluated, (std::vector<std::string>{"ab\r\n", "cd\r\n"})) << c.reported;
  }
  LinkRig closed;
  closed.port.Incoming = waiting;
  closed.port.Close();
  closed.link.DeviceDataReceived(7);  // Read gives -1
  EXPECT_TRUE(closed.bootBytes.empty());
  EXPECT_TRUE(closed.link.ReplyLine.empty());
}
