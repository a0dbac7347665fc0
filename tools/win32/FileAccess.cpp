// The firmware command's files through Windows calls.
#include <windows.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "FileAccess.h"
#include "common/Exception.h"

namespace {

std::string SystemError(const std::string& what, const std::string& path, DWORD error) {
  return what + " " + QuotedPath(path) + ": " + std::system_category().message(static_cast<int>(error));
}

// What a handle that is not a regular file is.
const char* KindOf(HANDLE file, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder";
  switch (GetFileType(file)) {
    case FILE_TYPE_CHAR: return "a character device";
    case FILE_TYPE_PIPE: return "a pipe";
    default: return "not a regular file";
  }
}

bool IsRegular(HANDLE file, DWORD attributes) {
  return !(attributes & FILE_ATTRIBUTE_DIRECTORY) && GetFileType(file) == FILE_TYPE_DISK;
}

}  // namespace

struct InputFile::Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION info{};
  ~Handle() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

InputFile::InputFile(std::string path) : path_(std::move(path)), handle_(std::make_unique<Handle>()) {
  // Opening a COM port or a pipe by name would already disturb it: what is
  // not a file on disk is refused by its attributes first.
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw Exception(SystemError("cannot read", path_, GetLastError()));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    throw Exception(QuotedPath(path_) + " is a folder, not a regular file");
  handle_->file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_->file == INVALID_HANDLE_VALUE) throw Exception(SystemError("cannot read", path_, GetLastError()));
  if (!GetFileInformationByHandle(handle_->file, &handle_->info))
    throw Exception(SystemError("cannot read", path_, GetLastError()));
  if (!IsRegular(handle_->file, handle_->info.dwFileAttributes))
    throw Exception(QuotedPath(path_) + " is " + KindOf(handle_->file, handle_->info.dwFileAttributes) +
                    ", not a regular file");
  size_ = (static_cast<std::uint64_t>(handle_->info.nFileSizeHigh) << 32) | handle_->info.nFileSizeLow;
}

InputFile::~InputFile() = default;

std::size_t InputFile::ReadSome(std::uint8_t* buffer, std::size_t size) const {
  std::size_t got = 0;
  while (got < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(handle_->file, buffer + got, chunk, &n, nullptr))
      throw Exception(SystemError("cannot read", path_, GetLastError()));
    if (n == 0) break;
    got += n;
  }
  return got;
}

void InputFile::CheckOutput(const std::string& path) const {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return;  // made new; a missing folder is reported when writing
    throw Exception(SystemError("cannot write", path, error));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    throw Exception("the output " + QuotedPath(path) + " is a folder, not a regular file");
  // Opened without access, only to learn which file it is.
  HANDLE other = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (other == INVALID_HANDLE_VALUE) throw Exception(SystemError("cannot write", path, GetLastError()));
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(other, &info);
  const bool regular = IsRegular(other, attributes);
  const char* kind = KindOf(other, attributes);
  CloseHandle(other);
  if (known && info.dwVolumeSerialNumber == handle_->info.dwVolumeSerialNumber &&
      info.nFileIndexHigh == handle_->info.nFileIndexHigh && info.nFileIndexLow == handle_->info.nFileIndexLow) {
    throw Exception("the output " + QuotedPath(path) + " is the input file " + QuotedPath(path_) +
                    "; writing it would destroy the input");
  }
  if (!regular) throw Exception("the output " + QuotedPath(path) + " is " + kind + ", not a regular file");
}

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temporary;
  HANDLE out = INVALID_HANDLE_VALUE;
  for (int attempt = 0; out == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = path + ".partial-" + std::to_string(GetCurrentProcessId());
    if (attempt) temporary += '-' + std::to_string(attempt);
    out = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (out == INVALID_HANDLE_VALUE && (error != ERROR_FILE_EXISTS || attempt == 100))
      throw Exception(SystemError("cannot create", temporary, error));
  }
  const auto fail = [&](const char* what, DWORD error) {
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    DeleteFileA(temporary.c_str());
    throw Exception(SystemError(what, temporary, error));
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(out, bytes.data() + done, chunk, &n, nullptr)) fail("cannot write", GetLastError());
    done += n;
  }
  if (!FlushFileBuffers(out)) fail("cannot write", GetLastError());
  CloseHandle(std::exchange(out, INVALID_HANDLE_VALUE));
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileA(temporary.c_str());
    throw Exception(SystemError("cannot write", path, error));
  }
}
