// The tool's console on Windows: UTF-8 while the tool runs, its own code
// page again afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include "Console.h"

namespace {

TEST(Utf8Console, TheConsoleShowsUtf8WhileTheToolRunsAndGetsItsCodePageBack) {
  // A console of the test's own: one whose output goes into a pipe has none
  // that takes a code page.
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
  ASSERT_TRUE(SetConsoleOutputCP(437));  // the OEM code page of an English Windows
  {
    const Utf8Console console;
    EXPECT_EQ(GetConsoleOutputCP(), UINT(CP_UTF8));
  }
  EXPECT_EQ(GetConsoleOutputCP(), 437u);
}

}  // namespace
