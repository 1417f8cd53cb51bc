#include "viewer/dde/dde_execute.h"

#include <cmath>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "viewer/app/page_navigation.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/command_line.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/frame_messages.h"
#include "viewer/core/open_params.h"
#include "viewer/core/open_request.h"
#include "viewer/core/settings.h"
#include "viewer/core/view_operations.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_command_parser.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/export/convert_source.h"
#include "viewer/export/document_export.h"

namespace {

struct Command {
    ViewerContext* context;
    int32_t count;
    Variant args[kDdeMaxArguments];
    WString texts[kDdeMaxArguments];  // each argument as it came

    bool HasText(int32_t i) const { return i < count && WStrLength(texts[i]) > 0; }
};

bool FileOpen(Command& command) {
    if (!command.HasText(0)) return false;
    Ref<OpenParams> params = CmdLineOpenParamsFor(command.texts[2], command.texts[1]);
    // Loading runs on: a path that cannot be read shows as a failed document
    // in the tree, so only a refused open answers false.
    return ViewerOpenDocument(command.context, command.texts[0], params.get(), kOpenRemote) >= 0;
}

bool FileOpenCmdLine(Command& command) {
    Ref<CmdLine> command_line = CmdLineCreate(command.count > 0 ? WStrCStr(command.texts[0]) : L"");
    Variant argument;
    VariantInitObject(argument, command_line.get());
    ViewerSendActionArg(command.context, event::kOpenCommandLine, argument);
    return true;
}

bool FileClose(Command& command) {
    if (command.count == 0 || DdeArgIsEmpty(command.args[0])) return ViewerCloseDocument(command.context, -1);
    Ref<DocItem> item = DdeFindItem(command.context, command.args[0], command.texts[0], false);
    return item && ViewerCloseDocument(command.context, DocItemGetId(item.get()));
}

bool FileCloseAll(Command& command) {
    ViewerCloseAll(command.context);
    return true;
}

bool SetActPage(Command& command) {
    if (command.count == 0) return false;
    Ref<DocItem> item = DdeFindItem(command.context, command.args[0], command.texts[0], false);
    if (!item) return false;
    if (DdeIsPage(item.get())) return ViewerActivateItem(command.context, DocItemGetId(item.get()));

    int32_t page = 0;
    if (command.count > 1 && !DdeArgIsEmpty(command.args[1])) {
        // A page that is no non-negative int32 (negative, text, a fraction,
        // too many digits) counts as the first one.
        if (!DdeArgInt(command.args[1], page) || page < 0) page = 0;
    }
    Ref<DocItem> target = DocItemGetChild(item.get(), static_cast<uint32_t>(page));
    return DdeIsPage(target.get()) && ViewerActivateItem(command.context, DocItemGetId(target.get()));
}

bool AppActivate(Command& command) { return BringWindowToFront(ViewerGetFrameHwnd(command.context)); }

bool SetCutOut3(Command& command) {
    if (command.count < 5) return false;
    Ref<DocItem> page =
        DdePageOf(DdeFindItem(command.context, command.args[0], command.texts[0], false).get());
    if (!page) return false;
    double values[4];
    for (int32_t i = 0; i < 4; ++i) {
        if (!DdeArgNumber(command.args[1 + i], values[i])) return false;
    }
    // Without the unit flag the numbers are thousandths of a millimetre.
    int32_t unit_flag = 0;
    if (command.count > 7 && !DdeArgIsEmpty(command.args[7]) && !DdeArgInt(command.args[7], unit_flag)) {
        return false;
    }
    const bool relative = unit_flag != 0;
    const double scale = relative ? 1.0 : 0.001;
    RectD rect;
    rect.origin = {values[0] * scale, values[1] * scale};
    rect.size = {values[2] * scale, values[3] * scale};
    return ViewerSetCutOut(command.context, kCallerAutomation, DocItemGetId(page.get()), rect, relative);
}

// A non-negative whole number written with digits only.
bool DigitsArg(const Command& command, int32_t i, int32_t& out) {
    return WStrIsDigits(command.texts[i]) && DdeArgInt(command.args[i], out) && out >= 0;
}

// Convert(source, target, format, flag, compression, rotation, -,
// description): the flag is the PDF mode (1: every page Group 4), the
// compression code chooses the TIFF layout.
bool Convert(Command& command) {
    if (command.count != 8 || !command.HasText(0) || !command.HasText(1) || !command.HasText(2)) return false;
    const bool pdf = WStrEqualsNoCase(command.texts[2], L"PDF");
    if (!pdf && !WStrEqualsNoCase(command.texts[2], L"TIFF")) return false;
    int32_t flag = 0;
    int32_t compression = 0;
    int32_t rotation = 0;
    if (!DigitsArg(command, 3, flag) || !DigitsArg(command, 4, compression) ||
        !DigitsArg(command, 5, rotation)) {
        return false;
    }
    if (flag >= 2) return false;
    rotation %= 360;
    // The writers know quarter turns only.
    if (rotation % 90 != 0) return false;

    Ref<DocumentSource> source = ConvertLoadSource(command.context, command.texts[0], nullptr);
    Ref<ImageFormat> format = SourceGetFormat(source.get());
    Ref<DataSource> data = SourceGetData(source.get());
    if (!format || !data) return false;

    const WString& target = command.texts[1];
    const WString& description = command.texts[7];
    if (pdf) {
        return ExportPdf(format.get(), data.get(), target, static_cast<uint32_t>(flag),
                         static_cast<uint16_t>(rotation), nullptr, 0, description, nullptr);
    }
    const TiffLayout& layout = TiffLayoutFor(compression);
    ExtraTag tag;
    tag.tag = kTagImageDescription;
    tag.text = description;
    const uint32_t tag_count = WStrLength(description) > 0 ? 1 : 0;
    return ExportTiff(format.get(), data.get(), target, static_cast<uint32_t>(compression),
                      static_cast<uint16_t>(rotation), nullptr, 0, layout.tile_width, layout.rows,
                      layout.reduction_percent, &tag, tag_count, nullptr);
}

bool Quit(Command& command) {
    if constexpr (!kViewerProgramBuild) return false;
    // Sent: when the client has its answer the frame is closed. The DDE
    // instance ends only after the message loop, so the answer still goes out.
    // Changed markups are asked about as on any close; a user who cancels
    // keeps the program, and the peer is told it did not end.
    const HWND frame = ViewerGetFrameHwnd(command.context);
    if (!frame) return false;
    SendMessageW(frame, WM_CLOSE, 0, 0);
    return !IsWindow(frame);
}

struct CommandEntry {
    const wchar_t* name;
    bool (*run)(Command&);
};

constexpr CommandEntry kCommands[] = {
    {L"FileOpen", FileOpen},
    {L"FileOpenCmdLine", FileOpenCmdLine},
    {L"FileClose", FileClose},
    {L"FileCloseAll", FileCloseAll},
    {L"SetActPage", SetActPage},
    {L"AppActivate", AppActivate},
    {L"SetCutOut3", SetCutOut3},
    {L"Convert", Convert},
    {L"Quit", Quit},
};

}  // namespace

DdeOutcome DdeRunExecute(ViewerContext* context, const WString& text) {
    Command command{context, 0, {}, {}};
    WString name;
    command.count = DdeParseCommand(text, name, command.args, kDdeMaxArguments, command.texts);
    if (command.count < 0) return DdeOutcome::kInvalid;
    for (const CommandEntry& entry : kCommands) {
        if (!WStrEqualsNoCase(name, entry.name)) continue;
        if (!context) return DdeOutcome::kFailed;
        return entry.run(command) ? DdeOutcome::kDone : DdeOutcome::kFailed;
    }
    return DdeOutcome::kUnknown;
}
