#include "foundation/mouse_chain.h"

namespace {

enum class MouseCall { kNone, kDown, kUp, kMove };

MouseCall CallFor(UINT message) {
    switch (message) {
        case WM_MOUSEMOVE:
            return MouseCall::kMove;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            return MouseCall::kDown;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            return MouseCall::kUp;
        default:
            return MouseCall::kNone;
    }
}

bool Call(MouseHandler* handler, MouseCall call, const PointI& point, uint32_t key_state, bool* keep_capture,
          bool* repaint) {
    switch (call) {
        case MouseCall::kDown:
            return handler->ButtonDown(&point, key_state, keep_capture, repaint);
        case MouseCall::kUp:
            return handler->ButtonUp(&point, key_state, keep_capture, repaint);
        case MouseCall::kMove:
            return handler->Move(&point, key_state, keep_capture, repaint);
        case MouseCall::kNone:
            break;
    }
    return false;
}

void DropCapture(MouseHandlerChain& chain) {
    if (!chain.captured) return;
    RefRelease(chain.captured);
    chain.captured = nullptr;
    ReleaseCapture();
}

void KeepCapture(MouseHandlerChain& chain, MouseHandler* handler, HWND window) {
    if (chain.captured == handler) return;
    if (chain.captured) RefRelease(chain.captured);
    RefAddRef(handler);
    chain.captured = handler;
    SetCapture(window);
}

// Offers the message to the handlers in order until one takes it; returns
// that handler with a reference, or null.
Ref<MouseHandler> OfferInOrder(MouseHandlerChain& chain, MouseCall call, const PointI& point,
                               uint32_t key_state, bool* keep_capture, bool* repaint) {
    for (uint32_t i = 0; i < chain.handlers.count; ++i) {
        Ref<MouseHandler> handler = PtrArrayGetAs<MouseHandler>(chain.handlers, i);
        if (!handler) continue;
        bool wants_repaint = false;
        *keep_capture = false;
        const bool accepted = Call(handler.get(), call, point, key_state, keep_capture, &wants_repaint);
        if (wants_repaint) *repaint = true;
        if (accepted) return handler;
    }
    return nullptr;
}

}  // namespace

MouseHandlerChain::MouseHandlerChain() { MouseChainInit(*this); }

MouseHandlerChain::~MouseHandlerChain() { MouseChainFree(*this); }

void MouseChainInit(MouseHandlerChain& chain) {
    PtrArrayInit(chain.handlers, 1, true);
    chain.captured = nullptr;
    chain.enabled = false;
}

void MouseChainFree(MouseHandlerChain& chain) {
    if (chain.captured) {
        RefRelease(chain.captured);
        chain.captured = nullptr;
    }
    PtrArrayFree(chain.handlers);
}

void MouseChainAdd(MouseHandlerChain& chain, MouseHandler* handler) {
    if (handler) PtrArrayAdd(chain.handlers, handler);
}

int32_t MouseChainDispatch(MouseHandlerChain& chain, HWND window, UINT message, WPARAM wparam,
                           LPARAM lparam) {
    if (!chain.enabled) return 1;
    if (chain.captured && GetCapture() != window) {
        RefRelease(chain.captured);
        chain.captured = nullptr;
    }
    const MouseCall call = CallFor(message);
    bool keep_capture = false;
    bool repaint = false;
    Ref<MouseHandler> accepted;
    if (call != MouseCall::kNone) {
        const PointI point{static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
        // The key state is a handful of MK_ flags in the low bits.
        const uint32_t key_state = static_cast<uint32_t>(wparam);
        if (chain.captured) {
            Ref<MouseHandler> handler(chain.captured);
            if (Call(handler.get(), call, point, key_state, &keep_capture, &repaint)) accepted = handler;
        } else {
            accepted = OfferInOrder(chain, call, point, key_state, &keep_capture, &repaint);
        }
    }
    if (accepted && keep_capture) {
        KeepCapture(chain, accepted.get(), window);
    } else {
        DropCapture(chain);
    }
    if (repaint && window) InvalidateRect(window, nullptr, FALSE);
    return accepted ? 0 : 1;
}
