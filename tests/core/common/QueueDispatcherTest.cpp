#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;

TEST(QueueDispatcher, RunsWhatWasQueuedInOrderAndLeavesWhatThatPosts) {
  QueueDispatcher dispatcher;
  std::vector<int> ran;
  dispatcher.Post([&] {
    ran.push_back(1);
    dispatcher.Post([&] { ran.push_back(3); });
  });
  dispatcher.Post([&] { ran.push_back(2); });
  dispatcher.Post(nullptr);  // nothing to run, nothing queued
  EXPECT_EQ(dispatcher.RunPending(), 2u);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_EQ(dispatcher.Queued(), 1u);
  EXPECT_EQ(dispatcher.RunPending(), 1u);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(dispatcher.RunPending(), 0u);
}

TEST(QueueDispatcher, ExceptionLeavesTheRestQueued) {
  QueueDispatcher dispatcher;
  int ran = 0;
  dispatcher.Post([] { throw std::runtime_error("handler"); });
  dispatcher.Post([&] { ++ran; });
  EXPECT_THROW(dispatcher.RunPending(), std::runtime_error);
  EXPECT_EQ(dispatcher.Queued(), 1u);
  dispatcher.RunPending();
  EXPECT_EQ(ran, 1);
}

TEST(QueueDispatcher, RunsWorkPostedFromOtherThreadsAsItComes) {
  QueueDispatcher dispatcher;
  std::atomic<int> posted{0};
  int ran = 0;
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t)
    posters.emplace_back([&] {
      for (int i = 0; i < 250; ++i) {
        dispatcher.Post([&] { ++ran; });
        ++posted;
      }
    });
  EXPECT_TRUE(dispatcher.RunUntil([&] { return ran == 1000; }, 10s));
  for (auto& t : posters) t.join();
  EXPECT_EQ(posted, 1000);
  EXPECT_EQ(dispatcher.Queued(), 0u);
}

TEST(QueueDispatcher, WaitsNoLongerThanAsked) {
  QueueDispatcher dispatcher;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(dispatcher.RunUntil([] { return false; }, 30ms));
  EXPECT_EQ(dispatcher.RunFor(30ms), 0u);
  auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_GE(spent, 60ms);
  EXPECT_LT(spent, 2s);
  std::thread late([&] {
    std::this_thread::sleep_for(20ms);
    dispatcher.Post([] {});
  });
  EXPECT_EQ(dispatcher.RunFor(300ms), 1u);
  late.join();
}
