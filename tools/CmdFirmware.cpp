// kq30 firmware: inspects, dumps and packs firmware files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
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

std::string Quoted(const std::string& path) { return "\"" + Printable(path) + "\""; }

std::string SystemError(const std::string& what, const std::string& path, int error) {
  return what + " " + Quoted(path) + ": " + std::strerror(error);
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// A descriptor that closes itself.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// An input file, open for reading. Only a regular file is opened: a device
// could be a serial port that opening alone disturbs, a pipe or a device
// never ends, and a folder has no bytes.
struct InputFile {
  std::string path;
  Descriptor fd;
  struct stat status {};
};

[[noreturn]] void RefuseKind(const std::string& path, mode_t mode) {
  throw Exception(Quoted(path) + " is " + KindOf(mode) + ", not a regular file");
}

InputFile OpenInput(const std::string& path) {
  InputFile in{path, Descriptor(), {}};
  if (::stat(path.c_str(), &in.status) != 0) throw Exception(SystemError("cannot read", path, errno));
  if (!S_ISREG(in.status.st_mode)) RefuseKind(path, in.status.st_mode);
  in.fd = Descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.fd.Get() < 0) throw Exception(SystemError("cannot read", path, errno));
  // What was opened is what is read, even if the name changed hands meanwhile.
  if (::fstat(in.fd.Get(), &in.status) != 0) throw Exception(SystemError("cannot read", path, errno));
  if (!S_ISREG(in.status.st_mode)) RefuseKind(path, in.status.st_mode);
  return in;
}

// Reads up to size bytes; fewer only at the end of the file.
std::size_t ReadSome(const InputFile& in, std::uint8_t* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(in.fd.Get(), buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Exception(SystemError("cannot read", in.path, errno));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

// The output replaces a regular file or is made new; it never replaces the
// input it is made from (by any of its names), nor a folder or a device.
void CheckOutput(const std::string& path, const InputFile& in) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return;  // made new; a missing folder is reported when writing
    throw Exception(SystemError("cannot write", path, errno));
  }
  if (status.st_dev == in.status.st_dev && status.st_ino == in.status.st_ino) {
    throw Exception("the output " + Quoted(path) + " is the input file " + Quoted(in.path) +
                    "; writing it would destroy the input");
  }
  if (!S_ISREG(status.st_mode)) {
    throw Exception("the output " + Quoted(path) + " is " + KindOf(status.st_mode) + ", not a regular file");
  }
}

// Writes a new sibling file and renames it over the target, so that a
// failure never leaves half a file where a good one stood. The sibling is
// made afresh, never an existing file (the input itself, perhaps) reused.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temporary;
  Descriptor out;
  for (int attempt = 0; out.Get() < 0; ++attempt) {
    temporary =
        path + ".partial-" + std::to_string(::getpid()) + (attempt ? "-" + std::to_string(attempt) : "");
    out = Descriptor(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (out.Get() < 0 && (errno != EEXIST || attempt == 100)) {
      throw Exception(SystemError("cannot create", temporary, errno));
    }
  }
  const auto fail = [&](const char* what, int error) {
    ::unlink(temporary.c_str());
    throw Exception(SystemError(what, temporary, error));
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(out.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("cannot write", errno);
    done += static_cast<std::size_t>(n);
  }
  if (::close(out.Release()) != 0) fail("cannot write", errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw Exception(SystemError("cannot write", path, error));
  }
}

std::string ReadHexFile(const InputFile& in) {
  if (static_cast<std::uintmax_t>(in.status.st_size) > MaxHexFileSize) {
    throw Exception(Quoted(in.path) + " is too large to be a firmware HEX file");
  }
  // One byte more than allowed tells a file that grew while it was read.
  std::string text(static_cast<std::size_t>(in.status.st_size) + 1, '\0');
  std::size_t got = ReadSome(in, reinterpret_cast<std::uint8_t*>(text.data()), text.size());
  if (got == text.size()) {
    std::uint8_t more[64 * 1024];
    for (std::size_t n; (n = ReadSome(in, more, sizeof more)) > 0;) {
      got += n;
      if (got > MaxHexFileSize) throw Exception(Quoted(in.path) + " is too large to be a firmware HEX file");
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
  const InputFile in = OpenInput(a.file);
  CheckOutput(a.output, in);
  FirmwareLoader loader;
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (std::size_t n; (n = ReadSome(in, buffer.data(), buffer.size())) > 0;) {
    if (!loader.Feed({buffer.data(), n})) break;
  }
  const FirmwareFile file = loader.Finish();
  WriteFileAtomically(a.output, file.FirmwareImage);
  if (!file.FitToFlash()) {
    std::cerr << "kq30 firmware: the image was written, but it is not fit to flash: "
              << Printable(file.Reason) << "\n";
    return 1;
  }
  return 0;
}

int Pack(const Arguments& a) {
  const InputFile in = OpenInput(a.file);
  CheckOutput(a.output, in);
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
