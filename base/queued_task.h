// QueuedTask: one posted task as the message loop keeps it.
#pragma once

#include <cstdint>
#include <utility>

#include "base/task.h"
#include "base/tick_time.h"

namespace qbase {

struct QueuedTask {
  QueuedTask() = default;
  QueuedTask(Task task_in, TickTime run_time_in, bool nestable_in)
      : run_time(run_time_in), nestable(nestable_in), task(std::move(task_in)) {}

  // Null for an immediate task, else the moment it becomes due.
  TickTime run_time;
  // 0 when posted; set from the loop's counter when the task enters the
  // delayed queue, so equal run times leave in the order they entered.
  int32_t sequence = 0;
  // False for tasks that may only run in the outermost run of the loop.
  bool nestable = true;
  Task task;

  // "Runs after": the ordering of the delayed queue's heap, whose top is the
  // task due first.
  bool operator<(const QueuedTask& other) const {
    if (run_time != other.run_time) return run_time > other.run_time;
    return sequence > other.sequence;
  }
};

}  // namespace qbase
