// Stand-in: the accelerator table holds no keys until the commands exist.
// The viewer's keyboard accelerators, in a Windows accelerator table that the
// message loop translates with.
#pragma once

#include <windows.h>

#include "foundation/ref_counted.h"

class AcceleratorTable : public RefCounted {
  public:
    HACCEL handle = nullptr;
};

inline Ref<AcceleratorTable> AcceleratorTableCreate() { return MakeRef<AcceleratorTable>(); }
