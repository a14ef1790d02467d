// ThreadPriority: the priority level a Thread applies with SetThreadPriority
// right after it is created. Level 0 (and anything below) leaves the system's
// default; levels from 5 up are treated like level 2.
#pragma once

#include <cstdint>

namespace qbase {

using ThreadPriority = int32_t;

constexpr ThreadPriority kThreadPriorityDefault = 0;       // no call
constexpr ThreadPriority kThreadPriorityLowest = 1;        // THREAD_PRIORITY_LOWEST
constexpr ThreadPriority kThreadPriorityBelowNormal = 2;   // THREAD_PRIORITY_BELOW_NORMAL
constexpr ThreadPriority kThreadPriorityHighest = 3;       // THREAD_PRIORITY_HIGHEST
constexpr ThreadPriority kThreadPriorityTimeCritical = 4;  // THREAD_PRIORITY_TIME_CRITICAL

}  // namespace qbase
