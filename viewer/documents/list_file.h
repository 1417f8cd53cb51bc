// Plain-text lists of documents: one path a line, with an optional title
// and open options separated by TAB; comment lines start with ';' and may
// carry "$TITLE=" (the list's name) or "$NOSAVE" (the list may not be
// saved). The program's session list has the same format.
#pragma once

#include <cstdint>

#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DataReader;
class DocItem;
class DocumentSource;
class OpenParams;
class ViewerContext;

// Lists nested deeper than this below the first list make no entries: a
// chain of lists that name ever new lists ends here.
inline constexpr uint32_t kMaxListNesting = 8;

class ListEntry : public RefCounted {
  public:
    WString path;            // resolved against the list's own path
    Ref<OpenParams> params;  // completed with the settings' defaults
};

// What a list file says besides its entries.
struct ListFileInfo {
    WString title;         // from "$TITLE=", empty when none
    bool no_save = false;  // "$NOSAVE" (any case) in a comment
};

// Parses the text of a list file (n bytes of ANSI text, ending at the first
// NUL) into `entries` (appended as ListEntry, in file order) and `info`.
// Relative paths resolve against `base` (the list's own path or URL); with
// an empty base they stay as they are. False when the text is as long as
// kListFileMaxBytes or longer.
bool ListFileParseText(ViewerContext* context, const uint8_t* bytes, uint32_t n, const WString& base,
                       PtrArray& entries, ListFileInfo& info);
// Reads the whole file through the reader and parses it against the
// source's path (no base without a source). False when the file is too
// large or cannot be read whole; true also for a list without entries.
bool ListFileParse(ViewerContext* context, DataReader* reader, DocumentSource* source, PtrArray& entries,
                   ListFileInfo& info);
// Makes a list-entry item under `parent` for every entry and starts loading
// its source; answers how many were made. An entry that names a list above
// it in the tree (itself, or two lists naming each other) is skipped, and
// a list nested deeper than kMaxListNesting makes no entries. Under a
// parent held to the web's documents (OpenParams::web_only) only ftp, http
// and https entries are made, each held to the web in turn.
uint32_t ListFileApplyEntries(ViewerContext* context, DocItem* parent, const PtrArray& entries);

// The path of `relative` seen from the list file at `base`: against an
// ftp, http or https URL (with '/' separators) or a local, UNC or drive
// path (with '\\'). A relative path beginning with '/' or '\\' is rooted
// at the base's host, share or drive.
WString& ResolveRelativePath(const WString& base, const WString& relative, WString& out);
