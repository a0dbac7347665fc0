#pragma once
// The firmware command's files: inputs that are regular files only (a device
// could be a serial port that opening alone disturbs, a pipe never ends, a
// folder has no bytes), and outputs replaced whole, never the input itself.
// posix/ and win32/ implement it with their system's calls.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A file's name or header text made safe for a terminal: control characters
// as \xHH, every other byte as it is (names beyond ASCII stay readable).
std::string PrintableFileText(const std::string& text);

// A path in double quotes, printable.
std::string QuotedPath(const std::string& path);

class InputFile {
 public:
  // Opens a regular file for reading; throws Exception saying why not.
  explicit InputFile(std::string path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& Path() const { return path_; }
  std::uint64_t Size() const { return size_; }

  // Reads up to size bytes; fewer only at the end of the file. Throws on a
  // read error.
  std::size_t ReadSome(std::uint8_t* buffer, std::size_t size) const;

  // Throws unless path may be written: a regular file other than this one
  // (by any of its names), or a file to be made new.
  void CheckOutput(const std::string& path) const;

 private:
  struct Handle;
  std::string path_;
  std::uint64_t size_ = 0;
  std::unique_ptr<Handle> handle_;
};

// Writes a new sibling file and renames it over the target, so that a
// failure never leaves half a file where a good one stood. The sibling is
// made afresh, never an existing file (the input itself, perhaps) reused.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);
