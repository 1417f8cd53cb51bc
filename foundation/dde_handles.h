// Owners for the DDE management library's resources: an instance (ended
// with DdeUninitialize) and a string handle of one instance. Both the
// process's DDE server and its client conversations use them.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include <utility>

#include "foundation/handles.h"

struct DdeInstanceTraits {
    using Type = DWORD;
    static Type Empty() { return 0; }
    static bool IsValid(Type instance) { return instance != 0; }
    static void Close(Type instance) { DdeUninitialize(instance); }
};
// A DDE instance; end every conversation and string handle of it first.
using DdeInstance = UniqueResource<DdeInstanceTraits>;

// A string handle of one DDE instance, freed when its owner goes:
// DdeFreeStringHandle needs the instance as well as the handle, so the two
// travel together. The instance must outlive the handle.
class DdeStringHandle {
  public:
    DdeStringHandle() = default;
    // A Unicode string handle of the text; empty when the instance refuses.
    DdeStringHandle(DWORD instance, const wchar_t* text)
        : instance_(instance),
          handle_(instance && text ? DdeCreateStringHandleW(instance, text, CP_WINUNICODE) : nullptr) {}
    ~DdeStringHandle() { Reset(); }
    DdeStringHandle(const DdeStringHandle&) = delete;
    DdeStringHandle& operator=(const DdeStringHandle&) = delete;
    DdeStringHandle(DdeStringHandle&& other) noexcept
        : instance_(other.instance_), handle_(std::exchange(other.handle_, nullptr)) {}
    DdeStringHandle& operator=(DdeStringHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            instance_ = other.instance_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    void Reset() {
        if (HSZ old = std::exchange(handle_, nullptr)) DdeFreeStringHandle(instance_, old);
    }
    HSZ get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // True when `other` names the same text (DDE compares without case).
    bool Matches(HSZ other) const { return handle_ && other && DdeCmpStringHandles(handle_, other) == 0; }

  private:
    DWORD instance_ = 0;
    HSZ handle_ = nullptr;
};
