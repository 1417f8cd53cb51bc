#include "printing/print_plugin_binding.h"

#include <vector>

namespace {

// Entry points are declared with their exact types; the cast happens once.
template <class Function>
Function As(FARPROC entry) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

AString Ansi(const WString& text) {
    AString ansi;
    return AStrFromWide(ansi, text);
}

WString FromAnsi(const char* text) {
    WString wide;
    return WStrFromAnsi(wide, text);
}

// GetProcAddress by name, the way plug-ins export them (cdecl, undecorated).
FARPROC Resolve(const DllHandle& library, const char* name) {
    return library.module ? GetProcAddress(library.module.get(), name) : nullptr;
}

// Loads with the plug-in's folder as the current directory, so that the
// libraries it depends on beside it are found. The desktop program loads it
// as it stands.
bool LoadLibraryIn(DllHandle& library, const WString& path) {
#if VIEWER_PROGRAM_BUILD
    return DllLoad(library, path);
#else
    wchar_t previous[MAX_PATH] = L"";
    const DWORD kept = GetCurrentDirectoryW(MAX_PATH, previous);
    WString directory;
    WStrGetDirectory(path, directory);
    if (WStrLength(directory)) SetCurrentDirectoryW(WStrCStr(directory));
    const bool loaded = DllLoad(library, path);
    if (kept > 0 && kept < MAX_PATH) SetCurrentDirectoryW(previous);
    return loaded;
#endif
}

}  // namespace

PrintPluginBinding::~PrintPluginBinding() { Close(); }

bool PrintPluginBinding::Close() {
    ScopedLock hold(lock_);
    if (!library_.module) return false;
    if (entries_.close) As<PL_Close_t>(entries_.close)();
    entries_ = {};
    DllFree(library_);
    WStrClear(current_printer_);
    return true;
}

WString PrintPluginBinding::Text(FARPROC entry, uint32_t index, uint32_t size) {
    // Held by the caller's lock.
    if (!library_.module || !entry) return {};
    std::vector<char> buffer(size, '\0');
    const int32_t ok =
        As<PL_GetPrinter_t>(entry)(static_cast<int32_t>(index), buffer.data(), static_cast<int32_t>(size));
    buffer[size - 1] = '\0';
    return ok ? FromAnsi(buffer.data()) : WString();
}

bool PrintPluginBinding::ReadPrinters(const WString& path) {
    const AString ansi = Ansi(path);
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.read_printers || !AStrLength(ansi)) return false;
    return As<PL_ReadPrinters_t>(entries_.read_printers)(AStrCStr(ansi)) != 0;
}

uint32_t PrintPluginBinding::GetPrinterCount() {
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.get_printer_count) return 0;
    return static_cast<uint32_t>(As<PL_GetPrinterCount_t>(entries_.get_printer_count)());
}

WString PrintPluginBinding::GetPrinter(uint32_t index) {
    ScopedLock hold(lock_);
    return Text(entries_.get_printer, index, PL_PRINTER_NAME_SIZE);
}

bool PrintPluginBinding::SetPrinterName(const WString& name) {
    const AString ansi = Ansi(name);
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.set_printer_name || !AStrLength(ansi)) return false;
    if (!As<PL_SetPrinterName_t>(entries_.set_printer_name)(AStrCStr(ansi))) return false;
    current_printer_ = name;
    return true;
}

bool PrintPluginBinding::HasSupport(int32_t feature) {
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.has_support) return false;
    uint8_t answer = 0;  // never read: only the result counts
    return As<PL_HasSupport_t>(entries_.has_support)(feature, &answer) != 0;
}

bool PrintPluginBinding::Job(FARPROC entry, HWND parent, void* job, int32_t size, bool with_parent) {
    ScopedLock hold(lock_);
    const AString printer = Ansi(current_printer_);
    if (!library_.module || !entry || !job || !AStrLength(printer)) return false;
    if (!with_parent) return As<PL_CanPrint3_t>(entry)(AStrCStr(printer), job, size) != 0;
    return As<PL_Print5_t>(entry)(parent, AStrCStr(printer), job, size) != 0;
}

bool PrintPluginBinding::CanPrint3(void* job) {
    return Job(entries_.can_print3, nullptr, job, PL_JOB3_SIZE, false);
}
bool PrintPluginBinding::Print3(HWND parent, void* job) {
    return Job(entries_.print3, parent, job, PL_JOB3_SIZE, true);
}
bool PrintPluginBinding::Print5(HWND parent, void* job) {
    return Job(entries_.print5, parent, job, PL_JOB5_SIZE, true);
}

bool PrintPluginBinding::HasPrint5() {
    ScopedLock hold(lock_);
    return library_.module && entries_.print5;
}

#define PLUGIN_INT_CALL(method, entry, type)                   \
    bool PrintPluginBinding::method(int32_t value) {           \
        ScopedLock hold(lock_);                                \
        if (!library_.module || !entries_.entry) return false; \
        return As<type>(entries_.entry)(value) != 0;           \
    }
PLUGIN_INT_CALL(SupportPaper, support_paper, PL_SupportPaper_t)
PLUGIN_INT_CALL(SetStandardPaper, set_standard_paper, PL_SetStandardPaper_t)
PLUGIN_INT_CALL(SetPaper, set_paper, PL_SetPaper_t)
PLUGIN_INT_CALL(SetPaperBin, set_paper_bin, PL_SetPaperBin_t)
#undef PLUGIN_INT_CALL

bool PrintPluginBinding::SetOrientation(bool landscape) {
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.set_orientation) return false;
    return As<PL_SetOrientation_t>(entries_.set_orientation)(landscape ? 1 : 0) != 0;
}

uint16_t PrintPluginBinding::GetPaperCount() {
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.get_paper_count) return 0;
    return static_cast<uint16_t>(As<PL_GetPaperCount_t>(entries_.get_paper_count)() & 0xFFFF);
}

WString PrintPluginBinding::GetPaperName(uint32_t index) {
    ScopedLock hold(lock_);
    return Text(entries_.get_paper_name, index, PL_PAPER_NAME_SIZE);
}

bool PrintPluginBinding::GetPrintableArea(double area[4]) {
    ScopedLock hold(lock_);
    area[0] = area[1] = area[2] = area[3] = 0;
    if (!library_.module || !entries_.get_printable_area) return false;
    return As<PL_GetPrintableArea_t>(entries_.get_printable_area)(1, area, PL_AREA_BYTES) != 0;
}

uint16_t PrintPluginBinding::GetPaperBinCount() {
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.get_paper_bin_count) return 0;
    return static_cast<uint16_t>(As<PL_GetPaperBinCount_t>(entries_.get_paper_bin_count)() & 0xFFFF);
}

WString PrintPluginBinding::GetPaperBinName(uint32_t index) {
    ScopedLock hold(lock_);
    return Text(entries_.get_paper_bin_name, index, PL_BIN_NAME_SIZE);
}

bool PrintPluginBinding::SetStdToken(int32_t token, const WString& value) {
    const AString ansi = Ansi(value);
    ScopedLock hold(lock_);
    if (!library_.module || !entries_.set_std_token || !AStrLength(ansi)) return false;
    return As<PL_SetStdToken_t>(entries_.set_std_token)(token, AStrCStr(ansi)) != 0;
}

WString PrintPluginBinding::GetServerType() {
    ScopedLock hold(lock_);
    return server_type_;
}

WString PrintPluginBinding::GetCurrentPrinter() {
    ScopedLock hold(lock_);
    return current_printer_;
}

Ref<PrintPluginBinding> PrintPluginLoad(const WString& path) {
    if (!WStrLength(path)) return nullptr;
    Ref<PrintPluginBinding> binding = MakeRef<PrintPluginBinding>();
    DllHandle& library = binding->library_;
    if (!LoadLibraryIn(library, path)) return nullptr;
    // From here a failure releases the binding, whose destructor frees the
    // library (PL_Close is not resolved yet, so it is not called).
    int32_t type = 0, major = 0, minor = 0;
    auto get_type = As<PL_Get_Plovex_DLL_Type_t>(Resolve(library, "PL_Get_Plovex_DLL_Type"));
    if (!get_type || !get_type(&type) || type != PL_REQUIRED_TYPE) return nullptr;
    auto get_version = As<PL_Get_Plovex_DLL_Version_t>(Resolve(library, "PL_Get_Plovex_DLL_Version"));
    if (!get_version || !get_version(&major, &minor) || major < PL_MIN_MAJOR_VERSION) return nullptr;
    auto init = As<PL_Init_t>(Resolve(library, "PL_Init"));
    if (!init || !init()) return nullptr;
    auto server_type = As<PL_GetPrintServerType_t>(Resolve(library, "PL_GetPrintServerType"));
    char name[PL_SERVER_TYPE_SIZE] = "";
    if (!server_type || !server_type(name, PL_SERVER_TYPE_SIZE)) return nullptr;
    name[PL_SERVER_TYPE_SIZE - 1] = '\0';

    binding->major_version = major;
    binding->minor_version = minor;
    binding->server_type_ = FromAnsi(name);
    auto& e = binding->entries_;
    e.close = Resolve(library, "PL_Close");
    e.read_printers = Resolve(library, "PL_ReadPrinters");
    e.get_printer_count = Resolve(library, "PL_GetPrinterCount");
    e.get_printer = Resolve(library, "PL_GetPrinter");
    e.set_printer_name = Resolve(library, "PL_SetPrinterName");
    e.has_support = Resolve(library, "PL_HasSupport");
    e.can_print3 = Resolve(library, "PL_CanPrint3");
    e.print3 = Resolve(library, "PL_Print3");
    e.print5 = Resolve(library, "PL_Print5");
    e.support_paper = Resolve(library, "PL_SupportPaper");
    e.get_paper_count = Resolve(library, "PL_GetPaperCount");
    e.get_paper_name = Resolve(library, "PL_GetPaperName");
    e.set_standard_paper = Resolve(library, "PL_SetStandardPaper");
    e.set_paper = Resolve(library, "PL_SetPaper");
    e.set_orientation = Resolve(library, "PL_SetOrientation");
    e.get_printable_area = Resolve(library, "PL_GetPrintableArea");
    e.get_paper_bin_count = Resolve(library, "PL_GetPaperBinCount");
    e.get_paper_bin_name = Resolve(library, "PL_GetPaperBinName");
    e.set_paper_bin = Resolve(library, "PL_SetPaperBin");
    e.set_std_token = Resolve(library, "PL_SetStdToken");
    return binding;
}
