#pragma once
// The log of received lines shown on the engineering page. It keeps the
// newest lines only, so a long session's log can't grow without limit.
#include <cstddef>
#include <deque>
#include <string>

class LineLog {
 public:
  static constexpr size_t MaxLines = 5000;

  void Add(std::string line) {
    lines_.push_back(std::move(line));
    if (lines_.size() > MaxLines) lines_.pop_front();
    ++added_;
  }
  const std::deque<std::string>& Lines() const { return lines_; }
  // Lines added since the start, so a view can tell what is new.
  size_t Added() const { return added_; }

 private:
  std::deque<std::string> lines_;
  size_t added_ = 0;
};
