#include "sys/event.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(EventTest, WaitTimesOutWhenNobodySignals) {
  Event event;
  ASSERT_NE(event.handle(), nullptr);
  const auto start = steady_clock::now();
  EXPECT_EQ(WaitForEvent(event.handle(), 100), EventWaitResult::kTimedOut);
  EXPECT_GE(steady_clock::now() - start, milliseconds(90));
}

TEST(EventTest, StaysSignalledForEveryLaterWait) {
  Event event;
  ASSERT_TRUE(SignalEvent(event.handle()));
  ASSERT_TRUE(SignalEvent(event.handle()));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(WaitForEvent(event.handle(), 5000), EventWaitResult::kSignalled);
  }
  EXPECT_EQ(WaitForEvent(event.handle(), 0), EventWaitResult::kSignalled);
}

// The signal is what ends the wait: its time-out is an hour, so a waiter that is not woken
// shows as a test that never ends, not as one that passes slowly. The signaller's pause only
// makes it likely that the waiter is already waiting; the outcome does not depend on it.
TEST(EventTest, WakesAWaiterOnAnotherThread) {
  Event event;
  std::thread signaller([&] {
    std::this_thread::sleep_for(milliseconds(50));
    SignalEvent(event.handle());
  });
  EXPECT_EQ(WaitForEvent(event.handle(), 3600 * 1000), EventWaitResult::kSignalled);
  signaller.join();
}

TEST(EventTest, NullHandleFailsBothWays) {
  EXPECT_FALSE(SignalEvent(nullptr));
  EXPECT_EQ(WaitForEvent(nullptr, 0), EventWaitResult::kFailed);
  EXPECT_FALSE(SignalEventOnStopRequest(nullptr));
}

TEST(EventTest, HookRunsBeforeSignallingAndCanRefuse) {
  int calls = 0;
  bool allow = false;
  Event event([&] {
    ++calls;
    return allow;
  });
  EXPECT_FALSE(SignalEvent(event.handle()));
  EXPECT_EQ(WaitForEvent(event.handle(), 0), EventWaitResult::kTimedOut);
  allow = true;
  EXPECT_TRUE(SignalEvent(event.handle()));
  EXPECT_EQ(WaitForEvent(event.handle(), 0), EventWaitResult::kSignalled);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace zelsnmp
