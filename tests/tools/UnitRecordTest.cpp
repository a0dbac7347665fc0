// What kq30 upgrade records of a unit: its report line and its --json
// events, with texts from the unit, the file and the machine that a
// spreadsheet or a JSON reader must take as the texts they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Sha256.h"
#include "UnitRecord.h"
#include "common/Printable.h"

namespace {

TEST(UnitRecord, ReportLinesAndEventsHoldEveryTextAsItIs) {
  const std::string sha = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
  const struct {
    const char* name;
    UnitRow row;
    RunRecord run;
    std::string report, connected, concluded;
  } cases[] = {
      {"an upgraded unit behind a USB adapter",
       {"COM3", "SIM0000001", "KQ-30", "1.05", "SAMPLE 1.10", "upgraded", std::chrono::seconds(12), true, "0403:6001",
        "A50285BI", ""},
       {"1.2", "KQ-30.bin", sha, "bench-1"},
       "2026-12-09 15:00:00,COM3,SIM0000001,KQ-30,1.05,SAMPLE 1.10,upgraded,12,1.2,KQ-30.bin," + sha +
           ",0403:6001,A50285BI,bench-1,\r\n",
       R"({"event": "connected", "time": "T", "port": "COM3", "serial_code": "SIM0000001", "model": "KQ-30", )"
       R"("version": "1.05", "adapter": "0403:6001", "adapter_serial": "A50285BI"})"
       "\n",
       R"({"event": "done", "time": "T", "port": "COM3", "serial_code": "SIM0000001", "version_before": "1.05", )"
       R"("version_after": "SAMPLE 1.10", "seconds": 12})"
       "\n"},
      {"a failed unit whose texts hold separators, quotes, formulas, control characters and other bytes",
       {"COM5", Printable("SIM\x07\xE9\\1"), "=KQ-30, \"B\"", "1.05", "", "failed: Verify Fail!! \"7\"",
        std::chrono::seconds(3), false, "", "", "Verify Fail!! \"7\""},
       {"1.2", "fw, v2.bin", sha, "=cmd|' /C calc'!A0"},
       "2026-12-09 15:00:00,COM5,SIM\\x07\\xE9\\\\1,\"'=KQ-30, \"\"B\"\"\",1.05,,\"failed: Verify Fail!! \"\"7\"\"\","
       "3,1.2,\"fw, v2.bin\"," + sha + ",,,'=cmd|' /C calc'!A0,\"Verify Fail!! \"\"7\"\"\"\r\n",
       R"({"event": "connected", "time": "T", "port": "COM5", "serial_code": "SIM\\x07\\xE9\\\\1", )"
       R"("model": "=KQ-30, \"B\"", "version": "1.05", "adapter": "", "adapter_serial": ""})"
       "\n",
       R"({"event": "failed", "time": "T", "port": "COM5", "serial_code": "SIM\\x07\\xE9\\\\1", "version_before": "1.05", )"
       R"("message": "Verify Fail!! \"7\"", "seconds": 3})"
       "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReportLine(c.row, c.run, "2026-12-09 15:00:00"), c.report);
    EXPECT_EQ(ConnectedEvent(c.row, "T"), c.connected);
    EXPECT_EQ(ConcludedEvent(c.row, "T"), c.concluded);
  }
  // Every line has a field under each of the header's names.
  const auto fields = [](const std::string& line) { return std::count(line.begin(), line.end(), ',') + 1; };
  EXPECT_EQ(fields(ReportHeader()), fields(cases[0].report));
  // A control character that reaches an event whole is escaped as JSON has it.
  EXPECT_EQ(JsonQuoted("a\x01\n\x7F"), R"("a\u0001\u000A\u007F")");
}

TEST(UnitRecord, Sha256OfKnownMessages) {
  const struct {
    std::string message, digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the block, padding takes a second one.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    Sha256 sha;
    sha.Add({reinterpret_cast<const std::uint8_t*>(c.message.data()), c.message.size()});
    EXPECT_EQ(sha.HexDigest(), c.digest) << c.message.size() << " bytes";
  }
}

}  // namespace
