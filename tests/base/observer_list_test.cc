// Observers that change the list while they are being notified.
#include "base/observer_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qbase {
namespace {

class Observer {
 public:
  Observer(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  void OnEvent() {
    log_->push_back(name_);
    if (on_event) on_event();
  }
  std::function<void()> on_event;

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class InspectableList : public ObserverList<Observer> {
 public:
  size_t slots() const { return observers_.size(); }
};

TEST(ObserverListTest, RemovalDuringNotificationSkipsAndCompactsAfterwards) {
  std::vector<std::string> log;
  Observer a("a", &log), b("b", &log), c("c", &log), d("d", &log);
  InspectableList list;
  list.AddObserver(&a);
  list.AddObserver(&b);
  list.AddObserver(&c);
  size_t slots_during = 0;
  a.on_event = [&] {
    list.RemoveObserver(&b);
    list.AddObserver(&d);
    slots_during = list.slots();
  };
  list.Notify([](Observer* o) { o->OnEvent(); });

  // b is skipped; d, added during the walk, is notified in the same walk.
  EXPECT_EQ((std::vector<std::string>{"a", "c", "d"}), log);
  EXPECT_EQ(4u, slots_during) << "removal during notification leaves a null entry";
  EXPECT_EQ(3u, list.slots()) << "compacted once the notification ended";
  EXPECT_FALSE(list.HasObserver(&b));
  EXPECT_TRUE(list.HasObserver(&d));
}

TEST(ObserverListTest, NestedNotificationCompactsOnlyWhenTheOutermostEnds) {
  std::vector<std::string> log;
  Observer a("a", &log), b("b", &log);
  InspectableList list;
  list.AddObserver(&a);
  list.AddObserver(&b);
  bool nested = false;
  size_t slots_after_inner = 0;
  a.on_event = [&] {
    if (nested) return;
    nested = true;
    list.RemoveObserver(&b);
    list.Notify([](Observer* o) { o->OnEvent(); });
    slots_after_inner = list.slots();
  };
  list.Notify([](Observer* o) { o->OnEvent(); });
  EXPECT_EQ((std::vector<std::string>{"a", "a"}), log);
  EXPECT_EQ(2u, slots_after_inner);
  EXPECT_EQ(1u, list.slots());
}

}  // namespace
}  // namespace qbase
