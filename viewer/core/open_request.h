// What action 2 and notification 17 carry: the paths to open (several joined
// by TAB) and how the request came.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

enum OpenMode : uint32_t {
    kOpenInteractive = 0,  // open dialog, drop, recent file
    kOpenCommandLine = 1,
    kOpenRemote = 2,  // DDE and automation
};

class OpenRequest : public RefCounted {
  public:
    WString paths;
    uint32_t mode = kOpenInteractive;
};

inline Ref<OpenRequest> OpenRequestCreate(const WString& paths, uint32_t mode) {
    Ref<OpenRequest> request = MakeRef<OpenRequest>();
    request->paths = paths;
    request->mode = mode;
    return request;
}
