#include "device/UpgradeSequencer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <optional>

#include "FakePort.h"
#include "core/common/ScriptedBoxes.h"

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = UpgradeSequencer::Clock;

namespace {
// A boot loader on the far side of the fake port, written from the wire
// format: it takes the packets the PC wrote and answers each one.
struct BootLoader {
  Bytes flash = Bytes(FirmwareImageSize, 0xFF);
  struct Request {
    Bytes payload;
    Clock::time_point at;
  };
  std::vector<Request> requests;
  int silentFrom = 0;        // 1-based request from which nothing is answered
  std::optional<uint32_t> corruptRead;  // a read of this address comes back with data byte 7 altered
  std::map<uint32_t, std::string> readAnswers;  // a read of an address answered with these bytes instead
  Clock::duration delay{};  // from a request to its answer
  std::vector<std::pair<Clock::time_point, std::string>> answers;  // on their way, by when they arrive
  size_t consumed = 0;
  Bytes packet;
  bool inPacket = false, escaped = false;

  static std::string Frame(const Bytes& payload) {
    std::string wire(4, '\x55');
    unsigned sum = 0;
    auto put = [&](uint8_t b) {
      if (b == 0x04 || b == 0x05 || b == 0x55) wire += '\x05';
      wire += static_cast<char>(b);
    };
    for (uint8_t b : payload) put(b), sum += b;
    put(static_cast<uint8_t>(-sum));
    return wire + '\x04';
  }

  void Serve(FakePort& port, Clock::time_point now) {
    for (; consumed < port.Written.size(); ++consumed) {
      auto b = static_cast<uint8_t>(port.Written[consumed]);
      if (escaped) packet.push_back(b), escaped = false;
      else if (b == 0x55) packet.clear(), inPacket = true;
      else if (!inPacket) continue;
      else if (b == 0x05) escaped = true;
      else if (b == 0x04) Answer(now), inPacket = false;
      else packet.push_back(b);
    }
    for (; !answers.empty() && answers.front().first <= now; answers.erase(answers.begin()))
      port.Incoming += answers.front().second;
  }

  void Answer(Clock::time_point now) {
    unsigned sum = 0;
    for (uint8_t b : packet) sum += b;
    ASSERT_EQ(sum % 256, 0u) << "a request with a bad checksum";
    Bytes payload(packet.begin(), packet.end() - 1);
    requests.push_back({payload, now});
    if (silentFrom && static_cast<int>(requests.size()) >= silentFrom) return;
    Bytes reply(payload.begin(), payload.begin() + std::min<size_t>(payload.size(), 8));
    if (payload.size() >= 8) {
      const uint32_t address = payload[4] | payload[5] << 8 | payload[6] << 16;
      const size_t words = (payload[2] | payload[3] << 8) * 4u;
      if (payload[0] == bcRead && readAnswers.count(address)) {
        answers.emplace_back(now + delay, readAnswers[address]);
        return;
      } else if (payload[0] == bcRead) {
        reply.insert(reply.end(), flash.begin() + address, flash.begin() + address + words);
        if (address == corruptRead) reply[8 + 7] ^= 0x5A;
      } else if (payload[0] == bcWrite) {
        std::copy(payload.begin() + 8, payload.end(), flash.begin() + address);
      } else if (payload[0] == bcBlankBlock) {
        std::fill_n(flash.begin() + address, 512, 0xFF);
      }
    }
    answers.emplace_back(now + delay, Frame(reply));
  }
};

struct Rig {
  FakePort port;
  DeviceLink link{port};
  FirmwareFile firmware;
  ScriptedBoxes boxes;
  UpgradeSequencer seq{port, link, firmware, boxes};
  BootLoader unit;
  Clock::time_point now{};
  int rate = UpgradeSequencer::BootLoaderRateCode;
  int resets = 0;
  bool progressShown = false;
  std::vector<std::chrono::milliseconds> pauses;
  std::vector<std::pair<std::string, std::string>> shown;  // value and status texts, as drawn

  // An image of extent bytes; fill gives byte i.
  explicit Rig(int extent, const std::function<uint8_t(int)>& fill = [](int i) { return uint8_t(i * 7 + 1); }) {
    firmware.Opened = firmware.Completed = true;
    firmware.Verdict = fvFit;
    firmware.Version = "1.10-abcdefghijklmnopqrstuvwxyz";  // the notice carries 25 characters
    firmware.ImageEnd = FlashBase + extent;
    for (int i = 0; i < extent; ++i) firmware.FirmwareImage[i] = fill(i);
    port.Openable = {"\\\\.\\COM3"};
    port.SetDeviceName("\\\\.\\COM3");
    port.Rate = rate;
    port.Open();
    link.FeedBootByte = [this](uint8_t b) { seq.Receiver.FeedBootByte(b); };
    seq.Now = [this] { return now; };
    seq.ChosenRate = [this] { return rate; };
    seq.ChosenPort = [] { return std::string("3"); };
    seq.ResetWizard = [this] { ++resets; };
    seq.ShowProgressPage = [this] { progressShown = true; };
    seq.Pause = [this](std::chrono::milliseconds d) { pauses.push_back(d), now += d; };
    seq.OnChanged = [this] {
      if (shown.empty() || shown.back() != std::pair{seq.Page.ValueText, seq.Page.StatusText})
        shown.emplace_back(seq.Page.ValueText, seq.Page.StatusText);
    };
  }
  // One PIC_Timer tick, step after the last; the unit answers what came before.
  // With the timer handed to the sequencer, a tick comes only while it runs.
  void Tick(Clock::duration step = 1ms) {
    now += step;
    unit.Serve(port, now);
    if (!port.Incoming.empty()) link.DeviceDataReceived(static_cast<uint32_t>(port.Incoming.size()));
    if (seq.PIC_Timer) timer.Fire();
    else seq.PIC_TimerTimer();
  }
  ManualTimer timer{1, false};
  void TickUntil(const std::function<bool()>& done, int limit = 20000) {
    for (int i = 0; i < limit && !done(); ++i) Tick();
  }
  void RunUpgrade() {
    ASSERT_TRUE(seq.SpeedButtonFrmVerWantToContinueYesClick());
    TickUntil([&] { return seq.Succeeded() || seq.UpgradeState == usIdle; });
  }
  // Command byte, word count and address of each request, for comparing passes.
  std::vector<std::string> Requests() const {
    std::vector<std::string> out;
    for (const auto& r : unit.requests) {
      char text[48];
      std::snprintf(text, sizeof text, "%02X n%d @%06X +%zu", r.payload[0], r.payload[2] | r.payload[3] << 8,
                    r.payload.size() >= 7 ? r.payload[4] | r.payload[5] << 8 | r.payload[6] << 16 : 0,
                    r.payload.size() > 8 ? r.payload.size() - 8 : 0);
      out.push_back(text);
    }
    return out;
  }
};
}  // namespace

TEST(UpgradeSequencer, WorkedExampleWritesVerifiesAndFinishes) {
  Rig r(1024);  // ProgramLength 1028, TotalBlocks 2
  std::optional<Clock::time_point> noticeAt;
  ASSERT_TRUE(r.seq.SpeedButtonFrmVerWantToContinueYesClick());
  EXPECT_FALSE(r.seq.Page.FinishEnabled);
  r.TickUntil([&] {
    if (!noticeAt && r.port.Written.find("$PTPS") != std::string::npos) noticeAt = r.now;
    return r.seq.Succeeded() || r.seq.UpgradeState == usIdle;
  });
  ASSERT_TRUE(r.seq.Succeeded());
  EXPECT_TRUE(r.progressShown);
  EXPECT_EQ(r.pauses, (std::vector<std::chrono::milliseconds>{500ms}));  // 38400 already: no reopen
  EXPECT_EQ(r.port.Opened.size(), 1u);
  ASSERT_EQ(r.Requests(), (std::vector<std::string>{"02 n128 @000000 +512", "02 n128 @000200 +512", "22 n1 @000400 +0",
                                                    "01 n128 @000000 +0", "01 n128 @000200 +0", "01 n1 @000400 +0",
                                                    "08 n257 @000404 +0", "00 n0 @000000 +0"}));
  EXPECT_TRUE(std::equal(r.firmware.FirmwareImage.begin(), r.firmware.FirmwareImage.begin() + 1028, r.unit.flash.begin()));
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(r.shown, (std::vector<P>{{"", ""}, {"", "Programming.."}, {"1/2", "Programming.."}, {"2/2", "Programming...."},
                                     {"2/2", "Verifying.."}, {"1/2", "Verifying.."}, {"2/2", "Verifying.."},
                                     {"2/2", "Success!!"}}));
  EXPECT_EQ(r.seq.Page.Position, 1);
  // The length command is acknowledged, but the run command and the version
  // notice follow by time alone.
  const auto& q = r.unit.requests;
  EXPECT_GT(q[7].at - q[6].at, 3125ms);
  EXPECT_LT(q[7].at - q[6].at, 3130ms);
  ASSERT_TRUE(noticeAt);  // the unit takes a request a tick after it went out
  EXPECT_GT(*noticeAt - (q[7].at - 1ms), 3125ms);
  EXPECT_LT(*noticeAt - (q[7].at - 1ms), 3130ms);
  const std::string sentences = r.port.Written.substr(0, 20) + r.port.Written.substr(r.port.Written.rfind('$'));
  EXPECT_EQ(sentences, "$PTST,,,,,00008*17\r\n$PTPS,002,1.10-abcdefghijklmnopqrst*12\r\n");
  EXPECT_EQ(r.seq.Page.Notice, "        Upgrade finished        Please restart your device!");
  EXPECT_TRUE(r.seq.Page.FinishEnabled);
  EXPECT_TRUE(r.seq.TpsSent);
  EXPECT_TRUE(r.boxes.Calls.empty());
  // Finishing ends in itself: further ticks and answers change nothing.
  const size_t written = r.port.Written.size();
  for (int i = 0; i < 5000; ++i) r.Tick();
  EXPECT_EQ(r.port.Written.size(), written);
}

TEST(UpgradeSequencer, TheDotsChangeEachBlockWhileWritingAndEachEightBlocksWhileVerifying) {
  Rig r(8192);  // 16 blocks and 4 bytes
  r.RunUpgrade();
  ASSERT_TRUE(r.seq.Succeeded());
  // One letter per block shown: p "Programming..", P "Programming....", v and V the same for "Verifying".
  std::string dots;
  for (const auto& [value, status] : r.shown)
    if (!value.empty() && status != "Success!!")
      dots += status.ends_with("....") ? status[0] : static_cast<char>(std::tolower(status[0]));
  // The verify pass starts with "Verifying.." beside the write pass's last count.
  EXPECT_EQ(dots, "pPpPpPpPpPpPpPpP" "v" "vvvvvvvvVVVVVVVV");
}

TEST(UpgradeSequencer, EachBlockHasTheWholeLimitToItself) {
  Rig r(1024);
  r.unit.delay = 2s;  // within every limit, but three blocks take longer than one
  ASSERT_TRUE(r.seq.SpeedButtonFrmVerWantToContinueYesClick());
  r.TickUntil([&] { return r.seq.Succeeded() || r.seq.UpgradeState == usIdle; }, 40000);
  EXPECT_TRUE(r.seq.Succeeded());
  EXPECT_TRUE(r.boxes.Calls.empty());
}

TEST(UpgradeSequencer, AnAcknowledgementDuringTheFailureBoxSendsNothing) {
  Rig r(1024);
  r.unit.silentFrom = 1;
  r.boxes.WhileOpen = [&] {
    r.port.Incoming += BootLoader::Frame({bcWrite, 0});  // the answer, late
    r.Tick();
  };
  r.RunUpgrade();
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  for (int i = 0; i < 5; ++i) r.Tick();
  EXPECT_EQ(r.unit.requests.size(), 1u);
}

TEST(UpgradeSequencer, WriteAndVerifyFlashWaitForTheirOwnAnswers) {
  for (auto start : std::vector<std::function<void(UpgradeSequencer&)>>{
           [](UpgradeSequencer& s) { s.SpeedButton_WritePICFlashClick(); },
           [](UpgradeSequencer& s) { s.SpeedButton_VerifyPICFlashClick(); }}) {
    Rig r(1024);
    std::copy_n(r.firmware.FirmwareImage.begin(), 1028, r.unit.flash.begin());
    r.unit.delay = 100ms;
    r.seq.Receiver.ReplyReceived = true;  // left from an earlier request
    start(r.seq);
    r.Tick();
    r.Tick();
    EXPECT_EQ(r.unit.requests.size(), 1u);
    EXPECT_TRUE(r.boxes.Calls.empty());
  }
}

TEST(UpgradeSequencer, ShortLastBlocksAndBlankImages) {
  struct Row {
    int extent;
    std::function<uint8_t(int)> fill;
    std::vector<std::string> writes;
  } rows[] = {
      // The last 4 bytes lie past the image: a blank block.
      {512, [](int i) { return uint8_t(i); }, {"02 n128 @000000 +512", "22 n1 @000200 +0"}},
      // 6 bytes, a word count of 1; the two bytes past the word are not compared.
      {514, [](int i) { return uint8_t(i); }, {"02 n128 @000000 +512", "02 n1 @000200 +6"}},
      {1024, [](int) { return uint8_t(0xFF); }, {"22 n128 @000000 +0", "22 n128 @000200 +0", "22 n1 @000400 +0"}},
  };
  for (const Row& row : rows) {
    Rig r(row.extent, row.fill);
    r.RunUpgrade();
    EXPECT_TRUE(r.seq.Succeeded()) << row.extent;
    auto requests = r.Requests();
    const size_t blocks = row.writes.size();
    ASSERT_EQ(requests.size(), 2 * blocks + 2) << row.extent;
    EXPECT_EQ(std::vector(requests.begin(), requests.begin() + blocks), row.writes);
    for (size_t i = 0; i < blocks; ++i) EXPECT_EQ(requests[blocks + i].substr(0, 2), "01");
  }
}

TEST(UpgradeSequencer, ReopensAt38400ByThePortsTextWhenAnotherRateIsChosen) {
  Rig r(1024);
  r.rate = 12;  // 115200
  r.port.Rate = 12;
  r.RunUpgrade();
  EXPECT_TRUE(r.seq.Succeeded());
  EXPECT_EQ(r.pauses, (std::vector<std::chrono::milliseconds>{500ms, 500ms}));
  EXPECT_EQ(r.port.Opened, (std::vector<std::string>{"\\\\.\\COM3@9", "\\\\.\\COM3@9"}));
  // The version notice goes to the application at the unit's own rate.
  EXPECT_EQ(r.port.Rate, 12);
  EXPECT_NE(r.port.Written.find("$PTPS,002,"), std::string::npos);
}

TEST(UpgradeSequencer, APortThatDoesNotReopenAt38400ShowsThePortOpenErrorAndReturnsToTheStart) {
  for (bool raises : {false, true}) {
    Rig r(1024);
    r.rate = 12;
    r.port.Rate = 12;
    int errors = 0;
    r.seq.PortOpenFailed = [&] { ++errors; };
    if (raises) r.port.OpenRaises = true;
    else r.port.Openable.clear();
    EXPECT_FALSE(r.seq.SpeedButtonFrmVerWantToContinueYesClick()) << raises;
    EXPECT_EQ(errors, 1) << raises;
    EXPECT_EQ(r.resets, 1) << raises;
    EXPECT_FALSE(r.port.Connected()) << raises;
    EXPECT_EQ(r.seq.UpgradeState, usIdle) << raises;
    for (int i = 0; i < 500; ++i) r.Tick(20ms);
    EXPECT_TRUE(r.boxes.Calls.empty()) << raises;  // no "Programming Fail!" later either
    EXPECT_TRUE(r.unit.requests.empty()) << raises;
  }
}

TEST(UpgradeSequencer, VerifyMismatchFailsOnceAndSendsNoMore) {
  Rig r(1024);
  r.unit.corruptRead = 0x200;
  r.RunUpgrade();
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "Verify Fail!! ");
  EXPECT_EQ(r.boxes.Calls[0].Caption, "Warning");
  EXPECT_EQ(r.boxes.Calls[0].Buttons, MsgButtons::OK);
  EXPECT_EQ(r.boxes.Calls[0].Icon, MsgIcon::None);
  EXPECT_EQ(r.resets, 1);
  const size_t requests = r.unit.requests.size();
  EXPECT_EQ(requests, 5u);  // three writes, two reads
  for (int i = 0; i < 5000; ++i) r.Tick();
  EXPECT_EQ(r.unit.requests.size(), requests);
  EXPECT_EQ(r.boxes.Calls.size(), 1u);
}

TEST(UpgradeSequencer, AReadAnswerWithoutTheBlocksBytesFailsTheVerify) {
  // A blank image: bytes an answer lacks read as zeros, and would match.
  Bytes header = {bcRead, 0, 128, 0, 0, 2, 0, 0x9D};
  Bytes cut = header;
  cut.resize(8 + 511);
  for (const std::string& answer : {std::string("\x55\x04"), BootLoader::Frame(header), BootLoader::Frame(cut)}) {
    Rig r(1024, [](int) { return uint8_t(0); });
    r.unit.readAnswers[0x200] = answer;
    r.RunUpgrade();
    ASSERT_EQ(r.boxes.Calls.size(), 1u) << answer.size();
    EXPECT_EQ(r.boxes.Calls[0].Text, "Verify Fail!! ");
    EXPECT_FALSE(r.seq.TpsSent);
  }
}

TEST(UpgradeSequencer, VerifyFlashAloneEndsSilently) {
  Rig r(1024);
  std::copy_n(r.firmware.FirmwareImage.begin(), 1028, r.unit.flash.begin());
  r.seq.SpeedButton_VerifyPICFlashClick();
  r.TickUntil([&] { return r.seq.UpgradeState == usIdle; });
  EXPECT_EQ(r.unit.requests.size(), 3u);
  EXPECT_EQ(r.seq.Page.StatusText, "Verifying..");
  EXPECT_TRUE(r.boxes.Calls.empty());
  EXPECT_EQ(r.link.MemoRecord.Lines().back(), "PC==>Verify PIC Flash");
  for (int i = 0; i < 5000; ++i) r.Tick();
  EXPECT_EQ(r.unit.requests.size(), 3u);
}

TEST(UpgradeSequencer, EachLimitIsATimeNotATickCount) {
  struct Row {
    const char* text;
    std::chrono::microseconds limit;
    int resets;
    std::function<void(UpgradeSequencer&)> start;
  } rows[] = {
      {"Programming Fail! Please try again.", 300 * 15625us, 1,
       [](UpgradeSequencer& s) { s.SpeedButtonFrmVerWantToContinueYesClick(); }},
      {"Verify Fail!! ", 200 * 15625us, 1, [](UpgradeSequencer& s) { s.SpeedButton_VerifyPICFlashClick(); }},
      {"Erase Fail!!", 120 * 15625us, 0, [](UpgradeSequencer& s) { s.SpeedButton_ErasePICFlashClick(); }},
  };
  for (const Row& row : rows) {
    Rig r(1024);
    r.unit.silentFrom = 1;
    row.start(r.seq);
    const auto started = r.now;
    for (int i = 0; i < 1000; ++i) r.Tick(0ms);  // ticks alone never run out
    r.TickUntil([&] { return !r.boxes.Calls.empty(); });
    ASSERT_EQ(r.boxes.Calls.size(), 1u) << row.text;
    EXPECT_EQ(r.boxes.Calls[0].Text, row.text);
    EXPECT_EQ(r.boxes.Calls[0].Caption, "Warning") << row.text;
    EXPECT_EQ(r.boxes.Calls[0].Buttons, MsgButtons::OK) << row.text;
    EXPECT_EQ(r.boxes.Calls[0].Icon, MsgIcon::None) << row.text;
    EXPECT_GT(r.now - started, row.limit) << row.text;
    EXPECT_LE(r.now - started, row.limit + 1ms) << row.text;
    EXPECT_EQ(r.resets, row.resets) << row.text;
    EXPECT_EQ(r.seq.UpgradeState, usIdle);
  }
}

TEST(UpgradeSequencer, ALateTickTakesTheAnswerThatHasArrived) {
  struct Row {
    const char* name;
    std::chrono::microseconds limit;
    std::function<void(UpgradeSequencer&)> start;
    size_t requests;  // the unit has had after the late tick
  } rows[] = {
      {"write", 300 * 15625us, [](UpgradeSequencer& s) { s.SpeedButtonFrmVerWantToContinueYesClick(); }, 2},
      {"verify", 200 * 15625us, [](UpgradeSequencer& s) { s.SpeedButton_VerifyPICFlashClick(); }, 2},
      {"erase", 120 * 15625us, [](UpgradeSequencer& s) { s.SpeedButton_ErasePICFlashClick(); }, 1},
  };
  for (const Row& row : rows) {
    Rig r(1024);
    std::copy_n(r.firmware.FirmwareImage.begin(), 1028, r.unit.flash.begin());
    row.start(r.seq);
    r.Tick(row.limit + 1s);  // the answer came in time, the tick long after
    r.Tick(0ms);             // the unit takes what that tick sent
    EXPECT_EQ(r.unit.requests.size(), row.requests) << row.name;
    if (row.requests == 1) {
      ASSERT_EQ(r.boxes.Calls.size(), 1u) << row.name;
      EXPECT_EQ(r.boxes.Calls[0].Text, "Erase Success!!");
    } else {
      EXPECT_TRUE(r.boxes.Calls.empty()) << row.name;
    }
  }
}

TEST(UpgradeSequencer, UnfitFirmwareIsRefusedWithItsReasonAndNothingSent) {
  for (auto start : {&UpgradeSequencer::SpeedButtonFrmVerWantToContinueYesClick,
                     &UpgradeSequencer::SpeedButton_WritePICFlashClick}) {
    Rig r(1024);
    r.firmware.Verdict = fvChecksumMismatch;
    r.firmware.Reason = "The firmware file is damaged.";
    EXPECT_FALSE((r.seq.*start)());
    ASSERT_EQ(r.boxes.Calls.size(), 1u);
    EXPECT_EQ(r.boxes.Calls[0].Text, "The firmware file is damaged.");
    EXPECT_EQ(r.boxes.Calls[0].Caption, "Warning");
    EXPECT_TRUE(r.port.Written.empty());
    EXPECT_FALSE(r.progressShown);
    EXPECT_EQ(r.seq.UpgradeState, usIdle);
  }
}

TEST(UpgradeSequencer, WriteFlashAfterAFailedPassStartsAgainAtBlockZero) {
  Rig r(1024);
  r.unit.silentFrom = 2;
  r.RunUpgrade();
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  r.unit.silentFrom = 0;
  r.unit.requests.clear();
  ASSERT_TRUE(r.seq.SpeedButton_WritePICFlashClick());
  r.TickUntil([&] { return r.seq.Succeeded(); });
  auto requests = r.Requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(std::vector(requests.begin(), requests.begin() + 3),
            (std::vector<std::string>{"02 n128 @000000 +512", "02 n128 @000200 +512", "22 n1 @000400 +0"}));
}

TEST(UpgradeSequencer, EraseWaitsForItsOwnAcknowledgement) {
  Rig r(1024);
  r.seq.Receiver.ReplyReceived = true;  // left from an earlier request
  r.unit.silentFrom = 1;
  r.seq.SpeedButton_ErasePICFlashClick();
  r.Tick();
  EXPECT_TRUE(r.boxes.Calls.empty());
  r.unit.silentFrom = 0;
  r.seq.SpeedButton_ErasePICFlashClick();
  r.TickUntil([&] { return !r.boxes.Calls.empty(); });
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "Erase Success!!");
  EXPECT_EQ(r.boxes.Calls[0].Caption, "Message");
  EXPECT_EQ(r.Requests().back(), "03 n1 @000000 +0");
  EXPECT_EQ(r.link.MemoRecord.Lines().back(), "PC==>Erase PIC Flash");
}

TEST(UpgradeSequencer, AVersionNoticeThatCannotBeWrittenIsReportedOnce) {
  Rig r(1024);
  r.link.WriteFailed = [&] {
    r.boxes.Show("Serial port open error! Please check!", "Error", MsgButtons::OK, MsgIcon::Error);
    return false;
  };
  // Ticks go on while a box is open, as in the window (a few boxes deep at most).
  r.boxes.WhileOpen = [&] {
    if (r.boxes.Calls.size() < 3)
      for (int i = 0; i < 300; ++i) r.Tick(20ms);
  };
  ASSERT_TRUE(r.seq.SpeedButtonFrmVerWantToContinueYesClick());
  r.TickUntil([&] { return r.seq.FinishStep == 1; });
  r.port.WriteFails = true;  // the adapter pulled in the last seconds
  r.TickUntil([&] { return r.seq.FinishStep == 2; });
  EXPECT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_FALSE(r.seq.TpsSent);
}

// A port that goes away ends the operation at once, with the message for it
// while the unit is still in its boot loader; nothing more is sent.
TEST(UpgradeSequencer, APortGoneEndsEachOperationAtOnce) {
  const std::string gone = "the port went away";
  const struct {
    const char* name;
    std::function<bool(const UpgradeSequencer&)> reached;  // the moment the port goes
    bool erase;
    std::optional<std::string> message;
    int resets;
    bool succeeded;  // the finished page, without a version notice
  } cases[] = {
      {"writing", [](const auto& s) { return s.UpgradeState == usWriting && s.BlockIndex == 1; }, false, gone,
       1, false},
      {"verifying", [](const auto& s) { return s.UpgradeState == usVerifying; }, false, gone, 1, false},
      {"length sent", [](const auto& s) { return s.UpgradeState == usFinishing; }, false, gone, 1, false},
      {"run command sent", [](const auto& s) { return s.FinishStep == 1; }, false, std::nullopt, 0, true},
      {"erasing", [](const auto& s) { return s.UpgradeState == usErasing; }, true, gone, 0, false},
      {"finished", [](const auto& s) { return s.Succeeded(); }, false, std::nullopt, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(1024);
    if (c.erase) {
      r.unit.silentFrom = 1;
      r.seq.SpeedButton_ErasePICFlashClick();
    } else {
      ASSERT_TRUE(r.seq.SpeedButtonFrmVerWantToContinueYesClick());
    }
    r.TickUntil([&] { return c.reached(r.seq); });
    ASSERT_TRUE(c.reached(r.seq));
    const bool finished = r.seq.Succeeded();
    const size_t written = r.port.Written.size();
    r.seq.PortWentAway(gone, "Caption");
    for (int i = 0; i < 5000; ++i) r.Tick();
    EXPECT_EQ(r.port.Written.size(), written);
    ASSERT_EQ(r.boxes.Calls.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(r.boxes.Calls[0].Text, *c.message);
      EXPECT_EQ(r.boxes.Calls[0].Caption, "Caption");
    }
    EXPECT_EQ(r.resets, c.resets);
    EXPECT_EQ(r.seq.Succeeded(), c.succeeded);
    EXPECT_EQ(r.seq.PortGone, !finished);
    EXPECT_EQ(r.seq.TpsSent, finished);
  }
}

// PIC_Timer runs from the start of an operation to its end and not while
// idle, and the operation goes exactly as with a timer that never stops:
// the same requests at the same times, the same boxes, the same page.
TEST(UpgradeSequencer, PicTimerRunsOnlyWhileThereIsWork) {
  struct Row {
    const char* name;
    std::function<void(UpgradeSequencer&)> start;
    int silentFrom;
  };
  const Row rows[] = {
      {"upgrade", [](UpgradeSequencer& s) { s.SpeedButtonFrmVerWantToContinueYesClick(); }, 0},
      {"write flash", [](UpgradeSequencer& s) { s.SpeedButton_WritePICFlashClick(); }, 0},
      {"verify flash", [](UpgradeSequencer& s) { s.SpeedButton_VerifyPICFlashClick(); }, 0},
      {"erase", [](UpgradeSequencer& s) { s.SpeedButton_ErasePICFlashClick(); }, 0},
      {"failed write", [](UpgradeSequencer& s) { s.SpeedButtonFrmVerWantToContinueYesClick(); }, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig steady(1024), timed(1024);
    timed.seq.PIC_Timer = &timed.timer;
    timed.timer.OnTimer = [&] { timed.seq.PIC_TimerTimer(); };
    std::vector<bool> running;  // of the timed rig, each time it changed
    for (Rig* r : {&steady, &timed}) {
      r->unit.silentFrom = row.silentFrom;
      for (int i = 0; i < 50; ++i) r->Tick();  // idle before
      if (r == &timed) running.push_back(timed.timer.Enabled());
      row.start(r->seq);
      if (r == &timed) running.push_back(timed.timer.Enabled());
      for (int i = 0; i < 10000; ++i) {
        r->Tick();
        if (r == &timed && timed.timer.Enabled() != running.back()) running.push_back(timed.timer.Enabled());
      }
    }
    EXPECT_EQ(running, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(timed.Requests(), steady.Requests());
    ASSERT_EQ(timed.unit.requests.size(), steady.unit.requests.size());
    for (size_t i = 0; i < steady.unit.requests.size(); ++i)
      EXPECT_EQ(timed.unit.requests[i].at, steady.unit.requests[i].at) << "request " << i;
    EXPECT_EQ(timed.port.Written, steady.port.Written);
    EXPECT_EQ(timed.shown, steady.shown);
    ASSERT_EQ(timed.boxes.Calls.size(), steady.boxes.Calls.size());
    for (size_t i = 0; i < steady.boxes.Calls.size(); ++i)
      EXPECT_EQ(timed.boxes.Calls[i].Text, steady.boxes.Calls[i].Text);
    EXPECT_EQ(timed.resets, steady.resets);
    EXPECT_EQ(timed.seq.Succeeded(), steady.seq.Succeeded());
  }
}
