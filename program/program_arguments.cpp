#include "program/program_arguments.h"

#include <windows.h>

WString& ProgramArguments(const wchar_t* command_line, WString& out) {
    if (!command_line) return WStrClear(out);
    const wchar_t* rest = command_line;
    if (*rest == L'"') {
        // The name ends at the closing quote; nothing in it is an escape.
        ++rest;
        while (*rest && *rest != L'"') ++rest;
        if (*rest == L'"') ++rest;
    } else {
        while (*rest && *rest != L' ' && *rest != L'\t') ++rest;
    }
    while (*rest == L' ' || *rest == L'\t') ++rest;
    return WStrAssignChars(out, rest);
}

WString ProcessArguments() {
    WString arguments;
    return ProgramArguments(GetCommandLineW(), arguments);
}
