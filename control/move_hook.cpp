#include "control/move_hook.h"

#include <algorithm>
#include <vector>

#include "control/com/com_module.h"
#include "foundation/locks.h"
#include "viewer/core/frame_messages.h"

namespace {

struct MoveHookState {
    CriticalSection lock;
    HHOOK hook = nullptr;
    std::vector<HWND> frames;
    std::vector<HWND> ancestors;
};

// Never destroyed: the hook procedure may run on another thread while the
// process ends.
MoveHookState& State() {
    static MoveHookState* state = new MoveHookState();
    return *state;
}

bool Contains(const std::vector<HWND>& list, HWND window) {
    return std::find(list.begin(), list.end(), window) != list.end();
}

// Under the lock.
void RebuildAncestors(MoveHookState& state) {
    state.ancestors.clear();
    for (HWND frame : state.frames) {
        for (HWND parent = GetParent(frame); parent; parent = GetParent(parent)) {
            if (state.ancestors.size() >= kMoveHookMaxAncestors) return;
            if (!Contains(state.ancestors, parent)) state.ancestors.push_back(parent);
        }
    }
}

LRESULT CALLBACK MoveHookProc(int code, WPARAM wparam, LPARAM lparam) {
    MoveHookState& state = State();
    std::vector<HWND> targets;
    {
        ScopedLock lock(state.lock);
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (code >= 0 && message && message->message == WM_MOVE && Contains(state.ancestors, message->hwnd))
            targets = state.frames;
    }
    // Posted outside the lock: a frame's thread may be waiting for it.
    for (HWND frame : targets) PostMessageW(frame, kFrameHostMovedMessage, 0, 0);
    // The system runs this hook in every process with windows, where this
    // library was loaded only for it and holds no hook handle: the chain of
    // the hooks after it goes on all the same (the handle is not needed).
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

void MoveHookAddWindow(HWND frame) {
    if (!frame) return;
    MoveHookState& state = State();
    ScopedLock lock(state.lock);
    if (state.frames.empty() && !state.hook)
        state.hook = SetWindowsHookExW(WH_CALLWNDPROC, MoveHookProc, ComModuleInstance(), 0);
    if (state.frames.size() < kMoveHookMaxFrames) {
        state.frames.push_back(frame);
        RebuildAncestors(state);
    }
}

void MoveHookRemoveWindow(HWND frame) {
    MoveHookState& state = State();
    ScopedLock lock(state.lock);
    auto it = std::find(state.frames.begin(), state.frames.end(), frame);
    if (it != state.frames.end()) state.frames.erase(it);
    RebuildAncestors(state);
    if (state.frames.empty() && state.hook) {
        UnhookWindowsHookEx(state.hook);
        state.hook = nullptr;
    }
}

bool MoveHookInstalled() {
    ScopedLock lock(State().lock);
    return State().hook != nullptr;
}
