// The simulated unit's boot loader, driven with packets built here by hand
// from the wire format.
#include <chrono>
#include <filesystem>
#include <optional>

#include "PcSide.h"

namespace {
// Start bytes, payload and checksum with 0x04, 0x05 and 0x55 escaped, end.
Bytes Frame(const Bytes& payload) {
  Bytes wire(4, 0x55);
  unsigned sum = 0;
  for (std::uint8_t b : payload) sum += b;
  Bytes body = payload;
  body.push_back(static_cast<std::uint8_t>(-sum));
  for (std::uint8_t b : body) {
    if (b == 0x04 || b == 0x05 || b == 0x55) wire.push_back(0x05);
    wire.push_back(b);
  }
  wire.push_back(0x04);
  return wire;
}

struct Unframed {
  Bytes Payload;
  bool ChecksumOk;
};
Unframed Unframe(const Bytes& wire) {
  size_t i = 0;
  while (i < wire.size() && wire[i] == 0x55) ++i;
  Bytes body;
  for (; i + 1 < wire.size(); ++i) body.push_back(wire[i] == 0x05 ? wire[++i] : wire[i]);
  unsigned sum = 0;
  for (std::uint8_t b : body) sum += b;
  if (!body.empty()) body.pop_back();
  return {body, sum % 256 == 0};
}

// Command, 0, word count, address: the header of read, write and blank-block.
Bytes Header(std::uint8_t command, std::uint16_t words, std::uint32_t address) {
  return {command,
          0x00,
          static_cast<std::uint8_t>(words),
          static_cast<std::uint8_t>(words >> 8),
          static_cast<std::uint8_t>(address),
          static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 24)};
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes EraseAll = {0x03, 0x00, 0x01, 0x00};
const Bytes RunApp(6, 0x00);

SimOptions InBootLoader(const std::string& name) {
  SimOptions o = InFolder(name);
  o.StartInBootLoader = true;
  return o;
}
}  // namespace

TEST(BootLoader, EnteredByRequestCode8AtTheUnitsSpeedAndHearsOnly38400) {
  SimOptions o = InFolder("enter");
  o.Baud = 9600;
  SimulatedUnit unit(o);
  unit.Start();
  {
    PcSide pc(unit.LinkPath(), B38400);  // not the application's speed
    pc.Send("$PTST,,,,,00008*17\r\n");
    pc.Receive(100);
  }
  PcSide pc(unit.LinkPath(), B9600);
  pc.Send("$PTST,,,,,00008*16\r\n");  // bad checksum
  pc.Receive(100);
  EXPECT_FALSE(unit.InBootLoader());
  pc.Send("$PTST,,,,,00008*17\r\n");
  EXPECT_TRUE(Eventually([&] { return unit.InBootLoader(); }));
  pc.Send(Frame(EraseAll));  // 9600 is noise to the boot loader
  EXPECT_TRUE(pc.ReceivePacket(200).empty());
  pc.Send("$PTST,,,,,00016*18\r\n");  // nor does it speak sentences
  EXPECT_EQ(pc.Receive(100), "");

  PcSide fast(unit.LinkPath(), B38400);
  fast.Send(Frame(EraseAll));
  EXPECT_EQ(Unframe(fast.ReceivePacket()).Payload, EraseAll);
  EXPECT_EQ(unit.BootRequests(), std::vector<Bytes>{EraseAll});
}

TEST(BootLoader, AnswersEachRequestAndKeepsItsFlash) {
  const std::uint32_t row1 = 0x9D000200, lastWord = 0x9D0F9FFC, end = 0x9D0FA000;
  const Bytes special = {0x04, 0x05, 0x55, 0xAA, 0x01, 0x02};  // six bytes with a word count of 1
  const Bytes length = {0x08, 0x00, 0x01, 0x01, 0x04, 0x04, 0x00, 0x00};
  struct Step {
    const char* what;
    Bytes wire;                  // sent as it stands
    std::optional<Bytes> reply;  // payload; nothing: no reply
  } steps[] = {
      {"write with escaped data", Frame(Header(0x02, 1, row1) + special), Header(0x02, 1, row1)},
      {"read it back", Frame(Header(0x01, 2, row1)), Header(0x01, 2, row1) + special + Bytes{0xFF, 0xFF}},
      {"blank the row holding an address", Frame(Header(0x22, 1, row1 + 4)), Header(0x22, 1, row1 + 4)},
      {"the row is blank", Frame(Header(0x01, 2, row1)), Header(0x01, 2, row1) + Bytes(8, 0xFF)},
      {"write the last word", Frame(Header(0x02, 1, lastWord) + Bytes{1, 2, 3, 4}), Header(0x02, 1, lastWord)},
      {"read the last word", Frame(Header(0x01, 1, lastWord)), Header(0x01, 1, lastWord) + Bytes{1, 2, 3, 4}},
      {"write past the end", Frame(Header(0x02, 1, lastWord + 2) + Bytes{9, 9, 9, 9}), std::nullopt},
      {"read past the end", Frame(Header(0x01, 1, end)), std::nullopt},
      {"blank past the end", Frame(Header(0x22, 1, end)), std::nullopt},
      {"read outside the 0x9D window", Frame(Header(0x01, 1, 0x9C000000)), std::nullopt},
      {"unknown command", Frame({0x07, 0x00, 0x01, 0x00}), std::nullopt},
      {"bad checksum", {0x55, 0x55, 0x55, 0x55, 0x03, 0x00, 0x01, 0x00, 0xFD, 0x04}, std::nullopt},
      {"length", Frame(length), length},
      {"noise, then any 0x55 starts afresh",
       {0xAA, 0x04, 0x55, 0x03, 0x55, 0x55, 0x55, 0x55, 0x03, 0x00, 0x01, 0x00, 0xFC, 0x04}, EraseAll},
      {"all erased", Frame(Header(0x01, 1, lastWord)), Header(0x01, 1, lastWord) + Bytes(4, 0xFF)},
  };
  SimulatedUnit unit(InBootLoader("requests"));
  unit.Start();
  PcSide pc(unit.LinkPath(), B38400);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    pc.Send(step.wire);
    Bytes got = pc.ReceivePacket(step.reply ? 1000 : 150);
    if (!step.reply) {
      EXPECT_TRUE(got.empty());
      continue;
    }
    Unframed reply = Unframe(got);
    EXPECT_TRUE(reply.ChecksumOk);
    EXPECT_EQ(reply.Payload, *step.reply);
    if (&step == &steps[1]) {  // escaped on the wire, the checksum (0x55) too
      Bytes wire = Bytes(4, 0x55) + Bytes{0x01, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x9D, 0x05, 0x04, 0x05, 0x05,
                                          0x05, 0x55, 0xAA, 0x01, 0x02, 0xFF, 0xFF, 0x05, 0x55, 0x04};
      EXPECT_EQ(got, wire);
    }
  }
  EXPECT_EQ(unit.BootRequests().size(), std::size(steps) - 1);  // all but the one with a bad checksum
  EXPECT_EQ(unit.LengthReceived(), 1028u);
  EXPECT_EQ(unit.Flash(), Bytes(SimulatedUnit::FlashSize, 0xFF));
  EXPECT_TRUE(unit.InBootLoader());
}

TEST(BootLoader, RunReturnsToTheApplicationWhichTakesTheVersionNotice) {
  SimOptions o = InBootLoader("run");
  o.Baud = 9600;
  SimulatedUnit unit(o);
  unit.Start();
  {
    PcSide pc(unit.LinkPath(), B38400);
    pc.Send("$PTST,,,,,00016*18\r\n");
    pc.Send(Frame(RunApp));
    EXPECT_EQ(pc.Receive(150), "");
  }
  EXPECT_FALSE(unit.InBootLoader());
  PcSide pc(unit.LinkPath(), B9600);
  pc.Send("$PTPS,002,9.99*00\r\n");  // bad checksum
  pc.Send("$PTPS,002,2.00*29\r\n");
  pc.Send("$PTST,,,,,00016*18\r\n");
  std::string answer = pc.Receive();
  EXPECT_NE(answer.find("Software Version Code = (2.00)\r\n"), std::string::npos) << answer;
  EXPECT_EQ(unit.AnswersSent(), 1);
}

TEST(BootLoader, Faults) {
  enum Outcome { Good, Altered, BadChecksum, None, HungUp };
  struct Row {
    const char* what;
    int SimOptions::*fault;
    std::vector<Outcome> outcomes;  // of requests 1, 2, 3
  } rows[] = {
      {"no acknowledgement", &SimOptions::NoAckRequest, {Good, None, Good}},
      {"corrupted read-back", &SimOptions::CorruptReadRequest, {Good, Altered, Good}},
      {"bad checksum", &SimOptions::BadChecksumRequest, {Good, BadChecksum, Good}},
      {"silent from then on", &SimOptions::SilentFromRequest, {Good, None, None}},
      {"unplugged", &SimOptions::UnplugAtRequest, {Good, HungUp}},
  };
  const Bytes read = Header(0x01, 4, 0x9D000000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimOptions o = InBootLoader("fault");
    o.*row.fault = 2;
    SimulatedUnit unit(o);
    unit.Start();
    std::string link = unit.LinkPath();
    PcSide pc(link, B38400);
    std::vector<Outcome> outcomes;
    while (outcomes.size() < 3 && !pc.hungUp) {
      pc.Send(Frame(read));
      Bytes got = pc.ReceivePacket(300);
      Unframed reply = Unframe(got);
      outcomes.push_back(pc.hungUp            ? HungUp
                         : got.empty()        ? None
                         : !reply.ChecksumOk  ? BadChecksum
                         : reply.Payload == read + Bytes(16, 0xFF) ? Good
                                                                   : Altered);
      if (outcomes.back() == Altered) {  // only the byte at payload offset 8 + 7
        Bytes expected = read + Bytes(16, 0xFF);
        expected[15] = reply.Payload[15];
        EXPECT_EQ(reply.Payload, expected);
      }
    }
    EXPECT_EQ(outcomes, row.outcomes);
    EXPECT_EQ(unit.BootRequests().size(), row.outcomes.size());
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(link)), !pc.hungUp);
  }
}

TEST(BootLoader, PacedAtTheLineRate) {
  SimOptions o = InBootLoader("pace");
  o.Pace = true;
  SimulatedUnit unit(o);
  unit.Start();
  PcSide pc(unit.LinkPath(), B38400);
  size_t bytes = 0;
  auto start = std::chrono::steady_clock::now();
  for (const Bytes& request : {Frame(Header(0x02, 128, 0x9D000000) + Bytes(512, 0x11)),
                               Frame(Header(0x01, 128, 0x9D000000))}) {
    pc.Send(request);
    Bytes reply = pc.ReceivePacket(2000);
    ASSERT_FALSE(reply.empty());
    bytes += request.size() + reply.size();
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double floor = bytes * 10 / 38400.0;  // about 0.28 s
  EXPECT_GE(seconds, floor * 0.999);
  EXPECT_LE(seconds, floor * 1.1 + 0.03);
}

TEST(BootLoader, ReplugKeepsTheUnitAsItWas) {
  SimOptions o = InBootLoader("replug");
  o.UnplugAtRequest = 2;
  SimulatedUnit unit(o);
  unit.Start();
  const std::string link = unit.LinkPath();
  const Bytes data = {0xDE, 0xAD, 0xBE, 0xEF};
  const Bytes read = Header(0x01, 1, 0x9D000400);
  {
    PcSide pc(link, B38400);
    pc.Send(Frame(Header(0x02, 1, 0x9D000400) + data));
    EXPECT_FALSE(pc.ReceivePacket().empty());
    pc.Send(Frame(read));  // the cable is pulled
    pc.ReceivePacket();
    EXPECT_TRUE(pc.hungUp);
  }
  for (int plug = 0; plug < 2; ++plug) {  // after the pull, then after Unplug()
    SCOPED_TRACE(plug);
    unit.Replug();
    EXPECT_EQ(unit.LinkPath(), link);
    PcSide pc(link, B38400);
    pc.Send(Frame(read));
    EXPECT_EQ(Unframe(pc.ReceivePacket()).Payload, read + data);
    EXPECT_TRUE(unit.InBootLoader());
    unit.Unplug();
  }
}

TEST(BootLoader, ThroughAnAdapterShortAnswersWaitForItsLatencyAndFullPacketsGoAtOnce) {
  constexpr auto latency = std::chrono::milliseconds(100);
  SimOptions o = InBootLoader("adapter");
  o.AdapterLatency = latency;
  SimulatedUnit unit(o);
  unit.Start();
  PcSide pc(unit.LinkPath(), B38400);
  auto start = std::chrono::steady_clock::now();
  pc.Send(Frame(EraseAll));
  ASSERT_FALSE(pc.ReceivePacket(2000).empty());
  EXPECT_GE(std::chrono::steady_clock::now() - start, latency);

  // A read's 512 bytes: the full packets at once, the rest after the latency.
  const Bytes reply = Frame(Header(0x01, 128, 0x9D000000) + Bytes(512, 0xFF));
  pc.Send(Frame(Header(0x01, 128, 0x9D000000)));
  const std::string early = pc.Receive(50);
  EXPECT_EQ(early.size(), reply.size() / SimulatedUnit::AdapterPacket * SimulatedUnit::AdapterPacket);
  EXPECT_EQ(early.size() + pc.Receive(300).size(), reply.size());
}
