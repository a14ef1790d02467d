// ObserverList: the observers of one kind of notification, safe against
// observers that add or remove observers while being notified.
//
// During a notification the list is walked by index with its size re-read at
// every step, so observers added meanwhile are notified in the same walk, and a
// removed observer leaves a null entry that is skipped. Null entries are
// compacted away once the outermost notification has finished.
//
// Thread affinity: one thread (the owner's).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qbase {

template <typename T>
class ObserverList {
 public:
  ObserverList() = default;
  virtual ~ObserverList() = default;
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;

  void AddObserver(T* observer) {
    if (observer && !HasObserver(observer)) observers_.push_back(observer);
  }

  void RemoveObserver(T* observer) {
    auto it = std::find(observers_.begin(), observers_.end(), observer);
    if (it == observers_.end() || observer == nullptr) return;
    if (notify_depth_ > 0) {
      *it = nullptr;
    } else {
      observers_.erase(it);
    }
  }

  bool HasObserver(const T* observer) const {
    return observer &&
           std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
  }

  // Calls `notify(observer)` for every live observer, in order of addition.
  template <typename Fn>
  void Notify(Fn&& notify) {
    ++notify_depth_;
    for (size_t i = 0; i < observers_.size(); ++i) {
      T* observer = observers_[i];
      if (observer) notify(observer);
    }
    --notify_depth_;
    if (notify_depth_ < 1) Compact();
  }

  // Removes the null entries left by removals during a notification.
  virtual void Compact() {
    if (notify_depth_ > 0) return;
    observers_.erase(std::remove(observers_.begin(), observers_.end(), nullptr),
                     observers_.end());
  }

 protected:
  int32_t notify_depth_ = 0;
  std::vector<T*> observers_;
};

}  // namespace qbase
