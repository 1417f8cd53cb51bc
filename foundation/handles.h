// Small owners for the platform resources that windows, workers and dialogs
// hold: each releases its resource on every path out of the scope that
// acquired it, is movable and not copyable. Kernel file handles live in
// file_handle.h, critical sections in locks.h.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <unknwn.h>
#include <winspool.h>

#include <cstdlib>
#include <memory>
#include <utility>

// A resource with one "empty" value and one release call. Traits supply
// both, so every owner below shares the move and reset logic.
template <class Traits>
class UniqueResource {
  public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    bool valid() const { return Traits::IsValid(value_); }
    explicit operator bool() const { return valid(); }
    Type get() const { return value_; }
    // Gives the resource to the caller, who releases it.
    [[nodiscard]] Type Release() { return std::exchange(value_, Traits::Empty()); }
    // Resetting to the value already held keeps it open.
    void Reset(Type value = Traits::Empty()) {
        Type old = std::exchange(value_, value);
        if (old != value && Traits::IsValid(old)) Traits::Close(old);
    }
    // For calls that return the resource through an out-parameter.
    Type* Put() {
        Reset();
        return &value_;
    }

  private:
    Type value_ = Traits::Empty();
};

// Kernel objects whose "none" is null: threads, events, mutexes, processes,
// mappings. (Files, whose "none" is INVALID_HANDLE_VALUE, use FileHandle.)
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) { FindClose(h); }
};
using FindHandle = UniqueResource<FindHandleTraits>;

struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
using RegKey = UniqueResource<RegKeyTraits>;

template <class Handle>
struct GdiObjectTraits {
    using Type = Handle;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
template <class Handle>
using GdiObject = UniqueResource<GdiObjectTraits<Handle>>;
using GdiBitmap = GdiObject<HBITMAP>;
using GdiPen = GdiObject<HPEN>;
using GdiBrush = GdiObject<HBRUSH>;
using GdiFont = GdiObject<HFONT>;
using GdiRegion = GdiObject<HRGN>;

struct EnhMetafileTraits {
    using Type = HENHMETAFILE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { DeleteEnhMetaFile(h); }
};
// A closed enhanced metafile (CloseEnhMetaFile's result).
using EnhMetafile = UniqueResource<EnhMetafileTraits>;

struct MenuTraits {
    using Type = HMENU;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { DestroyMenu(h); }
};
// A menu that no window owns yet (a menu attached to a window is destroyed
// with it: Release it once attached).
using MenuHandle = UniqueResource<MenuTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
using ModuleHandle = UniqueResource<ModuleTraits>;

// OpenPrinterW / ClosePrinter.
struct PrinterTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ClosePrinter(h); }
};
using PrinterHandle = UniqueResource<PrinterTraits>;

struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { GlobalFree(h); }
};
// Global memory not yet handed to the clipboard (SetClipboardData takes it
// over: Release it after a successful call).
using GlobalMemory = UniqueResource<GlobalMemoryTraits>;

struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ImageList_Destroy(h); }
};
// An image list that no control owns (a tool bar or tree view given one with
// TB_SETIMAGELIST or TVM_SETIMAGELIST only borrows it: keep the owner alive
// until the control has gone).
using ImageListHandle = UniqueResource<ImageListTraits>;

struct WindowsHookTraits {
    using Type = HHOOK;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { UnhookWindowsHookEx(h); }
};
// A hook installed with SetWindowsHookExW, removed when its owner goes.
using WindowsHook = UniqueResource<WindowsHookTraits>;

// Locks global memory for the span of a scope.
class GlobalLockScope {
  public:
    explicit GlobalLockScope(HGLOBAL memory)
        : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    ~GlobalLockScope() {
        if (data_) GlobalUnlock(memory_);
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    void* data() const { return data_; }

  private:
    HGLOBAL memory_;
    void* data_;
};

// Opens the clipboard for the span of a scope; open() says whether it did
// (another window may hold it).
class ClipboardScope {
  public:
    explicit ClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~ClipboardScope() {
        if (open_) CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    bool open() const { return open_; }

  private:
    bool open_;
};

// GetDC / ReleaseDC.
class WindowDC {
  public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDC {
  public:
    explicit PaintDC(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintDC() {
        if (dc_) EndPaint(window_, &paint_);
    }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return paint_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// Turns a visible window's redrawing off (WM_SETREDRAW) for a scope and on
// again after it, invalidating the whole window, so that the changes made in
// between paint once with its next paint instead of each at once. A hidden
// window is left alone: turning redrawing on again would show it.
class ScopedRedrawOff {
  public:
    explicit ScopedRedrawOff(HWND window)
        : window_(window), on_(window && (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE)) {
        if (on_) SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    }
    ~ScopedRedrawOff() {
        if (!on_) return;
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    ScopedRedrawOff(const ScopedRedrawOff&) = delete;
    ScopedRedrawOff& operator=(const ScopedRedrawOff&) = delete;

  private:
    HWND window_;
    bool on_;
};

// CreateCompatibleDC / DeleteDC (also CreateDCW / DeleteDC through Adopt).
class MemoryDC {
  public:
    MemoryDC() = default;
    explicit MemoryDC(HDC compatible_with) : dc_(CreateCompatibleDC(compatible_with)) {}
    ~MemoryDC() { Reset(); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    MemoryDC(MemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
    MemoryDC& operator=(MemoryDC&& other) noexcept {
        if (this != &other) {
            Reset();
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    static MemoryDC Adopt(HDC dc) {
        MemoryDC result;
        result.dc_ = dc;
        return result;
    }
    void Reset() {
        if (HDC old = std::exchange(dc_, nullptr)) DeleteDC(old);
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HDC dc_ = nullptr;
};

// Selects an object into a DC and restores the previous one when the scope
// ends, so no path leaves a pen or bitmap selected (and thus undeletable).
// Not for regions: selecting one sets a copy as the clip region and answers
// its complexity, not a previous object (use SelectClipRgn).
class ScopedSelect {
  public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ScopedSelect(HDC dc, HRGN region) = delete;
    ~ScopedSelect() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A bitmap compatible with a window's DC, selected into a memory DC of its
// own and kept from one paint to the next: making and dropping a window-sized
// bitmap (and faulting in its pages) for every paint costs more than the
// picture's copy. Made again when the size changes.
class KeptBackBuffer {
  public:
    // The buffer's DC, `width` x `height`, compatible with `dc`; null when it
    // cannot be made.
    HDC Prepare(HDC dc, int width, int height) {
        if (dc_ && width == width_ && height == height_) return dc_.get();
        // The DC goes before the bitmap selected into it.
        dc_.Reset();
        MemoryDC memory(dc);
        bitmap_.Reset(memory ? CreateCompatibleBitmap(dc, width, height) : nullptr);
        if (!bitmap_) return nullptr;
        SelectObject(memory.get(), bitmap_.get());
        dc_ = std::move(memory);
        width_ = width;
        height_ = height;
        return dc_.get();
    }

  private:
    GdiBitmap bitmap_;  // declared first: destroyed after the DC that holds it
    MemoryDC dc_;
    int width_ = 0;
    int height_ = 0;
};

// Sets a device context's mix mode (SetROP2) for a scope and restores the
// previous one on every path out.
class ScopedMixMode {
  public:
    ScopedMixMode(HDC dc, int mode) : dc_(dc), previous_(SetROP2(dc, mode)) {}
    ~ScopedMixMode() {
        if (previous_) SetROP2(dc_, previous_);
    }
    ScopedMixMode(const ScopedMixMode&) = delete;
    ScopedMixMode& operator=(const ScopedMixMode&) = delete;

  private:
    HDC dc_;
    int previous_;
};

// Transparent text of one colour for a scope: sets the background mode and
// the text colour and restores both on every path out. Colour changes the
// colour within the scope.
class ScopedTextState {
  public:
    ScopedTextState(HDC dc, COLORREF colour)
        : dc_(dc), mode_(SetBkMode(dc, TRANSPARENT)), colour_(SetTextColor(dc, colour)) {}
    ~ScopedTextState() {
        if (colour_ != CLR_INVALID) SetTextColor(dc_, colour_);
        if (mode_ != 0) SetBkMode(dc_, mode_);
    }
    ScopedTextState(const ScopedTextState&) = delete;
    ScopedTextState& operator=(const ScopedTextState&) = delete;
    void Colour(COLORREF colour) { SetTextColor(dc_, colour); }

  private:
    HDC dc_;
    int mode_;
    COLORREF colour_;
};

// A block from the process heap (HeapAlloc), freed with HeapFree.
template <class Block>
struct ProcessHeapTraits {
    using Type = Block*;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type block) { return block != nullptr; }
    static void Close(Type block) { HeapFree(GetProcessHeap(), 0, block); }
};
template <class Block>
using ProcessHeapBlock = UniqueResource<ProcessHeapTraits<Block>>;
// A packed bitmap header (BITMAPINFO and its colour table in one heap block).
using PackedDib = ProcessHeapBlock<BITMAPINFO>;

// A block from the C heap (malloc, calloc), freed with free: for blocks
// that a holder outside C++ may take over with release() and free itself.
// Block may be an array type (CHeapBlock<Row[]>) for indexed access.
struct CHeapFree {
    void operator()(void* block) const { std::free(block); }
};
template <class Block>
using CHeapBlock = std::unique_ptr<Block, CHeapFree>;

// A COM interface pointer: releases what it holds.
template <class Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Adds a reference to a borrowed pointer.
    explicit ComPtr(Interface* borrowed) : ptr_(borrowed) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.ptr_) {}
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    // Takes over a reference the caller already owns.
    static ComPtr Adopt(Interface* owned) {
        ComPtr result;
        result.ptr_ = owned;
        return result;
    }
    void Reset() {
        if (Interface* old = std::exchange(ptr_, nullptr)) old->Release();
    }
    [[nodiscard]] Interface* Detach() { return std::exchange(ptr_, nullptr); }
    // For QueryInterface and creation calls that fill an out-parameter.
    Interface** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    Interface* get() const { return ptr_; }
    Interface* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

  private:
    Interface* ptr_ = nullptr;
};
