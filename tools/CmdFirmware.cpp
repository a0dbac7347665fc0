// kq30 firmware: inspects, dumps and packs firmware files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Command.h"
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

// Control characters in the header's texts are shown escaped, never sent to
// the terminal as they are.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

void PrintInfo(const std::string& path, const FirmwareFile& file) {
  std::cout << "file: " << Printable(path) << "\n"
            << "version: " << Printable(file.Version) << "\n"
            << "date: " << Printable(file.Date) << "\n"
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
            << "reason: " << Printable(file.Reason) << "\n";
}

// Writes a sibling file and renames it over the target, so that a failure
// never leaves half a file where a good one stood.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = path + ".partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw Exception("cannot create \"" + temporary + "\"");
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw Exception("cannot write \"" + temporary + "\"");
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw Exception("cannot write \"" + path + "\": " + error.message());
  }
}

std::string ReadHexFile(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) throw Exception("cannot read \"" + path + "\": " + error.message());
  if (size > MaxHexFileSize) throw Exception("\"" + path + "\" is too large to be a firmware HEX file");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw Exception("cannot read \"" + path + "\"");
  return text.str();
}

int Info(const Arguments& a) {
  const FirmwareFile file = LoadFirmwareImage(a.file);
  PrintInfo(a.file, file);
  return file.FitToFlash() ? 0 : 1;
}

int Dump(const Arguments& a) {
  const FirmwareFile file = LoadFirmwareImage(a.file);
  if (!file.Opened) {
    std::cerr << "kq30 firmware: " << Printable(file.Reason) << "\n";
    return 1;
  }
  WriteFileAtomically(a.output, file.FirmwareImage);
  if (!file.FitToFlash()) {
    std::cerr << "kq30 firmware: the image was written, but it is not fit to flash: "
              << Printable(file.Reason) << "\n";
    return 1;
  }
  return 0;
}

int Pack(const Arguments& a) {
  const auto records = ReadIntelHex(ReadHexFile(a.file));
  WriteFileAtomically(a.output, PackFirmwareFile(records, a.version, a.date));
  return 0;
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
  pack->add_option("--version", a->version, "the version text of its header")->type_name("V")->required();
  pack->add_option("--date", a->date, "the date text of its header")->type_name("D")->required();
  return [a, info, dump] { return info->parsed() ? Info(*a) : dump->parsed() ? Dump(*a) : Pack(*a); };
}

Command firmware("firmware",
                 "shows a firmware file and whether it is fit to flash, writes its flash image, "
                 "or packs Intel HEX into a firmware file",
                 AddFirmware);

}  // namespace
