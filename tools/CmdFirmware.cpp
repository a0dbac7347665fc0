// kq30 firmware: inspects, dumps and packs firmware files.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "FileAccess.h"
#include "common/Exception.h"
#include "device/FirmwareImage.h"
#include "device/FirmwarePacker.h"
#include "device/IntelHex.h"

namespace {

// A HEX file larger than this is not a firmware for the unit's 1 MB flash.
constexpr std::uintmax_t MaxHexFileSize = 64 * 1024 * 1024;

struct Arguments {
  std::string file, output, version, date;
};

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

void PrintInfo(const std::string& path, const FirmwareFile& file) {
  std::cout << "file: " << PrintableFileText(path) << "\n"
            << "version: " << PrintableFileText(file.Version) << "\n"
            << "date: " << PrintableFileText(file.Date) << "\n"
            << "expected checksum: " << Hex32(file.ExpectedChecksum) << "\n"
            << "computed checksum: " << Hex32(file.FileChecksum) << "\n"
            << "checksum ok: "
            << (!file.Completed     ? "not compared"
                : file.ChecksumOk() ? "yes"
                                    : "no")
            << "\n"
            << "image end: " << Hex32(file.ImageEnd) << "\n"
            << "program length: " << file.ProgramLength() << "\n"
            << "total blocks: " << file.TotalBlocks() << "\n"
            << "verdict: " << FirmwareVerdictName(file.Verdict) << "\n"
            << "reason: " << PrintableFileText(file.Reason) << "\n";
}

std::string ReadHexFile(const InputFile& in) {
  if (in.Size() > MaxHexFileSize) {
    throw Exception(QuotedPath(in.Path()) + " is too large to be a firmware HEX file");
  }
  // One byte more than allowed tells a file that grew while it was read.
  std::string text(static_cast<std::size_t>(in.Size()) + 1, '\0');
  std::size_t got = in.ReadSome(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
  if (got == text.size()) {
    std::uint8_t more[64 * 1024];
    for (std::size_t n; (n = in.ReadSome(more, sizeof more)) > 0;) {
      got += n;
      if (got > MaxHexFileSize) throw Exception(QuotedPath(in.Path()) + " is too large to be a firmware HEX file");
      text.append(reinterpret_cast<const char*>(more), n);
    }
  }
  text.resize(got);
  return text;
}

int Info(const Arguments& a) {
  const FirmwareFile file = LoadFirmwareImage(a.file);
  PrintInfo(a.file, file);
  return file.FitToFlash() ? 0 : 1;
}

int Dump(const Arguments& a) {
  const InputFile in(a.file);
  in.CheckOutput(a.output);
  FirmwareLoader loader;
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (std::size_t n; (n = in.ReadSome(buffer.data(), buffer.size())) > 0;) {
    if (!loader.Feed({buffer.data(), n})) break;
  }
  const FirmwareFile file = loader.Finish();
  WriteFileAtomically(a.output, file.FirmwareImage);
  if (!file.FitToFlash()) {
    std::cerr << "kq30 firmware: the image was written, but it is not fit to flash: "
              << PrintableFileText(file.Reason) << "\n";
    return 1;
  }
  return 0;
}

int Pack(const Arguments& a) {
  const InputFile in(a.file);
  in.CheckOutput(a.output);
  const auto records = ReadIntelHex(ReadHexFile(in));
  std::vector<HexAddressRange> skipped;
  const auto file = PackFirmwareFile(records, a.version, a.date, &skipped);
  WriteFileAtomically(a.output, file);
  if (a.version.size() > VersionNoticeLength) {
    std::cerr << "kq30 firmware: warning: the version text is " << a.version.size()
              << " characters long; the unit is told only its first " << VersionNoticeLength
              << " at the end of an upgrade\n";
  }
  if (!skipped.empty()) {
    std::cerr << "kq30 firmware: note: data outside the program flash (boot flash, configuration words) "
                 "is not carried by a firmware file and was left out: "
              << DescribeRanges(skipped) << "\n";
  }
  return 0;
}

// The version text must fit the sentence that tells the unit its new version.
CLI::Validator VersionText() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const std::string problem = VersionTextProblem(text);
        return problem.empty() ? "" : "the version text " + problem;
      },
      "");
}

// info, dump and pack, each with its own arguments.
Command::Run AddFirmware(CLI::App& app) {
  auto a = std::make_shared<Arguments>();
  app.require_subcommand(1);
  CLI::App* info = app.add_subcommand("info",
                                      "version, date, checksums, image end, program length, blocks and the "
                                      "verdict; exit 1 when not fit to flash");
  info->add_option("FILE", a->file, "the firmware file")->required();
  CLI::App* dump = app.add_subcommand("dump", "write the 1,024,000-byte flash image the file loads to");
  dump->add_option("FILE", a->file, "the firmware file")->required();
  dump->add_option("-o,--output", a->output, "the image file to write")->type_name("IMAGE")->required();
  CLI::App* pack = app.add_subcommand("pack", "make a firmware file from Intel HEX");
  pack->add_option("HEX", a->file, "the Intel HEX file")->required();
  pack->add_option("-o,--output", a->output, "the firmware file to write")->type_name("FILE")->required();
  pack->add_option("--version", a->version, "the version text of its header")
      ->type_name("V")
      ->required()
      ->check(VersionText());
  pack->add_option("--date", a->date, "the date text of its header")->type_name("D")->required();
  return [a, info, dump] { return info->parsed() ? Info(*a) : dump->parsed() ? Dump(*a) : Pack(*a); };
}

Command firmware("firmware",
                 "shows a firmware file and whether it is fit to flash, writes its flash image, "
                 "or packs Intel HEX into a firmware file",
                 AddFirmware);

}  // namespace
