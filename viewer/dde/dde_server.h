// Stand-in: the DDE server never starts, so the root goes on without one.
// The viewer's DDE service for other programs and a second program start.
#pragma once

#include "foundation/ref_counted.h"

class ViewerContext;

class DdeServer : public RefCounted {};

inline Ref<DdeServer> DdeServerCreate() { return MakeRef<DdeServer>(); }
inline bool DdeServerStart(DdeServer* server, ViewerContext* context) { return false; }
inline void DdeServerStop(DdeServer* server) {}
