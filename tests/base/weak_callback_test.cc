// Weak callbacks do nothing once their object is gone or their flag has been
// cancelled, and never come back to life.
#include "base/weak_callback.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "base/support_weak_callback.h"
#include "base/task.h"
#include "base/weak_callback_flag.h"

namespace qbase {
namespace {

class Target : public SupportWeakCallback {
 public:
  explicit Target(int* calls) : calls_(calls) {}
  bool Handle(int value) {
    *calls_ += value;
    return true;
  }
  int Answer() { return 42; }

 private:
  int* calls_;
};

TEST(WeakCallbackTest, CallbackOfADestroyedObjectDoesNothingAndReturnsTheDefault) {
  int calls = 0;
  auto target = std::make_unique<Target>(&calls);
  Target* raw = target.get();
  auto handler = target->MakeWeakCallback([raw](int value) { return raw->Handle(value); });
  auto answer = target->MakeWeakCallback([raw] { return raw->Answer(); });
  // Copies, and conversions to the types callers store, share the flag.
  std::function<bool(int)> stored = handler;
  Task task = target->MakeWeakCallback([raw] { raw->Handle(100); });

  EXPECT_TRUE(handler(1));
  EXPECT_TRUE(stored(2));
  EXPECT_EQ(42, answer());
  task();
  EXPECT_EQ(103, calls);
  EXPECT_FALSE(handler.Expired());

  target.reset();
  EXPECT_TRUE(handler.Expired());
  EXPECT_FALSE(handler(1));
  EXPECT_FALSE(stored(1));
  EXPECT_EQ(0, answer());
  task();
  EXPECT_EQ(103, calls);
}

TEST(WeakCallbackTest, CancelKillsEarlierCallbacksAndLaterOnesAreLive) {
  int calls = 0;
  WeakCallbackFlag flag;
  EXPECT_FALSE(flag.IsArmed());
  auto before = flag.MakeWeakCallback([&calls] { return ++calls; });
  EXPECT_TRUE(flag.IsArmed());
  EXPECT_EQ(1, before());

  flag.Cancel();
  EXPECT_FALSE(flag.IsArmed());
  EXPECT_EQ(0, before());

  auto after = flag.MakeWeakCallback([&calls] { return ++calls; });
  EXPECT_TRUE(flag.IsArmed());
  EXPECT_EQ(2, after());
  // Re-arming does not revive what the cancel killed.
  EXPECT_EQ(0, before());
  EXPECT_TRUE(before.Expired());
}

TEST(WeakCallbackTest, CopyOfAnObjectHasItsOwnFlag) {
  int calls = 0;
  auto original = std::make_unique<Target>(&calls);
  auto callback = original->MakeWeakCallback([&calls] { ++calls; });
  {
    Target copy(*original);
    copy.MakeWeakCallback([] {})();
  }
  callback();
  EXPECT_EQ(1, calls) << "destroying a copy must not expire the original's callbacks";

  auto copy = std::make_unique<Target>(*original);
  auto copy_callback = copy->MakeWeakCallback([&calls] { ++calls; });
  original.reset();
  callback();
  copy_callback();
  EXPECT_EQ(2, calls) << "destroying the original must not expire the copy's callbacks";
}

TEST(WeakCallbackTest, CallbackMayDestroyItsOwnObject) {
  int calls = 0;
  auto* target = new Target(&calls);
  auto callback = target->MakeWeakCallback([target] {
    delete target;
    return true;
  });
  EXPECT_TRUE(callback());
  EXPECT_TRUE(callback.Expired());
  EXPECT_FALSE(callback());
}

TEST(TaskTest, EmptyTaskDoesNothingWhenRun) {
  Task empty;
  EXPECT_FALSE(static_cast<bool>(empty));
  empty();
  Task from_empty_function = std::function<void()>();
  from_empty_function();
  int runs = 0;
  Task counting = [&runs] { ++runs; };
  Task copy = counting;
  copy();
  counting();
  EXPECT_EQ(2, runs);
}

}  // namespace
}  // namespace qbase
