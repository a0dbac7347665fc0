// An independent decoder reads our lines: gpsd's gpsdecode must decode the
// RMC and the VDM we compose to the values we put in. It also checks our
// checksums: a line with a wrong one is dropped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CodecTestSupport.h"

namespace {

bool GpsdecodePresent() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && access((dir + "/gpsdecode").c_str(), X_OK) == 0) return true;
  }
  return false;
}

#define SKIP_WITHOUT_GPSDECODE()                                               \
  if (!GpsdecodePresent())                                                     \
  GTEST_SKIP() << "gpsdecode is not installed (Debian package gpsd-clients); " \
                  "the cross-check with an independent decoder cannot run"

// Runs `gpsdecode -j` on the lines and returns its JSON lines.
std::vector<std::string> Gpsdecode(const std::string& input) {
  char path[] = "/tmp/kq30-codec-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    ADD_FAILURE() << "cannot make a temporary file";
    return {};
  }
  close(fd);
  std::ofstream(path, std::ios::binary) << input;
  const std::string command = std::string("gpsdecode -j < ") + path + " 2>/dev/null";
  std::vector<std::string> lines;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    std::stringstream stream(output);
    std::string line;
    while (std::getline(stream, line)) {
      if (!line.empty()) lines.push_back(line);
    }
  } else {
    ADD_FAILURE() << "cannot run " << command;
  }
  std::remove(path);
  return lines;
}

// The raw text of a JSON member: a number, or a string without its quotes.
std::optional<std::string> Member(const std::string& json, const std::string& key) {
  const std::string name = "\"" + key + "\":";
  size_t at = json.find(name);
  if (at == std::string::npos) return std::nullopt;
  at += name.size();
  if (json[at] == '"') {
    const size_t end = json.find('"', at + 1);
    return json.substr(at + 1, end - at - 1);
  }
  const size_t end = json.find_first_of(",}", at);
  return json.substr(at, end - at);
}

double Number(const std::string& json, const std::string& key) {
  const auto text = Member(json, key);
  EXPECT_TRUE(text.has_value()) << key << " missing in " << json;
  return text ? std::strtod(text->c_str(), nullptr) : NAN;
}

std::string WithWrongChecksum(std::string line) {
  const size_t star = line.rfind('*');
  line[star + 2] = line[star + 2] == '0' ? '1' : '0';
  return line;
}

// ---- RMC -----------------------------------------------------------------

struct RmcCase {
  const char* Name;
  float Latitude, Longitude, Speed, Course;
};

void PrintTo(const RmcCase& c, std::ostream* os) { *os << c.Name; }

class GpsdecodeRmc : public testing::TestWithParam<RmcCase> {};

std::string ComposeRmc(SentenceDataStore& store, SentenceTime time, const RmcCase& c) {
  store.RMC = {};
  store.RMC.Time = time;
  store.RMC.Status = 'A';
  store.RMC.Latitude = c.Latitude;
  store.RMC.Longitude = c.Longitude;
  store.RMC.Speed = c.Speed;
  store.RMC.Course = c.Course;
  store.RMC.Year = 2025;
  store.RMC.Month = 7;
  store.RMC.Day = 15;
  store.RMC.Variation = kAbsentFloat;
  store.RMC.VariationDirection = kAbsentInt8;
  store.RMC.Mode = 'A';
  SentenceRecord record;
  std::string line;
  EXPECT_TRUE(ComposeSentence(line, record, "RMC", "GP", store));
  return line;
}

TEST_P(GpsdecodeRmc, DecodesTimePositionSpeedCourseAndDate) {
  SKIP_WITHOUT_GPSDECODE();
  const RmcCase& c = GetParam();
  SentenceDataStore store;
  // gpsd reports a fix when the next one begins, so a fix of a minute
  // earlier leads the line under test.
  const std::string leadIn = ComposeRmc(store, {12, 33, 56, 0}, {"", 1.0f, 1.0f, 1.0f, 1.0f});
  const std::string line = ComposeRmc(store, {12, 34, 56, 78}, c);

  const std::vector<std::string> reports = Gpsdecode(leadIn + line);
  ASSERT_EQ(reports.size(), 1u) << line;
  const std::string& tpv = reports[0];
  EXPECT_EQ(Member(tpv, "class"), "TPV");
  EXPECT_EQ(Member(tpv, "time"), "2025-07-15T12:34:56.780Z") << line;
  // Five decimals of a minute resolve 2e-7 degrees; single precision adds about as much.
  EXPECT_NEAR(Number(tpv, "lat"), c.Latitude, 2e-5) << line;
  EXPECT_NEAR(Number(tpv, "lon"), c.Longitude, 2e-5) << line;
  EXPECT_NEAR(Number(tpv, "speed"), c.Speed * 1852.0 / 3600.0, 0.001) << line;  // knots to m/s
  EXPECT_NEAR(Number(tpv, "track"), c.Course, 0.005) << line;

  // The same line with a wrong checksum is dropped.
  EXPECT_TRUE(Gpsdecode(leadIn + WithWrongChecksum(line)).empty());
}

INSTANTIATE_TEST_SUITE_P(Fixes, GpsdecodeRmc,
                         testing::Values(RmcCase{"NorthEast", 25.5f, 121.25f, 10.5f, 45.25f},
                                         RmcCase{"SouthWest", -33.875f, -70.6125f, 0.25f, 245.5f},
                                         RmcCase{"Fractions", 59.123457f, 10.987654f, 102.125f, 359.99f}),
                         [](const auto& info) { return info.param.Name; });

// ---- VDM -----------------------------------------------------------------

// Six-bit armoured AIS payload, built field by field.
class AisPayload {
 public:
  void Put(int64_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) bits_.push_back((value >> i) & 1);
  }
  size_t Bits() const { return bits_.size(); }
  std::string Armoured() const {
    std::string text;
    for (size_t at = 0; at < bits_.size(); at += 6) {
      int value = 0;
      for (size_t i = at; i < at + 6; ++i) value = value * 2 + (i < bits_.size() ? bits_[i] : 0);
      value += 48;
      if (value > 87) value += 8;
      text += static_cast<char>(value);
    }
    return text;
  }

 private:
  std::vector<int> bits_;
};

struct PositionReport {
  const char* Name;
  int Mmsi;
  int Status;
  double Longitude, Latitude;  // degrees
  int SpeedTenths;             // 1/10 knot
  int CourseTenths;            // 1/10 degree
  int Heading;
  int Channel;  // 0 is A, 1 is B
};

// An ITU-R M.1371 message 1, position report class A: 168 bits.
std::string MessageOne(const PositionReport& r) {
  AisPayload p;
  p.Put(1, 6);  // message type
  p.Put(0, 2);  // repeat indicator
  p.Put(r.Mmsi, 30);
  p.Put(r.Status, 4);  // navigational status
  p.Put(-128, 8);      // rate of turn: not available
  p.Put(r.SpeedTenths, 10);
  p.Put(1, 1);                                      // position accuracy
  p.Put(std::llround(r.Longitude * 600000.0), 28);  // 1/10000 minute
  p.Put(std::llround(r.Latitude * 600000.0), 27);
  p.Put(r.CourseTenths, 12);
  p.Put(r.Heading, 9);
  p.Put(30, 6);  // time stamp, second
  p.Put(0, 2);   // manoeuvre indicator
  p.Put(0, 3);   // spare
  p.Put(0, 1);   // RAIM
  p.Put(0, 19);  // radio status
  EXPECT_EQ(p.Bits(), 168u);
  return p.Armoured();
}

void PrintTo(const PositionReport& r, std::ostream* os) { *os << r.Name; }

class GpsdecodeVdm : public testing::TestWithParam<PositionReport> {};

TEST_P(GpsdecodeVdm, DecodesAPositionReport) {
  SKIP_WITHOUT_GPSDECODE();
  const PositionReport& r = GetParam();
  SentenceDataStore store;
  store.VDM.TotalSentences = 1;
  store.VDM.SentenceNumber = 1;
  store.VDM.SequentialId = kAbsentInt8;
  store.VDM.FillBits = 0;
  store.VDM.Data = MessageOne(r);
  store.VDM.Channel = static_cast<int8_t>(r.Channel);
  SentenceRecord record;
  std::string line;
  ASSERT_TRUE(ComposeSentence(line, record, "VDM", "AI", store));
  ASSERT_EQ(line.substr(0, 14), std::string("!AIVDM,1,1,,") + static_cast<char>('A' + r.Channel) + ",")
      << line;

  const std::vector<std::string> reports = Gpsdecode(line);
  ASSERT_EQ(reports.size(), 1u) << line;
  const std::string& ais = reports[0];
  EXPECT_EQ(Member(ais, "class"), "AIS");
  EXPECT_EQ(Number(ais, "type"), 1);
  EXPECT_EQ(Number(ais, "mmsi"), r.Mmsi);
  EXPECT_EQ(Number(ais, "status"), r.Status);
  EXPECT_NEAR(Number(ais, "lon"), r.Longitude, 1e-6);
  EXPECT_NEAR(Number(ais, "lat"), r.Latitude, 1e-6);
  EXPECT_NEAR(Number(ais, "speed"), r.SpeedTenths / 10.0, 1e-9);
  EXPECT_NEAR(Number(ais, "course"), r.CourseTenths / 10.0, 1e-9);
  EXPECT_EQ(Number(ais, "heading"), r.Heading);

  EXPECT_TRUE(Gpsdecode(WithWrongChecksum(line)).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Reports, GpsdecodeVdm,
    testing::Values(PositionReport{"NorthEast", 416123456, 0, 121.25, 25.5, 123, 452, 45, 0},
                    PositionReport{"SouthWest", 244987654, 5, -70.6125, -33.875, 0, 3599, 359, 1}),
    [](const auto& info) { return info.param.Name; });

}  // namespace
