// The firmware command's files through POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "FileAccess.h"
#include "common/Exception.h"

namespace {

std::string SystemError(const std::string& what, const std::string& path, int error) {
  return what + " " + QuotedPath(path) + ": " + std::strerror(error);
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

[[noreturn]] void RefuseKind(const std::string& path, mode_t mode) {
  throw Exception(QuotedPath(path) + " is " + KindOf(mode) + ", not a regular file");
}

}  // namespace

struct InputFile::Handle {
  int fd = -1;
  struct stat status {};
  ~Handle() {
    if (fd >= 0) ::close(fd);
  }
};

InputFile::InputFile(std::string path) : path_(std::move(path)), handle_(std::make_unique<Handle>()) {
  struct stat& status = handle_->status;
  if (::stat(path_.c_str(), &status) != 0) throw Exception(SystemError("cannot read", path_, errno));
  if (!S_ISREG(status.st_mode)) RefuseKind(path_, status.st_mode);
  handle_->fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (handle_->fd < 0) throw Exception(SystemError("cannot read", path_, errno));
  // What was opened is what is read, even if the name changed hands meanwhile.
  if (::fstat(handle_->fd, &status) != 0) throw Exception(SystemError("cannot read", path_, errno));
  if (!S_ISREG(status.st_mode)) RefuseKind(path_, status.st_mode);
  size_ = static_cast<std::uint64_t>(status.st_size);
}

InputFile::~InputFile() = default;

std::size_t InputFile::ReadSome(std::uint8_t* buffer, std::size_t size) const {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(handle_->fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Exception(SystemError("cannot read", path_, errno));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void InputFile::CheckOutput(const std::string& path) const {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return;  // made new; a missing folder is reported when writing
    throw Exception(SystemError("cannot write", path, errno));
  }
  if (status.st_dev == handle_->status.st_dev && status.st_ino == handle_->status.st_ino) {
    throw Exception("the output " + QuotedPath(path) + " is the input file " + QuotedPath(path_) +
                    "; writing it would destroy the input");
  }
  if (!S_ISREG(status.st_mode)) {
    throw Exception("the output " + QuotedPath(path) + " is " + KindOf(status.st_mode) + ", not a regular file");
  }
}

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temporary;
  int out = -1;
  for (int attempt = 0; out < 0; ++attempt) {
    temporary = path + ".partial-" + std::to_string(::getpid());
    if (attempt) temporary += '-' + std::to_string(attempt);
    out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0 && (errno != EEXIST || attempt == 100)) {
      throw Exception(SystemError("cannot create", temporary, errno));
    }
  }
  const auto fail = [&](const char* what, int error) {
    if (out >= 0) ::close(out);
    ::unlink(temporary.c_str());
    throw Exception(SystemError(what, temporary, error));
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(out, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("cannot write", errno);
    done += static_cast<std::size_t>(n);
  }
  const int closed = ::close(std::exchange(out, -1));
  if (closed != 0) fail("cannot write", errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw Exception(SystemError("cannot write", path, error));
  }
}
