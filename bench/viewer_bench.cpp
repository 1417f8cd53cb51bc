// Times the desktop program itself: the launcher makes the application root,
// the viewer context and the frame with all its panes as PLXEX529 does, and
// the benchmark then drives it through the program's own roads (the DDE
// execute commands, menu commands sent to the frame, scroll-bar messages)
// while it pumps the messages itself. Every figure is timed inside the
// process with QueryPerformanceCounter up to the end of the main view's
// first complete paint of the new state: a WM_PAINT after which the view's
// mapping and its cached picture both belong to the active page and agree
// in rotation, flips and inversion. bench/run_bench.py drives it, one
// process per case.
//
// Usage: viewer_bench CASE FILE RUNS [TARGET]
//   open      FileOpen of FILE to the main view's first complete paint of its
//             first page; then that page rendered alone for the view's
//             placement (no cache, no windows)
//   actions   FILE (a document of many pages) opened once; next page,
//             rotate by 90 degrees, invert, mirror, zoom to 1:1 at the
//             bottom right corner and scroll up by a screen page, each to
//             the view's next complete paint; and a fresh render of the
//             active page fitted into the view
//   memory    the working set of the program without a document and with
//             FILE open and its first page shown
//   convert-tiff, convert-pdf
//             the DDE command Convert of FILE into TARGET, and the peak
//             working set of the conversion (counter reset before each)
//   markups   FILE (a one-page sheet) with 1,000 markups of every kind in
//             its companion file, which the benchmark saves first (RUNS
//             saves, timed); the main view's paint that draws them anew,
//             its paint from their cached picture, the redlining view's own
//             paint of them alone (RedlinePaint for the main view, anew and
//             cached), and the repaint after one markup is dragged by the
//             mouse in select mode; against a fresh render of the page for
//             the same view
//   print     FILE's first page printed 1:1 on the test printer
//             (PlovexTest, or PRINTER after TARGET) on its largest paper
//             through the print job with
//             its status dialog: to the job's end, to the finished
//             PostScript file (TARGET, the queue's file), its size, and the
//             job's peak working set (sampled every millisecond)
//
// Prints one line of key=value pairs per measurement: case (and action),
// median_ms and min_ms of RUNS, first_ms (the first run, cold), idle_ms (to
// the end of the last message the action caused: the preview, tree and
// status bar too), paint_ms (the complete paint's own WM_PAINT), render_ms
// (the render alone where there is one) and the view's size; memory prints
// ws_empty, ws_shown, peak (bytes) and the page's size and 1-bit bitmap; the
// zoom prints a check of its scale.
#include <windows.h>
// These need the types of windows.h first.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "foundation/data_source.h"
#include "foundation/locks.h"
#include "foundation/window_subclass.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/page_placement.h"
#include "printing/print_bands.h"
#include "printing/print_job.h"
#include "printing/print_layout.h"
#include "printing/win_print_provider.h"
#include "program/launcher.h"
#include "redlining/redline_attributes.h"
#include "redlining/redline_document.h"
#include "redlining/redline_layer.h"
#include "redlining/redline_markups.h"
#include "redlining/redline_objects.h"
#include "redlining/redline_storage.h"
#include "redlining/redline_view.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/commands.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/view_operations.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_execute.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/bitmap_cache.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {

// The frame's client area, as a user's maximised window on a 1280 x 1024
// screen would roughly give it.
constexpr int kFrameClientWidth = 1280;
constexpr int kFrameClientHeight = 960;
// Every wait for a state is bounded.
constexpr double kStateTimeoutMs = 120000;
// The registry key that stands in for both roots while the benchmark runs,
// so that every run starts from the shipped settings and leaves nothing.
constexpr wchar_t kRegistryRoot[] = L"Software\\PlovexViewerBench";

std::wstring Wide(const char* text) {
    std::wstring wide(std::strlen(text) + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), int(wide.size()));
    wide.resize(n > 0 ? size_t(n - 1) : 0);
    return wide;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Minimum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER point at two keys of the
// benchmark's own while it lives; the keys are removed before and after.
class RegistryRedirect {
  public:
    RegistryRedirect() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kRegistryRoot);
        machine_ = Create(L"\\Machine");
        user_ = Create(L"\\User");
        Resume();
    }
    ~RegistryRedirect() {
        Suspend();
        if (machine_) RegCloseKey(machine_);
        if (user_) RegCloseKey(user_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kRegistryRoot);
    }
    // The spooler finds its printers only under the real keys: a print runs
    // between these two, after the program has read its settings and before
    // it saves them.
    void Suspend() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }
    void Resume() {
        if (machine_) RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_);
        if (user_) RegOverridePredefKey(HKEY_CURRENT_USER, user_);
    }
    RegistryRedirect(const RegistryRedirect&) = delete;
    RegistryRedirect& operator=(const RegistryRedirect&) = delete;

  private:
    static HKEY Create(const wchar_t* below) {
        HKEY key = nullptr;
        const std::wstring name = std::wstring(kRegistryRoot) + below;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return nullptr;
        }
        return key;
    }
    HKEY machine_ = nullptr;
    HKEY user_ = nullptr;
};

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// The running program and what the benchmark watches of it.
class Program {
  public:
    bool Start() {
        launcher_ = LauncherCreate(WString(L""));
        if (!launcher_ ||
            LauncherStart(*launcher_, nullptr, GetModuleHandleW(nullptr)) != LauncherStartResult::kRunning)
            return false;
        context_ = launcher_->context;
        frame_ = AppGetFrameHwnd(launcher_->root.get());
        Ref<FrameWindow> frame = AppGetFrame(launcher_->root.get());
        view_ = FrameGetMainView(frame.get());
        if (!frame_ || !view_ || !view_->window()) return false;
        // What LauncherRunLoop does first, at a known size.
        ShowWindow(frame_, SW_SHOWNORMAL);
        RECT outer = {}, client = {};
        GetWindowRect(frame_, &outer);
        GetClientRect(frame_, &client);
        SetWindowPos(frame_, nullptr, 0, 0, kFrameClientWidth + (outer.right - outer.left) - client.right,
                     kFrameClientHeight + (outer.bottom - outer.top) - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER);
        UpdateWindow(frame_);
        if (!WindowSubclassAdd(view_->window(), &Program::WatchView, 1, reinterpret_cast<DWORD_PTR>(this)))
            return false;
        return PumpUntilIdle();
    }
    ~Program() {
        if (view_ && view_->window()) WindowSubclassRemove(view_->window(), &Program::WatchView, 1);
        view_.Reset();
        context_.Reset();
        if (launcher_) LauncherExit(*launcher_);
    }

    ViewerContext* context() const { return context_.get(); }
    MainViewWindow* view() const { return view_.get(); }

    bool Execute(const std::wstring& command) {
        return DdeRunExecute(context_.get(), WString(command.c_str())) == DdeOutcome::kDone;
    }
    // A menu or accelerator command, as the frame receives it.
    void Command(uint32_t id) { SendMessageW(frame_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    // Dispatches messages as the program's loop does until `done` holds
    // (checked after every message) or the time runs out.
    bool PumpUntil(const std::function<bool()>& done, double timeout_ms = kStateTimeoutMs) {
        const double deadline = NowMs() + timeout_ms;
        for (;;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return false;
                const HACCEL table = AppGetAccelerators(launcher_->root.get());
                if (!table || !TranslateAcceleratorW(frame_, table, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
                if (done()) return true;
            }
            if (done()) return true;
            const double left = deadline - NowMs();
            if (left <= 0) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(std::min(left, 20.0)), QS_ALLINPUT);
        }
    }
    // Until a pass finds no message at all: every paint, posted event and
    // sent notification that the last action caused has run.
    bool PumpUntilIdle(double timeout_ms = kStateTimeoutMs) {
        const double deadline = NowMs() + timeout_ms;
        for (;;) {
            MSG message;
            bool any = false;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return false;
                any = true;
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (!any && !GetQueueStatus(QS_ALLINPUT)) return true;
            if (NowMs() > deadline) return false;
        }
    }

    // Runs `action`, then pumps until the view's next complete paint and
    // on until idle. False when neither came in time.
    struct Timing {
        double painted_ms = 0;
        double idle_ms = 0;
        double paint_ms = 0;  // the complete paint's own WM_PAINT
    };
    bool Time(const std::function<bool()>& action, Timing& out) {
        const int before = complete_paints_;
        const double start = NowMs();
        if (!action()) return false;
        if (!PumpUntil([&] { return complete_paints_ > before; })) return false;
        out.painted_ms = last_complete_paint_ - start;
        out.paint_ms = last_paint_duration_;
        if (!PumpUntilIdle()) return false;
        out.idle_ms = NowMs() - start;
        return true;
    }
    // Runs `action` and waits, untimed, until the view shows its result.
    bool Settle(const std::function<bool()>& action) {
        Timing ignored;
        return Time(action, ignored);
    }

    Ref<DocItem> ActivePage() const { return ViewerGetActiveItem(context_.get()); }
    Ref<ViewMapping> Mapping() const {
        ScopedLock hold(view_->lock);
        return view_->mapping;
    }
    SizeI TargetSize() const { return MainViewGetTargetRect(view_.get()).size; }

  private:
    // The view shows the active page as its state asks: the mapping and the
    // cached picture are the active page's and agree in every change that
    // the cache may serve by adapting its picture.
    bool ShowsActivePage() {
        const int32_t active = ViewerGetActiveItemId(context_.get());
        ScopedLock hold(view_->lock);
        if (!view_->mapping || view_->mapping->page_id != active) return false;
        if (!view_->cache || view_->cache->page_id != active) return false;
        ScopedLock hold_entry(view_->cache->lock);
        const PagePlacement& shown = view_->cache->placement;
        const PagePlacement& asked = view_->mapping->placement;
        return view_->cache->image && shown.rotation == asked.rotation && shown.invert == asked.invert &&
               shown.flip_x == asked.flip_x && shown.flip_y == asked.flip_y;
    }

    static LRESULT CALLBACK WatchView(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                      DWORD_PTR data) {
        const double start = NowMs();
        const LRESULT result = WindowSubclassNext(window, message, wparam, lparam);
        if (message == WM_PAINT) {
            auto* program = reinterpret_cast<Program*>(data);
            if (program->ShowsActivePage()) {
                program->last_complete_paint_ = NowMs();
                program->last_paint_duration_ = program->last_complete_paint_ - start;
                ++program->complete_paints_;
            }
        }
        return result;
    }

    std::unique_ptr<Launcher> launcher_;
    Ref<ViewerContext> context_;
    Ref<MainViewWindow> view_;
    HWND frame_ = nullptr;
    int complete_paints_ = 0;
    double last_complete_paint_ = 0;
    double last_paint_duration_ = 0;
};

std::wstring FileOpenCommand(const std::wstring& path) { return L"FileOpen(\"" + path + L"\")"; }

// The active page rendered alone for the placement (the view's request, as
// the view would make it on a cache miss), in milliseconds; -1 on failure.
double TimeRender(Program& program, const PagePlacement& placement) {
    Ref<DocItem> page = program.ActivePage();
    if (!page) return -1;
    PagePlacement request = placement;
    Ref<Settings> settings = ViewerGetSettings(program.context());
    if (settings && !SettingsGetUsePreviewInfo(settings.get())) request.flags |= kPlacementFullSizeImage;
    ImageStatus status;
    const double start = NowMs();
    Ref<RasterImage> image = page->RenderPage(program.context(), request, nullptr, &status);
    const double elapsed = NowMs() - start;
    return image ? elapsed : -1;
}

void PrintRow(const char* name, const char* action, const std::vector<double>& painted,
              const std::vector<double>& idle, const std::vector<double>& paint, double render_ms,
              const SizeI& view) {
    std::printf(
        "case=%s action=%s median_ms=%.2f min_ms=%.2f first_ms=%.2f idle_ms=%.2f paint_ms=%.2f "
        "render_ms=%.2f runs=%zu view=%dx%d\n",
        name, action, Median(painted), Minimum(painted), painted.empty() ? 0 : painted[0], Median(idle),
        Median(paint), render_ms, painted.size(), view.width, view.height);
    std::fflush(stdout);
}

int RunOpen(Program& program, const std::wstring& path, int runs) {
    std::vector<double> painted, idle, paint, renders;
    for (int i = 0; i < runs; ++i) {
        Program::Timing timing;
        if (!program.Time([&] { return program.Execute(FileOpenCommand(path)); }, timing)) {
            std::fprintf(stderr, "FileOpen did not end in a complete paint\n");
            return 1;
        }
        painted.push_back(timing.painted_ms);
        idle.push_back(timing.idle_ms);
        paint.push_back(timing.paint_ms);
        Ref<ViewMapping> mapping = program.Mapping();
        const double render = mapping ? TimeRender(program, mapping->placement) : -1;
        if (render < 0) {
            std::fprintf(stderr, "the page did not render alone\n");
            return 1;
        }
        renders.push_back(render);
        if (!program.Execute(L"FileCloseAll()") || !program.PumpUntilIdle()) return 1;
    }
    PrintRow("open", "first_paint", painted, idle, paint, Median(renders), program.TargetSize());
    return 0;
}

// One action, timed `runs` times; `prepare` (untimed) sets the state before
// each run.
bool TimeAction(Program& program, const char* name, int runs, const std::function<bool()>& prepare,
                const std::function<bool()>& action, double render_ms, const char* group = "actions") {
    std::vector<double> painted, idle, paint;
    for (int i = 0; i < runs; ++i) {
        if (prepare && !prepare()) {
            std::fprintf(stderr, "%s: the state before the action was not reached\n", name);
            return false;
        }
        Program::Timing timing;
        if (!program.Time(action, timing)) {
            std::fprintf(stderr, "%s: no complete paint\n", name);
            return false;
        }
        painted.push_back(timing.painted_ms);
        idle.push_back(timing.idle_ms);
        paint.push_back(timing.paint_ms);
    }
    PrintRow(group, name, painted, idle, paint, render_ms, program.TargetSize());
    return true;
}

int RunActions(Program& program, const std::wstring& path, int runs) {
    if (!program.Settle([&] { return program.Execute(FileOpenCommand(path)); })) return 1;
    ViewerContext* context = program.context();
    // The baseline: the active page fitted into the view, rendered afresh.
    std::vector<double> renders;
    Ref<ViewMapping> fitted = program.Mapping();
    for (int i = 0; fitted && i < runs; ++i) renders.push_back(TimeRender(program, fitted->placement));
    if (renders.empty() || Minimum(renders) < 0) return 1;
    const double render_ms = Median(renders);
    PrintRow("actions", "render_to_screen", renders, renders, renders, render_ms, program.TargetSize());

    auto command = [&](uint32_t id) {
        return [&program, id] {
            program.Command(id);
            return true;
        };
    };
    // The page's fitted, upright, positive view, as opened.
    auto reset = [&] {
        ViewerRotatePage(context, -1, 0, true);
        ViewerSetInverted(context, -1, false, true);
        ViewerMirrorHorizontal(context, -1, false, true);
        ViewerZoomAll(context, kCallerInternal, -1);
        return program.PumpUntilIdle();
    };
    const int page_runs = std::min(runs, 19);  // a 20-page document
    if (!TimeAction(program, "next_page", page_runs, nullptr, command(command::kNextPage), render_ms) ||
        !TimeAction(program, "rotate_90", runs, nullptr, command(command::kRotateRight), render_ms) ||
        !reset() || !TimeAction(program, "invert", runs, nullptr, command(command::kInvert), render_ms) ||
        !reset() ||
        !TimeAction(program, "mirror", runs, nullptr, command(command::kMirrorHorizontal), render_ms) ||
        !reset()) {
        return 1;
    }
    // 1:1: one page pixel per view pixel, the view's size in the page's
    // bottom right corner, where a single-strip sheet must be decoded whole.
    Ref<DocItem> page = program.ActivePage();
    Ref<PageMetrics> metrics = page ? page->GetPageMetrics(context) : nullptr;
    Ref<CutOutState> cut_out = page ? page->GetCutOut() : nullptr;
    if (!metrics || !cut_out || metrics->dpi_x <= 0 || metrics->dpi_y <= 0) return 1;
    const SizeD page_size = CutOutGetPageSize(cut_out.get());
    const SizeI view = program.TargetSize();
    RectD corner;
    corner.size = {view.width * 25.4 / metrics->dpi_x, view.height * 25.4 / metrics->dpi_y};
    corner.origin = {page_size.width - corner.size.width, page_size.height - corner.size.height};
    auto zoom_to_corner = [&] { return ViewerSetCutOut(context, kCallerAutomation, -1, corner, false); };
    if (!TimeAction(program, "zoom_1to1_corner", runs, reset, zoom_to_corner, render_ms)) return 1;
    // A check of the zoom: view pixels per page pixel, 1 at 1:1.
    if (Ref<ViewMapping> zoomed = program.Mapping()) {
        std::printf("case=actions action=zoom_check view_pixels_per_page_pixel=%.4f\n",
                    PagePlacementScaleX(zoomed->placement) * 25.4 / metrics->dpi_x);
    }
    // A page up of the vertical bar (8 of the 10 steps that one view's
    // height makes), each from the freshly zoomed corner.
    auto zoomed = [&] { return reset() && program.Settle(zoom_to_corner); };
    auto page_up = [&] {
        MainViewWindow* view_window = program.view();
        SendMessageW(view_window->window(), WM_VSCROLL, MAKEWPARAM(SB_PAGEUP, 0),
                     reinterpret_cast<LPARAM>(view_window->vertical_bar));
        return true;
    };
    if (!TimeAction(program, "scroll_screen", runs, zoomed, page_up, render_ms)) return 1;
    return 0;
}

int RunMemory(Program& program, const std::wstring& path) {
    const PROCESS_MEMORY_COUNTERS empty = Memory();
    const bool reset = ResetPeakWorkingSet();
    if (!program.Settle([&] { return program.Execute(FileOpenCommand(path)); })) return 1;
    const PROCESS_MEMORY_COUNTERS shown = Memory();
    Ref<DocItem> page = program.ActivePage();
    Ref<PageMetrics> metrics = page ? page->GetPageMetrics(program.context()) : nullptr;
    Ref<CutOutState> cut_out = page ? page->GetCutOut() : nullptr;
    if (!metrics || !cut_out) return 1;
    const SizeD size = CutOutGetPageSize(cut_out.get());
    const uint64_t width = uint64_t(size.width * metrics->dpi_x / 25.4 + 0.5);
    const uint64_t height = uint64_t(size.height * metrics->dpi_y / 25.4 + 0.5);
    const uint64_t bitmap = (width + 31) / 32 * 4 * height;
    std::printf(
        "case=memory ws_empty=%llu ws_shown=%llu peak=%llu peak_reset=%d page=%llux%llu bitmap=%llu "
        "view=%dx%d\n",
        static_cast<unsigned long long>(empty.WorkingSetSize),
        static_cast<unsigned long long>(shown.WorkingSetSize),
        static_cast<unsigned long long>(shown.PeakWorkingSetSize), reset ? 1 : 0,
        static_cast<unsigned long long>(width), static_cast<unsigned long long>(height),
        static_cast<unsigned long long>(bitmap), program.TargetSize().width, program.TargetSize().height);
    return 0;
}

int RunConvert(Program& program, const std::wstring& path, const std::wstring& target, bool pdf, int runs) {
    // Convert(source, target, format, PDF mode, TIFF layout, rotation, -,
    // description): every page Group 4, one strip per page, as stored.
    const std::wstring command =
        L"Convert(\"" + path + L"\",\"" + target + L"\",\"" + (pdf ? L"PDF" : L"TIFF") + L"\",1,0,0,0,\"\")";
    std::vector<double> times;
    uint64_t base = 0, peak = 0;
    bool reset = true;
    for (int i = 0; i < runs; ++i) {
        DeleteFileW(target.c_str());
        const uint64_t before = Memory().WorkingSetSize;
        reset = ResetPeakWorkingSet() && reset;
        const double start = NowMs();
        if (!program.Execute(command)) {
            std::fprintf(stderr, "Convert failed\n");
            return 1;
        }
        times.push_back(NowMs() - start);
        // The highest peak of the runs, with the working set it started from.
        const uint64_t run_peak = Memory().PeakWorkingSetSize;
        if (run_peak > peak) {
            peak = run_peak;
            base = before;
        }
        if (!program.PumpUntilIdle()) return 1;
    }
    PrintRow(pdf ? "convert-pdf" : "convert-tiff", "convert", times, times, times, 0, program.TargetSize());
    std::printf("case=convert-memory base=%llu peak=%llu peak_reset=%d\n",
                static_cast<unsigned long long>(base), static_cast<unsigned long long>(peak), reset ? 1 : 0);
    return 0;
}

// ---- Markups

// 1,000 markups in a grid of 25 columns and 40 rows over the page, the
// seven kinds in turn, each in a cell of its own so that a press in a
// note's middle finds that note.
constexpr int kMarkupColumns = 25;
constexpr int kMarkupRows = 40;
// The note the drag moves: row 20, column 10 (index 510, a note), near the
// middle of the sheet.
constexpr int kMovedMarkupIndex = 20 * kMarkupColumns + 10;

std::wstring Number(double value) {
    wchar_t text[32];
    _snwprintf(text, 32, L"%.3f", value);
    text[31] = 0;
    return text;
}

std::wstring PointText(double x, double y) { return Number(x) + L":" + Number(y); }

// The markup's cell in page millimetres (left, top, width, height), inset.
RectD MarkupCell(int index, const SizeD& page) {
    const double width = page.width / kMarkupColumns, height = page.height / kMarkupRows;
    const int column = index % kMarkupColumns, row = index / kMarkupColumns;
    RectD cell;
    cell.origin = {column * width + width * 0.1, row * height + height * 0.1};
    cell.size = {width * 0.8, height * 0.8};
    return cell;
}

Ref<RedlineObject> MakeMarkup(int index, const SizeD& page) {
    const int32_t type = index % 7 + 1;
    const RectD cell = MarkupCell(index, page);
    const double x = cell.origin.x, y = cell.origin.y, w = cell.size.width, h = cell.size.height;
    const std::wstring box = PointText(x, y) + L":" + PointText(x + w, y + h);
    const std::wstring label = std::to_wstring(index + 1);
    PtrArray attributes(4, true);
    auto add = [&](Ref<RedlineAttribute> attribute) { PtrArrayAdd(attributes, attribute.get()); };
    constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00A000;
    std::wstring geometry;
    switch (type) {
        case redline_type::kText:
            geometry = PointText(x, y) + L":" + PointText(x + 1, y + 1);
            add(MakeRef<FontAttr>(4.0f, false, index % 2 == 0, false, false, kBlue));
            add(MakeRef<TextAttr>(WString((L"Check " + label).c_str())));
            break;
        case redline_type::kLine:
            geometry = PointText(x, y + h) + L":" + PointText(x + w, y);
            add(MakeRef<LineAttr>(false, kRed, 0, 0.5f));
            add(MakeRef<LineEndsAttr>(0, 1));
            break;
        case redline_type::kRectangle:
            geometry = box;
            add(MakeRef<LineAttr>(false, kRed, 0, 0.7f));
            break;
        case redline_type::kEllipse:
            geometry = box;
            add(MakeRef<LineAttr>(false, kBlue, 0, 0.5f));
            add(MakeRef<FillAttr>(index % 2 != 0, 0xC0FFC0));
            break;
        case redline_type::kPolygon:
            geometry = L"5:" + PointText(x + w / 2, y) + L":" + PointText(x + w, y + h * 0.4) + L":" +
                       PointText(x + w * 0.8, y + h) + L":" + PointText(x + w * 0.2, y + h) + L":" +
                       PointText(x, y + h * 0.4);
            add(MakeRef<LineAttr>(false, kGreen, 0, 0.5f));
            add(MakeRef<FillAttr>(false, 0xFFE0C0));
            break;
        case redline_type::kMultiLine:
            geometry = L"4:" + PointText(x, y) + L":" + PointText(x + w / 3, y + h) + L":" +
                       PointText(x + w * 2 / 3, y) + L":" + PointText(x + w, y + h);
            add(MakeRef<LineAttr>(false, kRed, 0, 0.35f));
            break;
        default:  // note
            geometry = box;
            add(MakeRef<TextAttr>(WString((L"Note " + label).c_str())));
            break;
    }
    return CreateRedlineObjectFromData(3, index + 1, type, index, attributes, WString(geometry.c_str()));
}

// The document's companion file (its name with ".PLR"), holding the
// markups on its first page, written `saves` times (each save timed into
// `save_ms`); the page's size in millimetres in `page`.
bool WriteMarkups(const std::wstring& path, SizeD& page, int saves, std::vector<double>& save_ms) {
    Ref<DataSource> source = DataSourceOpenFile(WString(path.c_str()), false);
    ImageStatus status;
    Ref<ImageFormat> format = source ? ImageParseFile(&status, source.get(), 0) : nullptr;
    Ref<ImagePage> first = format ? format->GetPage(0) : nullptr;
    if (!first) return false;
    page = {first->WidthMm(), first->HeightMm()};
    Ref<RedlineDocument> document = RedlineDocumentCreate();
    Ref<RedlinePage> markup_page = MakeRef<RedlinePage>();
    markup_page->page_index = 0;
    markup_page->CreateLayer();
    PtrArrayAdd(document->pages, markup_page.get());
    Ref<RedlineLayer> layer = markup_page->GetLayer(0);
    for (int i = 0; layer && i < kMarkupColumns * kMarkupRows; ++i) {
        Ref<RedlineObject> object = MakeMarkup(i, page);
        if (!object || !layer->objects.Add(object.get())) return false;
    }
    const size_t dot = path.find_last_of(L'.');
    const std::wstring companion = path.substr(0, dot) + L".PLR";
    if (!layer) return false;
    for (int i = 0; i < saves; ++i) {
        const double start = NowMs();
        if (!RedlineSaveFile(document.get(), WString(companion.c_str()))) return false;
        save_ms.push_back(NowMs() - start);
    }
    return true;
}

// The main view's markups drawn straight into a memory bitmap of the view's
// size: RedlinePaint with the main view's purpose, as the view's paint calls it.
class MarkupCanvas {
  public:
    explicit MarkupCanvas(const SizeI& size) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size.width;
        info.bmiHeader.biHeight = -size.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
    }
    ~MarkupCanvas() {
        if (dc_ && old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    MarkupCanvas(const MarkupCanvas&) = delete;
    MarkupCanvas& operator=(const MarkupCanvas&) = delete;
    HDC dc() const { return old_ ? dc_ : nullptr; }

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

int RunMarkups(Program& program, const std::wstring& path, int runs) {
    SizeD page_size;
    std::vector<double> saves;
    if (!WriteMarkups(path, page_size, runs, saves)) {
        std::fprintf(stderr, "the markups could not be written\n");
        return 1;
    }
    if (!program.Settle([&] { return program.Execute(FileOpenCommand(path)); })) return 1;
    MainViewWindow* view = program.view();
    RedlineView* markups = RedlineMarkupsViewOf(view->markups.get());
    Ref<RedlineLayer> layer = markups ? RedlineViewGetLayer(markups) : nullptr;
    const uint32_t count = layer ? layer->objects.Count() : 0;
    if (count != uint32_t(kMarkupColumns * kMarkupRows)) {
        std::fprintf(stderr, "the view shows %u markups\n", count);
        return 1;
    }
    Ref<ViewMapping> mapping = program.Mapping();
    std::vector<double> renders;
    for (int i = 0; mapping && i < runs; ++i) renders.push_back(TimeRender(program, mapping->placement));
    if (renders.empty() || Minimum(renders) < 0) return 1;
    const double render_ms = Median(renders);
    PrintRow("markups", "render_to_screen", renders, renders, renders, render_ms, program.TargetSize());
    PrintRow("markups", "save", saves, saves, saves, render_ms, program.TargetSize());

    auto repaint = [view](bool anew) {
        return [view, anew] {
            if (anew) view->markups->DropCache();
            InvalidateRect(view->window(), nullptr, FALSE);
            return true;
        };
    };
    if (!TimeAction(program, "first_paint", runs, nullptr, repaint(true), render_ms, "markups") ||
        !TimeAction(program, "cached_paint", runs, nullptr, repaint(false), render_ms, "markups")) {
        return 1;
    }

    // RedlinePaint alone, into a bitmap of the view's size: drawn anew (the
    // cache dropped first) and from the cached picture.
    MarkupCanvas canvas(program.TargetSize());
    if (!canvas.dc()) return 1;
    auto paint_alone = [&](const char* anew_name, const char* cached_name) {
        std::vector<double> anew, cached;
        for (int i = 0; i < runs; ++i) {
            view->markups->DropCache();
            double start = NowMs();
            if (!view->markups->Paint(program.context(), canvas.dc(), markup_purpose::kMainView, false,
                                      false))
                return false;
            anew.push_back(NowMs() - start);
            start = NowMs();
            view->markups->Paint(program.context(), canvas.dc(), markup_purpose::kMainView, false, false);
            cached.push_back(NowMs() - start);
        }
        PrintRow("markups", anew_name, anew, anew, anew, render_ms, program.TargetSize());
        if (cached_name)
            PrintRow("markups", cached_name, cached, cached, cached, render_ms, program.TargetSize());
        return true;
    };
    if (!paint_alone("redline_paint_anew", "redline_paint_cached")) return 1;

    // Select mode; the mouse rests on the note, presses and drags it to and
    // fro by a few pixels; each step moves it and its picture is drawn anew.
    if (!program.Settle([&] {
            program.Command(command::kRedlineSelect);
            InvalidateRect(view->window(), nullptr, FALSE);
            return true;
        }) ||
        ViewerGetRedliningMode(program.context()) != kRedliningModeSelect) {
        std::fprintf(stderr, "select mode was not reached\n");
        return 1;
    }
    Ref<RedlineObject> moved = layer->objects.GetAt(kMovedMarkupIndex);
    const RectD cell = MarkupCell(kMovedMarkupIndex, page_size);
    const PointI grip = ViewMapPageToDevice(
        mapping.get(), PointD{cell.origin.x + cell.size.width / 2, cell.origin.y + cell.size.height / 2});
    auto mouse = [&](UINT message, WPARAM keys, const PointI& at) {
        SendMessageW(view->window(), message, keys, MAKELPARAM(at.x, at.y));
    };
    PointD before;
    if (!moved || moved->GetType() != redline_type::kNote) return 1;
    moved->GetPosition(before);
    mouse(WM_MOUSEMOVE, 0, grip);
    if (!program.PumpUntilIdle() || RedlineViewGetToolObject(markups).get() != moved.get()) {
        std::fprintf(stderr, "the mouse does not rest on the note\n");
        return 1;
    }
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, grip);
    if (!program.PumpUntilIdle()) return 1;
    int step = 0;
    auto drag = [&] {
        ++step;
        mouse(WM_MOUSEMOVE, MK_LBUTTON, PointI{grip.x + (step % 2 ? 4 : 0), grip.y + (step % 2 ? 3 : 0)});
        return true;
    };
    const bool dragged = TimeAction(program, "move_repaint", runs, nullptr, drag, render_ms, "markups");
    PointD after;
    moved->GetPosition(after);
    // The same paint alone while the note is held: the overlay of the
    // selection and the object under the mouse comes with it.
    if (dragged && !paint_alone("redline_paint_dragging", nullptr)) return 1;
    mouse(WM_LBUTTONUP, 0, PointI{grip.x + (step % 2 ? 4 : 0), grip.y + (step % 2 ? 3 : 0)});
    program.PumpUntilIdle();
    std::printf("case=markups action=move_check markups=%u moved_mm=%.3f,%.3f view=%dx%d\n", count,
                after.x - before.x, after.y - before.y, program.TargetSize().width,
                program.TargetSize().height);
    return dragged ? 0 : 1;
}

// ---- Printing

// The highest working set of the process while the sampler lives, read
// every millisecond by a thread of its own. The peak counter cannot be reset
// from here: Wine's server opens the files a process asks for, so the write
// of ResetPeakWorkingSet lands in the server's /proc/self/clear_refs, not in
// this process's, and the counter keeps the process's lifetime peak.
class WorkingSetSampler {
  public:
    WorkingSetSampler() : peak_(Memory().WorkingSetSize) {
        thread_ = CreateThread(nullptr, 0, &WorkingSetSampler::Run, this, 0, nullptr);
        if (thread_) SetThreadPriority(thread_, THREAD_PRIORITY_ABOVE_NORMAL);
    }
    ~WorkingSetSampler() { Stop(); }
    WorkingSetSampler(const WorkingSetSampler&) = delete;
    WorkingSetSampler& operator=(const WorkingSetSampler&) = delete;
    // The peak up to now; the sampling ends.
    uint64_t Stop() {
        stop_.store(true);
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        Sample();
        return peak_.load();
    }
    bool sampling() const { return thread_ != nullptr; }
    // The highest private (committed) bytes seen; Wine reports them as the
    // page-file usage.
    uint64_t private_peak() const { return private_peak_.load(); }

  private:
    void Sample() {
        const PROCESS_MEMORY_COUNTERS now = Memory();
        if (now.WorkingSetSize > peak_.load()) peak_.store(now.WorkingSetSize);
        if (now.PagefileUsage > private_peak_.load()) private_peak_.store(now.PagefileUsage);
    }
    static DWORD WINAPI Run(void* argument) {
        auto* self = static_cast<WorkingSetSampler*>(argument);
        while (!self->stop_.load()) {
            self->Sample();
            Sleep(1);
        }
        return 0;
    }

    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> peak_;
    std::atomic<uint64_t> private_peak_{Memory().PagefileUsage};
    HANDLE thread_ = nullptr;
};

std::string Narrow(const WString& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, WStrCStr(text), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, WStrCStr(text), -1, out.data(), n, nullptr, nullptr);
    out.resize(size_t(n - 1));
    return out;
}

constexpr wchar_t kTestPrinter[] = L"PlovexTest";
constexpr double kPrintFileTimeoutMs = 120000;

// Whether the file ends a whole PostScript document (the queue's backend
// writes it as the job goes through CUPS).
bool PostScriptComplete(const std::wstring& file, uint64_t& size) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length = {};
    char tail[64] = {};
    DWORD read = 0;
    bool complete = false;
    if (GetFileSizeEx(handle, &length) && length.QuadPart > 0) {
        LARGE_INTEGER at;
        at.QuadPart = std::max<LONGLONG>(0, length.QuadPart - LONGLONG(sizeof tail - 1));
        if (SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) &&
            ReadFile(handle, tail, sizeof tail - 1, &read, nullptr)) {
            tail[read] = 0;
            complete = std::strstr(tail, "%%EOF") != nullptr;
        }
        size = uint64_t(length.QuadPart);
    }
    CloseHandle(handle);
    return complete;
}

int RunPrint(Program& program, const std::wstring& path, const std::wstring& output, int runs,
             const std::wstring& printer) {
    if (!program.Settle([&] { return program.Execute(FileOpenCommand(path)); })) return 1;
    ViewerContext* context = program.context();
    Ref<WinPrintProvider> provider = MakeRef<WinPrintProvider>(L"Windows printing");
    if (!provider->Init() || !provider->SelectPrinter(context, WString(printer.c_str()))) {
        std::fprintf(stderr, "no printer %ls among %u (tools/setup starts it; cupsd before the wineserver)\n",
                     printer.c_str(), provider->GetPrinterCount());
        return 1;
    }
    // The largest paper the printer offers.
    int32_t largest = -1;
    double largest_area = 0;
    for (uint32_t i = 0; i < provider->GetPaperCount(); ++i) {
        Ref<PaperEntry> paper = provider->GetPaperAt(i);
        const double area = paper ? paper->width_mm * paper->height_mm : 0;
        if (area > largest_area) {
            largest_area = area;
            largest = int32_t(i);
        }
    }
    if (largest < 0 || !provider->SelectPaper(context, uint32_t(largest))) return 1;
    Ref<PaperEntry> paper = provider->GetPaperAt(uint32_t(largest));
    Ref<PrintableArea> area = provider->GetPrintableArea();
    Ref<PrintOptions> options = PrintOptionsCreate();
    options->fit = 0;
    options->cut_out_only = 0;
    options->ratio_numerator = options->ratio_denominator = 1;
    options->markups = 0;
    options->user_information = 0;
    PtrArray pages(1, true);
    Ref<DocItem> page = program.ActivePage();
    if (!page || !area) return 1;
    PtrArrayAdd(pages, page.get());

    // The part of the page the sheet shows, for the outside tool's run.
    Ref<PrintLayout> layout = PrintLayoutCompute(context, provider.get(), page.get(), *options, area.get(),
                                                 options->auto_orientation != 0);
    if (!layout) return 1;
    const PagePlacement& placed = layout->placement;
    // The page rendered alone for the layout, as the job renders it, before
    // any job: blocks a job's render leaves to the pool would serve it.
    const uint64_t render_base = Memory().WorkingSetSize;
    WorkingSetSampler render_sampler;
    ImageStatus status;
    double start = NowMs();
    Ref<RasterImage> image = page->RenderPage(context, layout->placement, nullptr, &status);
    const double render_ms = NowMs() - start;
    const uint64_t render_peak = render_sampler.Stop();
    // A grey or colour sheet at the printer's resolution may be more than
    // the process can hold (bits=0): the job renders it in bands only.
    std::printf("case=print-render render_ms=%.2f base=%llu peak=%llu bits=%u\n", render_ms,
                static_cast<unsigned long long>(render_base), static_cast<unsigned long long>(render_peak),
                image ? image->bits_per_pixel : 0u);
    image = nullptr;
    // The bands the job renders for this sheet, each alone: what rendering
    // in bands costs against the one render above (a one-strip or JPEG
    // source is decoded from its top for every band).
    const BandSource source = PrintBandSourceOf(page.get());
    const std::vector<PrintBand> bands = PrintBandsSplit(layout->placement, source);
    std::vector<double> band_ms;
    for (const PrintBand& band : bands) {
        const double band_start = NowMs();
        Ref<RasterImage> part = page->RenderPage(context, band.placement, nullptr, &status);
        band_ms.push_back(NowMs() - band_start);
        if (!part) return 1;
    }
    double bands_total = 0;
    for (double ms : band_ms) bands_total += ms;
    std::printf(
        "case=print-bands count=%u total_ms=%.2f first_ms=%.2f last_ms=%.2f whole_ms=%.2f source_bits=%u\n",
        unsigned(bands.size()), bands_total, band_ms.empty() ? 0.0 : band_ms.front(),
        band_ms.empty() ? 0.0 : band_ms.back(), render_ms, unsigned(source.bits_per_pixel));
    std::vector<double> job_times, file_times;
    uint64_t size = 0, base = 0, peak = 0, private_base = 0, private_peak = 0;
    bool sampled = true;
    for (int i = 0; i < runs; ++i) {
        Ref<PrintJob> job = PrintJobCreate(context, provider.get(), pages, *options, *provider->GetDevice());
        if (!job) return 1;
        DeleteFileW(output.c_str());
        if (GetFileAttributesW(output.c_str()) != INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "the queue's file could not be removed\n");
            return 1;
        }
        const uint64_t before = Memory().WorkingSetSize, before_private = Memory().PagefileUsage;
        WorkingSetSampler sampler;
        sampled = sampler.sampling() && sampled;
        const double start = NowMs();
        if (!PrintJobStart(job.get()) || job->outcome.load() != PrintOutcome::kPrinted) {
            std::fprintf(stderr, "the job did not print (outcome %u)\n", unsigned(job->outcome.load()));
            return 1;
        }
        const double ended = NowMs();
        const uint64_t run_peak = sampler.Stop();
        bool complete = false;
        while (!(complete = PostScriptComplete(output, size)) && NowMs() - start < kPrintFileTimeoutMs)
            Sleep(5);
        if (!complete) {
            std::fprintf(stderr, "the PostScript file was not finished in time\n");
            return 1;
        }
        file_times.push_back(NowMs() - start);
        job_times.push_back(ended - start);
        if (run_peak > peak) {
            peak = run_peak;
            base = before;
        }
        if (sampler.private_peak() - before_private > private_peak - private_base) {
            private_peak = sampler.private_peak();
            private_base = before_private;
        }
        if (!program.PumpUntilIdle()) return 1;
    }
    PrintRow("print", "to_file", file_times, job_times, job_times, 0, program.TargetSize());
    std::printf("case=print-layout page_mm=%.3f,%.3f,%.3f,%.3f image=%ux%u rotation=%u\n",
                placed.rect.origin.x, placed.rect.origin.y, placed.rect.size.width, placed.rect.size.height,
                placed.pixel_width, placed.pixel_height, unsigned(placed.rotation));
    std::printf(
        "case=print-memory start=%llu base=%llu peak=%llu private_base=%llu private_peak=%llu sampled=%d "
        "size=%llu paper=%s paper_mm=%.0fx%.0f dpi=%.0fx%.0f\n",
        static_cast<unsigned long long>(render_base), static_cast<unsigned long long>(base),
        static_cast<unsigned long long>(peak), static_cast<unsigned long long>(private_base),
        static_cast<unsigned long long>(private_peak), sampled ? 1 : 0, static_cast<unsigned long long>(size),
        paper ? Narrow(paper->name).c_str() : "?", area->paper.width, area->paper.height,
        area->pixels_per_mm_x * 25.4, area->pixels_per_mm_y * 25.4);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: viewer_bench CASE FILE RUNS [TARGET]\n");
        return 2;
    }
    const std::string name = argv[1];
    const std::wstring path = Wide(argv[2]);
    const int runs = std::max(1, std::atoi(argv[3]));
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    RegistryRedirect registry;
    int result = 2;
    {
        Program program;
        if (!program.Start()) {
            std::fprintf(stderr, "the program did not start\n");
            return 1;
        }
        if (name == "open") {
            result = RunOpen(program, path, runs);
        } else if (name == "actions") {
            result = RunActions(program, path, runs);
        } else if (name == "memory") {
            result = RunMemory(program, path);
        } else if (name == "markups") {
            result = RunMarkups(program, path, runs);
        } else if (name == "print" && argc > 4) {
            registry.Suspend();
            result = RunPrint(program, path, Wide(argv[4]), runs, argc > 5 ? Wide(argv[5]) : kTestPrinter);
            registry.Resume();
        } else if ((name == "convert-tiff" || name == "convert-pdf") && argc > 4) {
            result = RunConvert(program, path, Wide(argv[4]), name == "convert-pdf", runs);
        } else {
            std::fprintf(stderr, "unknown case %s\n", name.c_str());
        }
    }
    return result;
}
