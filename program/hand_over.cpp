#include "program/hand_over.h"

#include <windows.h>

#include "viewer/core/command_line.h"
#include "viewer/dde/dde_command_parser.h"
#include "viewer/dde/instance_link.h"

namespace {

constexpr wchar_t kCommandName[] = L"FileOpenCmdLine";

WString& Wrap(const WString& text, wchar_t quote, WString& out) {
    WString command = kCommandName;
    WStrAppendChar(command, L'(');
    WStrAppendChar(command, quote);
    WStrAppend(command, text);
    WStrAppendChar(command, quote);
    WStrAppendChar(command, L')');
    return WStrAssign(out, command);
}

// What the receiving viewer reads from the command: the argument that its
// DDE parser hands to FileOpenCmdLine, split as its command-line parser
// splits it, against the tokens of the text itself.
bool ArrivesIntact(const WString& command, const WString& text) {
    WString name;
    Variant arguments[kDdeMaxArguments];
    WString texts[kDdeMaxArguments];
    const int32_t count = DdeParseCommand(command, name, arguments, kDdeMaxArguments, texts);
    if (count < 1 || !WStrEquals(name, kCommandName)) return false;
    WString received;
    WString expected;
    TokenizeCommandLine(texts[0], received);
    TokenizeCommandLine(text, expected);
    return WStrEquals(received, expected);
}

}  // namespace

bool HandOverBuildCommand(const WString& text, WString& out) {
    WStrClear(out);
    if (WStrFindChar(text, L'\'') < 0) {
        WString single = text;
        WStrReplaceChar(single, L'"', L'\'');
        Wrap(single, L'"', out);
        return true;
    }
    for (const wchar_t quote : {L'"', L'\''}) {
        WString command;
        if (ArrivesIntact(Wrap(text, quote, command), text)) {
            out = command;
            return true;
        }
    }
    return false;
}

bool HandOverSend(const WString& service, const WString& command) {
    for (uint32_t attempt = 0; attempt < kHandOverAttempts; ++attempt) {
        if (attempt > 0) Sleep(kHandOverPauseMs);
        Ref<InstanceLink> link = InstanceLinkConnect(service);
        if (!link || !InstanceLinkExecute(link.get(), command)) continue;
        // The running viewer may take the foreground only when this process,
        // which the user just started, lets it.
        AllowSetForegroundWindow(ASFW_ANY);
        InstanceLinkAppActivate(link.get());
        return true;
    }
    return false;
}
