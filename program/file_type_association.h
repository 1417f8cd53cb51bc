// At shutdown the desktop program registers itself, under
// HKEY_CLASSES_ROOT, as the program that opens the file types that the
// setting SUPPORTED_FILETYPES names: each extension's key points to the
// class "Plovex.Document", whose icon is the program's and whose open
// command hands the file to a running instance ("-s").
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/strings.h"

class Settings;

inline constexpr wchar_t kDocumentClassName[] = L"Plovex.Document";
inline constexpr wchar_t kDocumentClassText[] = L"Plovex Document";
inline constexpr uint32_t kProgramIconResource = 100;

// WORKAROUND bits of the desktop program.
inline constexpr uint32_t kWorkaroundNoFileTypes = 16;      // no association is written
inline constexpr uint32_t kWorkaroundResetUserChoice = 32;  // the user's own choice of program is removed

// The extensions of a SUPPORTED_FILETYPES text: the parts between commas,
// trimmed, each with one leading '.', in order and each only once (letter
// case aside). Empty parts are skipped, and so are parts that would name
// another key than one extension's: with '\\' or '/', blanks or control
// characters inside, wildcards ('*', '?'), or nothing but dots.
std::vector<WString> FileTypesParseList(const WString& list);

// Writes the association for the settings' list (see above); true at once
// when WORKAROUND has bit 16. With bit 32 the values "Progid" and
// "Application" of each extension's key under Explorer's FileExts in
// HKEY_CURRENT_USER are removed as well. False when any write failed (the
// others are still tried). Installed as the application root's
// settings-saved hook.
bool FileTypesRegister(Settings* settings);
