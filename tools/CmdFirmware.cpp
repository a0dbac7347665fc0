// kq30 firmware: inspects, dumps and packs firmware files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Command.h"
#include "common/Exception.h"
#include "device/FirmwareImage.h"
#include "device/FirmwarePacker.h"
#include "device/IntelHex.h"

namespace {

extern Command firmware;

// A HEX file larger than this is not a firmware for the unit's 1 MB flash.
constexpr std::uintmax_t MaxHexFileSize = 64 * 1024 * 1024;

struct Arguments {
  std::vector<std::string> positional;
  std::string output, version, date;
  bool hasOutput = false, hasVersion = false, hasDate = false;
};

// Parses -o/--output, --version and --date (as "--x V" or "--x=V"); returns
// an empty text or the problem.
std::string ParseArguments(const std::vector<std::string>& args, Arguments& out) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      inlineValue = true;
    }
    std::string* target = nullptr;
    bool* seen = nullptr;
    if (arg == "-o" || arg == "--output") {
      target = &out.output;
      seen = &out.hasOutput;
    } else if (arg == "--version") {
      target = &out.version;
      seen = &out.hasVersion;
    } else if (arg == "--date") {
      target = &out.date;
      seen = &out.hasDate;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option '" + arg + "'";
    } else {
      out.positional.push_back(arg);
      continue;
    }
    if (*seen) return "option '" + arg + "' given twice";
    if (!inlineValue) {
      if (i + 1 >= args.size()) return "option '" + arg + "' needs a value";
      value = args[++i];
    }
    *target = value;
    *seen = true;
  }
  return "";
}

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
            << "checksum ok: " << (!file.Completed ? "not compared" : file.ChecksumOk() ? "yes" : "no") << "\n"
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
  if (a.positional.size() != 1 || a.hasOutput || a.hasVersion || a.hasDate) {
    return UsageError(firmware, "info takes one FILE and no options");
  }
  const FirmwareFile file = LoadFirmwareImage(a.positional[0]);
  PrintInfo(a.positional[0], file);
  return file.FitToFlash() ? 0 : 1;
}

int Dump(const Arguments& a) {
  if (a.positional.size() != 1 || !a.hasOutput || a.hasVersion || a.hasDate) {
    return UsageError(firmware, "dump takes one FILE and -o IMAGE");
  }
  const FirmwareFile file = LoadFirmwareImage(a.positional[0]);
  if (!file.Opened) {
    std::cerr << "kq30 firmware: " << Printable(file.Reason) << "\n";
    return 1;
  }
  WriteFileAtomically(a.output, file.FirmwareImage);
  if (!file.FitToFlash()) {
    std::cerr << "kq30 firmware: the image was written, but it is not fit to flash: " << Printable(file.Reason)
              << "\n";
    return 1;
  }
  return 0;
}

int Pack(const Arguments& a) {
  if (a.positional.size() != 1 || !a.hasOutput || !a.hasVersion || !a.hasDate) {
    return UsageError(firmware, "pack takes one HEX file, -o FILE, --version V and --date D");
  }
  const auto records = ReadIntelHex(ReadHexFile(a.positional[0]));
  WriteFileAtomically(a.output, PackFirmwareFile(records, a.version, a.date));
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError(firmware, "missing what to do: info, dump or pack");
  Arguments a;
  if (const std::string problem = ParseArguments(args, a); !problem.empty()) return UsageError(firmware, problem);
  if (args[0] == "info") return Info(a);
  if (args[0] == "dump") return Dump(a);
  if (args[0] == "pack") return Pack(a);
  return UsageError(firmware, "unknown firmware command '" + args[0] + "'");
}

Command firmware("firmware",
                 "firmware info FILE | firmware dump FILE -o IMAGE | "
                 "firmware pack HEX -o FILE --version V --date D",
                 "shows a firmware file and whether it is fit to flash, writes its flash image, "
                 "or packs Intel HEX into a firmware file",
                 Run);

}  // namespace
