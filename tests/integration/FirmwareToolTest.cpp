// The `kq30 firmware` commands as a user runs them: the built tool on files
// in a scratch folder, and round trips through an independent Intel HEX
// producer (srec_cat from srecord).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "IntegrationSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                           static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// A small good program: 64 bytes at the start of the program flash.
const std::string GoodHex =
    ":020000041D00DD\n"
    ":10000000000102030405060708090A0B0C0D0E0F78\n"
    ":10001000101112131415161718191A1B1C1D1E1F68\n"
    ":10002000202122232425262728292A2B2C2D2E2F58\n"
    ":10003000303132333435363738393A3B3C3D3E3F48\n"
    ":00000001FF\n";

class FirmwareTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kq30-firmware-tool-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Packs GoodHex into dir_/KQ-30.bin.
  fs::path PackGood() {
    WriteText(dir_ / "good.hex", GoodHex);
    const fs::path out = dir_ / "KQ-30.bin";
    const Result r = RunShell(Tool() + " firmware pack " + Quoted(dir_ / "good.hex") + " -o " + Quoted(out) +
                         " --version 1.06 --date '2012/03/04 05:06'");
    EXPECT_EQ(r.status, 0) << r.output;
    return out;
  }

  fs::path dir_;
};

TEST_F(FirmwareTool, InfoShowsTheHeaderSizesAndVerdict) {
  const fs::path file = PackGood();
  const Result r = RunShell(Tool() + " firmware info " + Quoted(file));
  EXPECT_EQ(r.status, 0) << r.output;
  for (const char* line : {"version: 1.06\n", "date: 2012/03/04 05:06\n", "checksum ok: yes\n",
                           "image end: 0x1D000040\n", "program length: 68\n", "total blocks: 0\n",
                           "verdict: fit to flash\n"}) {
    EXPECT_NE(r.output.find(line), std::string::npos) << line << " missing from\n" << r.output;
  }
}

TEST_F(FirmwareTool, EveryDamagedFileIsNotFitAndInfoExitsOne) {
  const auto good = ReadAll(PackGood());
  ASSERT_GT(good.size(), 200u);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* verdict;
  };
  auto flipped = good;
  flipped[150] = flipped[150] == '0' ? '1' : '0';
  auto badChar = good;
  badChar[150] = 'x';
  auto cut = good;
  cut.erase(cut.end() - 30, cut.end());
  auto unended = good;
  unended.insert(unended.end(), 120, 'a');
  const std::vector<Case> cases = {
      {"flipped", flipped, "verdict: checksum mismatch"},
      {"badchar", badChar, "verdict: bad character in record"},
      {"truncated", cut, "verdict: checksum mismatch"},
      {"unended", unended, "verdict: record without end"},
      {"headeronly", std::vector<std::uint8_t>(good.begin(), good.begin() + 128), "verdict: checksum mismatch"},
      {"shortheader", std::vector<std::uint8_t>(good.begin(), good.begin() + 60), "verdict: header truncated"},
  };
  for (const auto& c : cases) {
    const fs::path file = dir_ / c.name;
    WriteAll(file, c.bytes);
    const Result r = RunShell(Tool() + " firmware info " + Quoted(file));
    EXPECT_EQ(r.status, 1) << c.name << "\n" << r.output;
    EXPECT_NE(r.output.find(c.verdict), std::string::npos) << c.name << "\n" << r.output;
  }
  const Result missing = RunShell(Tool() + " firmware info " + Quoted(dir_ / "absent.bin"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("verdict: file unreadable"), std::string::npos) << missing.output;
}

TEST_F(FirmwareTool, DumpWritesTheWholeFlashImage) {
  const fs::path file = PackGood();
  const fs::path image = dir_ / "image.bin";
  const Result r = RunShell(Tool() + " firmware dump " + Quoted(file) + " -o " + Quoted(image));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto bytes = ReadAll(image);
  ASSERT_EQ(bytes.size(), 1024000u);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], i);
  EXPECT_TRUE(std::all_of(bytes.begin() + 64, bytes.end(), [](std::uint8_t b) { return b == 0xFF; }));

  // A damaged file's image is still written for inspection, but the exit says it is not fit.
  auto damaged = ReadAll(file);
  damaged[140] = damaged[140] == '0' ? '1' : '0';
  WriteAll(dir_ / "damaged.bin", damaged);
  const Result bad = RunShell(Tool() + " firmware dump " + Quoted(dir_ / "damaged.bin") + " -o " + Quoted(image));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.output.find("not fit to flash"), std::string::npos) << bad.output;
}

TEST_F(FirmwareTool, PackRefusesBadInputAndLeavesTheOutputAlone) {
  const fs::path out = PackGood();
  const auto before = ReadAll(out);
  std::string badChecksum = GoodHex;
  badChecksum.replace(badChecksum.find("78\n"), 2, "77");
  WriteText(dir_ / "badsum.hex", badChecksum);
  WriteText(dir_ / "good.hex", GoodHex);
  const struct {
    std::string args;
    const char* words;
  } cases[] = {
      {Quoted(dir_ / "badsum.hex") + " --version 1 --date d", "HEX line 2: wrong record checksum"},
      {Quoted(dir_ / "good.hex") + " --version " + std::string(32, '9') + " --date d", "longer than 31"},
      {Quoted(dir_ / "good.hex") + " --version 1 --date " + std::string(24, '9'), "longer than 23"},
      {Quoted(dir_ / "absent.hex") + " --version 1 --date d", "cannot read"},
      {Quoted(dir_ / "past.hex") + " --version 1 --date d",
       "program data at 0x1D090000-0x1D09000F would not"},
  };
  WriteText(dir_ / "past.hex", GoodHex.substr(0, GoodHex.size() - 12) + ":020000041D09D4\n" +
                                   ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n");
  for (const auto& c : cases) {
    const Result r = RunShell(Tool() + " firmware pack " + c.args + " -o " + Quoted(out));
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.words), std::string::npos) << r.output;
    EXPECT_EQ(ReadAll(out), before) << c.args;
  }
}

TEST_F(FirmwareTool, InputsAndOutputsThatAreNoPlainFilesAreRefusedBeforeWriting) {
  const fs::path file = PackGood(), image = dir_ / "image.bin";
  WriteText(dir_ / "good.hex", GoodHex);
  fs::create_hard_link(file, dir_ / "other-name.bin");
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  const auto before = ReadAll(file);
  const std::string pack = " --version 1 --date d";
  const struct {
    std::string args, words;
  } cases[] = {
      {"dump " + Quoted(dir_ / "folder") + " -o " + Quoted(image), "is a folder, not a regular file"},
      {"dump /dev/zero -o " + Quoted(image), "\"/dev/zero\" is a character device, not a regular file"},
      {"dump " + Quoted(dir_ / "pipe") + " -o " + Quoted(image), "is a pipe, not a regular file"},
      {"dump " + Quoted(file) + " -o " + Quoted(file), "is the input file"},
      {"dump " + Quoted(file) + " -o " + Quoted(dir_ / "other-name.bin"), "is the input file"},
      {"dump " + Quoted(file) + " -o " + Quoted(dir_ / "pipe"), "is a pipe, not a regular file"},
      {"dump " + Quoted(file / "x") + " -o " + Quoted(image),
       "cannot read \"" + (file / "x").string() + "\": Not a directory"},
      {"pack /dev/zero -o " + Quoted(image) + pack, "is a character device, not a regular file"},
      {"pack " + Quoted(dir_ / "good.hex") + " -o " + Quoted(dir_ / "good.hex") + pack, "is the input file"},
      {"pack " + Quoted(dir_ / "good.hex") + " -o " + Quoted(dir_ / "folder") + pack, "is a folder"},
  };
  for (const auto& c : cases) {
    const Result r = RunShell("timeout 10 " + Tool() + " firmware " + c.args);
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.words), std::string::npos) << c.args << "\n" << r.output;
  }
  EXPECT_EQ(ReadAll(file), before);
  EXPECT_EQ(ReadAll(dir_ / "good.hex"), std::vector<std::uint8_t>(GoodHex.begin(), GoodHex.end()));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"KQ-30.bin", "folder", "good.hex", "other-name.bin", "pipe"}));
}

TEST_F(FirmwareTool, PackNotesWhatItLeftOutAndWarnsOfALongVersion) {
  // Configuration words beside the program, as a compiler writes them.
  WriteText(dir_ / "config.hex", GoodHex.substr(0, GoodHex.size() - 12) + ":020000041FC01B\n" +
                                     ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n");
  const fs::path out = dir_ / "KQ-30.bin";
  const Result r = RunShell(Tool() + " firmware pack " + Quoted(dir_ / "config.hex") + " -o " + Quoted(out) +
                            " --version " + std::string(26, '7') + " --date d");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("left out: 0x1FC00000-0x1FC0000F\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("the version text is 26 characters long; the unit is told only its first 25"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(RunShell(Tool() + " firmware info " + Quoted(out)).status, 0);
}

TEST_F(FirmwareTool, UsageErrorsExitTwo) {
  const fs::path file = PackGood();
  for (const std::string& args : std::vector<std::string>{"firmware", "firmware flash x",
                                 "firmware info", "firmware info " + Quoted(file) + " extra",
                                 "firmware dump " + Quoted(file), "firmware pack x -o y --version 1",
                                 "firmware info --bogus " + Quoted(file), "firmware dump " + Quoted(file) + " -o"}) {
    const Result r = RunShell(Tool() + " " + args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.output;
    EXPECT_NE(r.output.find("usage: kq30 firmware"), std::string::npos) << r.output;
  }
  // The version text must fit the sentence that tells the unit its new version.
  for (const std::string version : {"'1.0$'", "1,0", "\"$(printf '1.0\\303\\251')\""}) {
    const Result r = RunShell(Tool() + " firmware pack x -o y --date d --version " + version);
    EXPECT_EQ(r.status, 2) << version << "\n" << r.output;
    EXPECT_NE(r.output.find("kq30 firmware pack: --version: the version text holds"), std::string::npos)
        << r.output;
  }
}

TEST_F(FirmwareTool, SrecordHexRoundTripsByteForByte) {
  if (RunShell("command -v srec_cat").status != 0) GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
  std::mt19937 random(20261208);
  const struct {
    std::size_t size;
    int blockSize;
  } cases[] = {{1000, 8}, {70000, 16}, {131073, 32}, {200000, 43}, {77777, 64}, {0x90000, 255}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> program(c.size);
    for (auto& b : program) b = static_cast<std::uint8_t>(random());
    const std::string tag = std::to_string(c.size) + "-" + std::to_string(c.blockSize);
    const fs::path bin = dir_ / ("program-" + tag + ".bin"), hex = dir_ / ("program-" + tag + ".hex");
    const fs::path file = dir_ / ("KQ-30-" + tag + ".bin"), image = dir_ / ("image-" + tag + ".bin");
    WriteAll(bin, program);
    const Result srec = RunShell("srec_cat " + Quoted(bin) + " -binary -offset 0x1D000000 -o " + Quoted(hex) +
                            " -intel -Output_Block_Size=" + std::to_string(c.blockSize));
    ASSERT_EQ(srec.status, 0) << srec.output;
    const Result pack = RunShell(Tool() + " firmware pack " + Quoted(hex) + " -o " + Quoted(file) +
                            " --version 3.1 --date '2026/12/08 04:00'");
    ASSERT_EQ(pack.status, 0) << tag << "\n" << pack.output;
    const Result dump = RunShell(Tool() + " firmware dump " + Quoted(file) + " -o " + Quoted(image));
    ASSERT_EQ(dump.status, 0) << tag << "\n" << dump.output;
    const auto bytes = ReadAll(image);
    ASSERT_EQ(bytes.size(), 1024000u);
    EXPECT_TRUE(std::equal(program.begin(), program.end(), bytes.begin())) << tag;
    EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<long>(c.size), bytes.end(),
                            [](std::uint8_t b) { return b == 0xFF; }))
        << tag;
    const Result info = RunShell(Tool() + " firmware info " + Quoted(file));
    char end[32];
    std::snprintf(end, sizeof end, "image end: 0x%08X\n", static_cast<unsigned>(0x1D000000 + c.size));
    EXPECT_NE(info.output.find(end), std::string::npos) << info.output;
  }
}

}  // namespace
