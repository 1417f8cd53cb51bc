// The hourglass for the span of a scope in which a dialog works on the GUI
// thread (converting, exporting); the previous cursor comes back after it.
#pragma once

#include <windows.h>

class ScopedWaitCursor {
  public:
    ScopedWaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~ScopedWaitCursor() { SetCursor(previous_); }
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

  private:
    HCURSOR previous_;
};
