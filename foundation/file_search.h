// Visiting the files of one folder whose names match a pattern.
#pragma once

#include <windows.h>

#include "foundation/handles.h"
#include "foundation/strings.h"

// Calls `visit` with the full path of each file (folders are skipped) in
// `folder` (ending with a separator) that matches `pattern`, and goes on
// while `more()` answers true after a visit.
template <class Visit, class More>
void ForEachMatchingFile(const WString& folder, const wchar_t* pattern, Visit&& visit, More&& more) {
    WString search_text;
    WStrConcatChars(folder, pattern, search_text);
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(WStrCStr(search_text), &found));
    if (!search) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        WString path;
        WStrConcatChars(folder, found.cFileName, path);
        visit(path);
    } while (more() && FindNextFileW(search.get(), &found));
}
