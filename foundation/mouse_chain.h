// Hands the mouse messages of a view to a list of handlers in order, with
// mouse capture: a handler that asks to keep the capture receives the
// following messages alone until it lets go or another window takes it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"

class MouseHandler : public RefCounted {
  public:
    // Each gets the point in client coordinates and the message's key state,
    // may set keep_capture and repaint, and answers whether it took the
    // message. The defaults take nothing.
    virtual bool ButtonDown(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) {
        return false;
    }
    virtual bool ButtonUp(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) {
        return false;
    }
    virtual bool Move(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) {
        return false;
    }
};

// Embedded in its view.
struct MouseHandlerChain {
    MouseHandlerChain();
    ~MouseHandlerChain();
    MouseHandlerChain(const MouseHandlerChain&) = delete;
    MouseHandlerChain& operator=(const MouseHandlerChain&) = delete;

    PtrArray handlers;                 // owning, in the order added
    MouseHandler* captured = nullptr;  // one reference held
    bool enabled = false;              // set by the view once its handlers are in place
};

void MouseChainInit(MouseHandlerChain& chain);
// Releases the captured handler and the list.
void MouseChainFree(MouseHandlerChain& chain);
// Null is ignored; the chain takes a reference.
void MouseChainAdd(MouseHandlerChain& chain, MouseHandler* handler);
// 0 when a handler took the message; 1 when none did or the chain is not
// enabled, and the view then does its default handling.
int32_t MouseChainDispatch(MouseHandlerChain& chain, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
