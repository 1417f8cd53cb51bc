// Sets a device context's mix mode (SetROP2) for a scope and restores the
// previous one on every path out.
#pragma once

#include <windows.h>

class ScopedMixMode {
  public:
    ScopedMixMode(HDC dc, int mode) : dc_(dc), previous_(SetROP2(dc, mode)) {}
    ~ScopedMixMode() {
        if (previous_) SetROP2(dc_, previous_);
    }
    ScopedMixMode(const ScopedMixMode&) = delete;
    ScopedMixMode& operator=(const ScopedMixMode&) = delete;

  private:
    HDC dc_;
    int previous_;
};
