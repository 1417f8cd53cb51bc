// The viewer's keyboard accelerators: 25 keys that map to command ids, in a
// Windows accelerator table that the message loop translates with.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ref_counted.h"

inline constexpr uint32_t kAcceleratorCount = 25;

// The entries in table order; '+' and '-' are characters, the others
// virtual keys.
extern const ACCEL kViewerAccelerators[kAcceleratorCount];

class AcceleratorTable : public RefCounted {
  public:
    ~AcceleratorTable() override;  // destroys the handle
    HACCEL handle = nullptr;
};

// The table with its Windows handle (null when the system refused it).
Ref<AcceleratorTable> AcceleratorTableCreate();
