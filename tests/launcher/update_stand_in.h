#pragma once
// TEMPORARY: see update_stand_in.cpp.
#include <atomic>

extern std::atomic<int> StartUpdateCalls;
