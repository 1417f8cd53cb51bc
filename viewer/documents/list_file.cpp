#include "viewer/documents/list_file.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/command_line.h"
#include "viewer/core/open_params.h"
#include "viewer/core/path_utils.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

struct UrlPrefix {
    const wchar_t* text;
    uint32_t length;
};
constexpr UrlPrefix kUrlPrefixes[] = {{L"ftp://", 6}, {L"http://", 7}, {L"https://", 8}};

// Schemes are case-insensitive: "HTTP://host/x.lst" is a URL too.
uint32_t UrlPrefixLength(const WString& base) {
    for (const UrlPrefix& prefix : kUrlPrefixes) {
        if (WStrLength(base) >= prefix.length && _wcsnicmp(WStrCStr(base), prefix.text, prefix.length) == 0) {
            return prefix.length;
        }
    }
    return 0;
}

bool IsRooted(const WString& relative) {
    const wchar_t first = WStrCharAt(relative, 0);
    return first == L'/' || first == L'\\';
}

WString& Join(const WString& base, uint32_t keep, const WString& relative, WString& out) {
    WString head;
    WStrLeft(base, keep, head);
    return WStrConcat(head, relative, out);
}

WString& ResolveAgainstUrl(const WString& full_base, uint32_t scheme_length, const WString& given,
                           WString& out) {
    WString base, relative = given;
    const int32_t query = WStrFindChar(full_base, L'?');
    if (query >= 0) {
        WStrLeft(full_base, uint32_t(query), base);
    } else {
        base = full_base;
    }
    WStrReplaceChar(base, L'\\', L'/');
    WStrReplaceChar(relative, L'\\', L'/');
    if (IsRooted(relative)) {
        const int32_t host_end = WStrFindChar(base, L'/', scheme_length + 1);
        if (host_end < 0) return WStrConcat(base, relative, out);
        return Join(base, uint32_t(host_end), relative, out);
    }
    const int32_t last = WStrFindCharReverse(base, L'/');
    // A base without a path ("http://host") gets one.
    if (last < int32_t(scheme_length)) {
        WStrAppendChar(base, L'/');
        return WStrConcat(base, relative, out);
    }
    return Join(base, uint32_t(last) + 1, relative, out);
}

WString& ResolveAgainstPath(const WString& given_base, const WString& given, WString& out) {
    WString base = given_base, relative = given;
    WStrReplaceChar(base, L'/', L'\\');
    WStrReplaceChar(relative, L'/', L'\\');
    if (IsRooted(relative)) {
        int32_t end;
        if (WStrCharAt(base, 0) == L'\\' && WStrCharAt(base, 1) == L'\\') {
            const int32_t server_end = WStrFindChar(base, L'\\', 3);
            end = server_end < 0 ? -1 : WStrFindChar(base, L'\\', uint32_t(server_end) + 1);
        } else {
            end = WStrFindChar(base, L'\\');
        }
        if (end < 0) return WStrConcat(base, relative, out);
        return Join(base, uint32_t(end), relative, out);
    }
    const int32_t last = WStrFindCharReverse(base, L'\\');
    // A bare file name as base has no folder to lend.
    if (last < 0) return WStrAssign(out, relative);
    return Join(base, uint32_t(last) + 1, relative, out);
}

// Splits at TAB, keeping empty fields in place.
std::vector<WString> SplitFields(const WString& line) {
    std::vector<WString> fields;
    uint32_t start = 0;
    for (;;) {
        const int32_t tab = WStrFindChar(line, L'\t', start);
        WString field;
        WStrMid(line, start, tab < 0 ? -1 : tab - int32_t(start), field);
        fields.push_back(field);
        if (tab < 0) return fields;
        start = uint32_t(tab) + 1;
    }
}

void ParseComment(const WString& line, ListFileInfo& info) {
    const int32_t title = WStrFindStr(line, L"$TITLE=", false);
    if (title >= 0) {
        WStrMid(line, uint32_t(title) + 7, -1, info.title);
        return;
    }
    if (WStrFindStr(line, L"$NOSAVE", false) >= 0) info.no_save = true;
}

Ref<ListEntry> ParseEntry(ViewerContext* context, const WString& line, const WString& base) {
    std::vector<WString> fields = SplitFields(line);
    WString path = fields[0];
    WStrTrim(path);
    if (WStrLength(path) > 0 && WStrLength(base) > 0 && !IsAbsolutePath(WStrCStr(path))) {
        WString resolved;
        ResolveRelativePath(base, path, resolved);
        path = resolved;
    }
    if (WStrLength(path) == 0) return nullptr;
    Ref<OpenParams> params;
    if (fields.size() > 2 && WStrLength(fields[2]) > 0) {
        Ref<CmdLine> options = CmdLineCreate(WStrCStr(fields[2]));
        params = CmdLineGetOpenParams(options.get());
    }
    if (fields.size() > 1) {
        WString title = fields[1];
        if (WStrLength(WStrTrim(title)) > 0) {
            if (!params) params = OpenParamsCreate();
            if (params) OpenParamsSetTitle(params.get(), title);
        }
    }
    Ref<ListEntry> entry = MakeRef<ListEntry>();
    entry->path = path;
    entry->params = OpenParamsForOpen(context, params.get());
    return entry;
}

// A local path as the file system resolves it: "a.lst", ".\\a.lst" and
// "sub\\..\\a.lst" name one file, and a list that names itself under several
// spellings would otherwise open itself again at every level below it.
WString ComparablePath(const WString& path) {
    if (UrlPrefixLength(path) > 0 || WStrLength(path) == 0) return path;
    const DWORD needed = GetFullPathNameW(WStrCStr(path), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::vector<wchar_t> full(needed + 1);
    const DWORD length = GetFullPathNameW(WStrCStr(path), needed + 1, full.data(), nullptr);
    if (length == 0 || length > needed) return path;
    WString out;
    WStrAssignChars(out, full.data());
    return out;
}

// The source paths of the parent and every item above it, and how many of
// them are lists.
uint32_t CollectPathsAbove(ViewerContext* context, DocItem* parent, std::vector<WString>& paths) {
    uint32_t lists = 0;
    for (Ref<DocItem> item(parent); item; item = DocItemGetParent(item.get(), context)) {
        if (DocItemGetType(item.get()) == doc_type::kList) ++lists;
        if (Ref<DocumentSource> source = item->GetSource()) {
            WString path;
            paths.push_back(ComparablePath(SourceGetPath(source.get(), path)));
        }
    }
    return lists;
}

bool IsAmong(const std::vector<WString>& paths, const WString& path) {
    for (const WString& above : paths) {
        if (PathEquals(above, path)) return true;
    }
    return false;
}

// Trims the ends of a line, but not its TABs: a line that starts with one
// has an empty path field.
WString& TrimLine(WString& line) {
    uint32_t start = 0, end = WStrLength(line);
    auto blank = [&](uint32_t i) {
        const wchar_t c = WStrCharAt(line, i);
        return c == L' ' || (c >= 10 && c <= 13);
    };
    while (start < end && blank(start)) ++start;
    while (end > start && blank(end - 1)) --end;
    return WStrMid(line, start, int32_t(end - start), line);
}

}  // namespace

WString& ResolveRelativePath(const WString& base, const WString& relative, WString& out) {
    const uint32_t scheme_length = UrlPrefixLength(base);
    if (scheme_length > 0) return ResolveAgainstUrl(base, scheme_length, relative, out);
    return ResolveAgainstPath(base, relative, out);
}

bool ListFileParseText(ViewerContext* context, const uint8_t* bytes, uint32_t n, const WString& base,
                       PtrArray& entries, ListFileInfo& info) {
    if (n >= kListFileMaxBytes) return false;
    AString ansi;
    if (bytes && n > 0) AStrAssignN(ansi, reinterpret_cast<const char*>(bytes), n);
    WString text;
    WStrFromAnsi(text, ansi);
    // CR, LF, CR LF and LF CR all end a line; the empty lines that the
    // pairs leave between them are skipped like any other.
    const uint32_t length = WStrLength(text);
    uint32_t start = 0;
    while (start < length) {
        const int32_t found = WStrFindAnyOf(text, L"\r\n", start);
        const uint32_t end = found < 0 ? length : uint32_t(found);
        WString line;
        WStrMid(text, start, int32_t(end - start), line);
        start = end + 1;
        if (WStrLength(TrimLine(line)) == 0) continue;
        if (WStrCharAt(line, 0) == L';') {
            ParseComment(line, info);
            continue;
        }
        if (Ref<ListEntry> entry = ParseEntry(context, line, base)) PtrArrayAdd(entries, entry.get());
    }
    return true;
}

bool ListFileParse(ViewerContext* context, DataReader* reader, DocumentSource* source, PtrArray& entries,
                   ListFileInfo& info) {
    if (!reader || !reader->source) return false;
    uint64_t size;
    {
        ScopedLock guard(reader->source->lock);
        size = reader->source->size;
    }
    if (size >= kListFileMaxBytes) return false;
    std::vector<uint8_t> bytes(size_t(size) + 1);
    if (size > 0 && DataSourceRead(reader, 0, uint32_t(size), bytes.data()) != int32_t(size)) return false;
    WString base;
    if (source) SourceGetPath(source, base);
    return ListFileParseText(context, bytes.data(), uint32_t(size), base, entries, info);
}

uint32_t ListFileApplyEntries(ViewerContext* context, DocItem* parent, const PtrArray& entries) {
    if (!context || !parent) return 0;
    std::vector<WString> above;
    if (CollectPathsAbove(context, parent, above) > kMaxListNesting) return 0;
    const uint32_t open_number = DocItemGetOpenNumber(parent);
    // A list opened for an untrusted caller passes the caller's limit on to
    // its entries, and through them to the lists they name.
    Ref<OpenParams> parent_params = parent->GetOpenParams();
    const bool web_only = OpenParamsGetWebOnly(parent_params.get());
    uint32_t made = 0;
    for (uint32_t i = 0; i < entries.count; ++i) {
        auto* entry = static_cast<ListEntry*>(entries.items[i]);
        Ref<OpenParams> params = entry->params;
        if (web_only) {
            params = OpenParamsClone(params.get());
            OpenParamsSetWebOnly(params.get(), true);
        }
        Ref<DocumentSource> source = SourceCreate(context, entry->path, params.get());
        if (!source) continue;
        // Compared as the source normalised it, so "file:" URLs and bare
        // names meet the paths of the lists above.
        WString path;
        if (IsAmong(above, ComparablePath(SourceGetPath(source.get(), path)))) continue;
        Ref<DocumentItem> item = DocumentItemCreate(context, parent, source.get(), params.get(), open_number);
        if (!item) continue;
        SourceStartLoad(source.get(), context);
        ++made;
    }
    return made;
}
