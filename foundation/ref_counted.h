// The one base of every shared object, and the counted pointer that holds it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

// Created with a count of 1 that belongs to the creator. The count only moves
// through interlocked operations; RefRelease deletes at 0.
class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted() = default;

    uint32_t RefCountForTests() const { return static_cast<uint32_t>(count_); }

private:
    friend void RefAddRef(RefCounted* object);
    friend bool RefTryAddRef(RefCounted* object);
    friend void RefRelease(RefCounted* object);
    volatile LONG count_ = 1;
};

inline void RefAddRef(RefCounted* object) { InterlockedIncrement(&object->count_); }

// Adds a reference only while the object is still alive (count above 0); a
// registry that sees objects in their destructor must never revive them.
inline bool RefTryAddRef(RefCounted* object) {
    LONG seen = object->count_;
    while (seen > 0) {
        LONG before = InterlockedCompareExchange(&object->count_, seen + 1, seen);
        if (before == seen) return true;
        seen = before;
    }
    return false;
}

// Never called with null: callers test for null themselves.
inline void RefRelease(RefCounted* object) {
    if (InterlockedDecrement(&object->count_) == 0) delete object;
}

// A counted pointer. Constructing from a raw pointer adds a reference;
// AdoptRef takes over one the caller already owns (a new object, or what a
// getter returned).
template <class T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T* object) : ptr_(object) {
        if (ptr_) RefAddRef(ptr_);
    }
    Ref(const Ref& other) : Ref(other.ptr_) {}
    Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U>
    Ref(Ref<U>&& other) noexcept : ptr_(other.Leak()) {}
    template <class U>
    Ref(const Ref<U>& other) : Ref(other.get()) {}
    ~Ref() { Reset(); }

    Ref& operator=(Ref other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }

    static Ref Adopt(T* object) {
        Ref result;
        result.ptr_ = object;
        return result;
    }

    void Reset() {
        if (T* old = std::exchange(ptr_, nullptr)) RefRelease(old);
    }
    // Hands the reference to the caller, who must release it.
    [[nodiscard]] T* Leak() { return std::exchange(ptr_, nullptr); }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T& operator*() const { return *ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    bool operator==(const Ref& other) const { return ptr_ == other.ptr_; }
    bool operator==(std::nullptr_t) const { return ptr_ == nullptr; }

private:
    T* ptr_ = nullptr;
};

template <class T>
Ref<T> AdoptRef(T* object) {
    return Ref<T>::Adopt(object);
}

template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
    return Ref<T>::Adopt(new T(std::forward<Args>(args)...));
}
