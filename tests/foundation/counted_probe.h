// Counted probe objects for container tests: every probe knows how many of
// its kind are alive and logs its destruction, so a test can check the exact
// reference count after each operation and catch leaks and double releases.
#pragma once

#include <functional>
#include <vector>

#include "foundation/ref_counted.h"

class CountedProbe : public RefCounted {
  public:
    explicit CountedProbe(int id = 0) : id(id) { ++alive; }
    ~CountedProbe() override {
        if (on_destroy) on_destroy(this);
        destruction_log.push_back(id);
        --alive;
    }

    uint32_t count() const { return RefCountForTests(); }

    int id;
    // Runs inside the destructor, while the count is already 0.
    std::function<void(CountedProbe*)> on_destroy;

    static inline int alive = 0;
    static inline std::vector<int> destruction_log;
    static void ResetLog() { destruction_log.clear(); }
};
