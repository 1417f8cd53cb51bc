#include "foundation/window_subclass.h"

#include <memory>
#include <new>
#include <vector>

#include "foundation/locks.h"

namespace {

struct Entry {
    SUBCLASSPROC procedure;
    UINT_PTR id;
    DWORD_PTR data;
    bool removed;
};

// One window's procedures, oldest first. Only the window's thread touches a
// chain's members; the table's lock guards the table alone.
struct Chain {
    HWND window = nullptr;
    WNDPROC original = nullptr;
    std::vector<Entry> entries;
    // Entries below this index are still to see the current message.
    size_t position = 0;
    // Messages of the window running in its procedures (nested ones too):
    // while any runs, removed entries are only marked, so that the running
    // messages' positions stay valid.
    uint32_t running = 0;
    bool marked = false;     // entries were removed
    bool destroyed = false;  // WM_NCDESTROY came: the chain goes once no message runs
};

struct Table {
    CriticalSection lock;
    std::vector<std::unique_ptr<Chain>> chains;
};

// Built on first use and never destroyed: controls may go from destructors
// of other static objects at exit.
Table& TheTable() {
    alignas(Table) static char storage[sizeof(Table)];
    static Table* table = new (storage) Table();
    return *table;
}

Chain* Find(HWND window) {
    Table& table = TheTable();
    ScopedLock hold(table.lock);
    for (const std::unique_ptr<Chain>& chain : table.chains) {
        if (chain->window == window) return chain.get();
    }
    return nullptr;
}

// Takes the chain out of the table and frees it.
void Forget(Chain* chain) {
    Table& table = TheTable();
    ScopedLock hold(table.lock);
    std::erase_if(table.chains, [chain](const std::unique_ptr<Chain>& held) { return held.get() == chain; });
}

LRESULT CALLBACK ChainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Drops the marked entries once no message runs. An empty chain gives the
// window its own procedure back (unless another subclass sits above it and
// still calls this one) and goes; a destroyed window's chain goes anyway.
void Tidy(Chain* chain) {
    if (chain->running > 0) return;
    std::erase_if(chain->entries, [](const Entry& entry) { return entry.removed; });
    chain->marked = false;
    if (!chain->destroyed) {
        if (!chain->entries.empty()) return;
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(chain->window, GWLP_WNDPROC));
        if (current != &ChainProcedure) return;
        SetWindowLongPtrW(chain->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chain->original));
    }
    Forget(chain);
}

LRESULT CALLBACK ChainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Chain* chain = Find(window);
    if (!chain) return DefWindowProcW(window, message, wparam, lparam);
    // A message sent from inside a procedure starts at the top of the chain
    // again; the one it interrupted goes on where it was afterwards.
    const size_t interrupted = chain->position;
    chain->position = chain->entries.size();
    ++chain->running;
    const LRESULT result = WindowSubclassNext(window, message, wparam, lparam);
    --chain->running;
    chain->position = interrupted;
    if (message == WM_NCDESTROY) chain->destroyed = true;
    if (chain->destroyed || chain->marked) Tidy(chain);
    return result;
}

}  // namespace

bool WindowSubclassAdd(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    if (!window || !procedure || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return false;
    if (Chain* chain = Find(window)) {
        for (Entry& entry : chain->entries) {
            if (entry.removed || entry.procedure != procedure || entry.id != id) continue;
            entry.data = data;
            return true;
        }
        chain->entries.push_back(Entry{procedure, id, data, false});
        return true;
    }
    auto fresh = std::make_unique<Chain>();
    fresh->window = window;
    fresh->original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    fresh->entries.push_back(Entry{procedure, id, data, false});
    if (!fresh->original) return false;
    Chain* chain = fresh.get();
    {
        Table& table = TheTable();
        ScopedLock hold(table.lock);
        table.chains.push_back(std::move(fresh));
    }
    if (!SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ChainProcedure))) {
        Forget(chain);
        return false;
    }
    return true;
}

bool WindowSubclassRemove(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    Chain* chain = Find(window);
    if (!chain) return false;
    for (Entry& entry : chain->entries) {
        if (entry.removed || entry.procedure != procedure || entry.id != id) continue;
        entry.removed = true;
        chain->marked = true;
        Tidy(chain);
        return true;
    }
    return false;
}

LRESULT WindowSubclassNext(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Chain* chain = Find(window);
    if (!chain) return DefWindowProcW(window, message, wparam, lparam);
    while (chain->position > 0) {
        // A copy: the procedure may add to the chain, which may move it.
        const Entry entry = chain->entries[--chain->position];
        if (!entry.removed) return entry.procedure(window, message, wparam, lparam, entry.id, entry.data);
    }
    return CallWindowProcW(chain->original, window, message, wparam, lparam);
}
