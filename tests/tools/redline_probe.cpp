// Drives the markup store from the command line for the checks in
// tests/oracle/redline_storage_test.py, which judge its files with tar,
// Python's zlib, libtiff's tools and Pillow, and feed it files made there.
//
//   redline_probe write-plr MARKUPS OUT        markups of MARKUPS to a companion file
//   redline_probe save-tiff MARKUPS SOURCE OUT a copy of SOURCE with the markups in its pages
//   redline_probe load-plr IN PAGES           lists the markups read from a companion file
//   redline_probe load-tiff IN                lists the markups read from a TIFF's tags
//   redline_probe parse PAYLOAD               lists the markups of one page's payload
//   redline_probe text MARKUPS PAGE           the text of one page of MARKUPS, as stored
//
// MARKUPS is UTF-8, one statement a line: "page", "object ID TYPE GEOMETRY",
// "attr KIND FORM" (for the object above it). Listings are UTF-8: a status
// line ("loaded" or "refused"), then "page I" or "page I none" for each page
// and "object ID TYPE Z GEOMETRY" and "attr KIND FORM" lines.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/string_builder.h"
#include "imaging/formats/image_format.h"
#include "redlining/redline_attributes.h"
#include "redlining/redline_document.h"
#include "redlining/redline_format.h"
#include "redlining/redline_layer.h"
#include "redlining/redline_objects.h"
#include "redlining/redline_storage.h"

namespace {

std::wstring Utf16(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string Utf8(const wchar_t* text, uint32_t length) {
    if (length == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Utf8(const WString& text) { return Utf8(WStrCStr(text), WStrLength(text)); }

WString PathOf(const char* argument) {
    WString out;
    WStrFromAnsi(out, argument);
    return out;
}

bool ReadWhole(const char* path, std::string& out) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, n);
    fclose(file);
    return true;
}

struct PendingObject {
    int32_t id = -1, type = -1;
    WString geometry;
    PtrArray attributes{4, true};
};

bool Flush(PendingObject& pending, RedlinePage* page) {
    if (pending.id < 0) return true;
    Ref<RedlineObject> object =
        CreateRedlineObjectFromData(3, pending.id, pending.type, 0, pending.attributes, pending.geometry);
    Ref<RedlineLayer> layer = page ? page->GetLayer(0) : nullptr;
    pending.id = -1;
    PtrArrayClear(pending.attributes);
    if (!object || !layer) return false;
    layer->objects.Add(object.get());
    return true;
}

Ref<RedlineDocument> BuildDocument(const char* markups_path) {
    std::string markups;
    if (!ReadWhole(markups_path, markups)) return nullptr;
    Ref<RedlineDocument> document = RedlineDocumentCreate();
    Ref<RedlinePage> page;
    PendingObject pending;
    size_t start = 0;
    while (start < markups.size()) {
        size_t end = markups.find('\n', start);
        if (end == std::string::npos) end = markups.size();
        std::string line = markups.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "page") {
            if (!Flush(pending, page.get())) return nullptr;
            page = MakeRef<RedlinePage>();
            page->page_index = RedlineDocPageCount(document.get());
            page->CreateLayer();
            PtrArrayAdd(document->pages, page.get());
        } else if (line.rfind("object ", 0) == 0) {
            if (!Flush(pending, page.get())) return nullptr;
            int id = 0, type = 0, used = 0;
            if (sscanf(line.c_str(), "object %d %d %n", &id, &type, &used) < 2) return nullptr;
            pending.id = id;
            pending.type = type;
            pending.geometry = WString(Utf16(line.substr(size_t(used))).c_str());
        } else if (line.rfind("attr ", 0) == 0) {
            int kind = 0, used = 0;
            if (sscanf(line.c_str(), "attr %d %n", &kind, &used) < 1) return nullptr;
            Ref<RedlineAttribute> attribute =
                ParseRedlineAttribute(kind, WString(Utf16(line.substr(size_t(used))).c_str()));
            if (!attribute) return nullptr;
            PtrArrayAdd(pending.attributes, attribute.get());
        }
    }
    if (!Flush(pending, page.get())) return nullptr;
    return document;
}

void ListPage(RedlinePage* page, uint32_t index) {
    Ref<RedlineLayer> layer = page ? page->GetLayer(0) : nullptr;
    if (!layer) {
        printf("page %u none\n", index);
        return;
    }
    printf("page %u\n", index);
    PtrArray objects;
    layer->objects.SnapshotInDrawingOrder(objects);
    for (uint32_t i = 0; i < objects.count; ++i) {
        auto* object = static_cast<RedlineObject*>(objects.items[i]);
        WStrBuilder geometry(64);
        object->GetGeometryText(geometry);
        printf("object %d %d %d %s\n", object->GetId(), object->GetType(), object->GetZ(),
               Utf8(geometry.data, geometry.length).c_str());
        for (int32_t kind = 0; kind < redline_attribute::kKindCount; ++kind) {
            Ref<RedlineAttribute> attribute = object->GetAttribute(kind);
            if (!attribute) continue;
            WStrBuilder form(64);
            attribute->Serialize(form);
            printf("attr %d %s\n", kind, Utf8(form.data, form.length).c_str());
        }
    }
}

int List(RedlineDocument* document, bool loaded) {
    printf("%s\n", loaded ? "loaded" : "refused");
    for (uint32_t i = 0; i < RedlineDocPageCount(document); ++i)
        ListPage(RedlineDocGetPage(document, i).get(), i);
    printf("modified %d\n", RedlineDocIsModified(document) ? 1 : 0);
    return 0;
}

int Report(bool written, RedlineDocument* document) {
    printf("%s replaced=%u modified=%d\n", written ? "written" : "failed", document->replaced_in_last_save,
           RedlineDocIsModified(document) ? 1 : 0);
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "write-plr" && argc == 4) {
        Ref<RedlineDocument> document = BuildDocument(argv[2]);
        if (!document) return 2;
        return Report(RedlineSaveFile(document.get(), PathOf(argv[3])), document.get());
    }
    if (command == "save-tiff" && argc == 5) {
        Ref<RedlineDocument> document = BuildDocument(argv[2]);
        if (!document) return 2;
        Ref<DataSource> source = DataSourceOpenFile(PathOf(argv[3]), false);
        ImageStatus status;
        Ref<ImageFormat> format = source ? ImageParseFile(&status, source.get(), 0) : nullptr;
        if (!format) return 2;
        return Report(RedlineSaveFormatToTiff(format.get(), source.get(), document.get(), PathOf(argv[4])),
                      document.get());
    }
    if (command == "text" && argc == 4) {
        Ref<RedlineDocument> document = BuildDocument(argv[2]);
        Ref<RedlinePage> page =
            document ? RedlineDocGetPage(document.get(), uint32_t(atoi(argv[3]))) : nullptr;
        AStrBuilder text(4000);
        if (!page || !WriteRedlineDocument(text, page.get(), nullptr)) return 1;
        fwrite(text.data, 1, text.length, stdout);
        return 0;
    }
    if (command == "load-plr" && argc == 4) {
        Ref<RedlineDocument> document = RedlineDocumentCreate();
        return List(document.get(), RedlineDocLoadFile(document.get(), PathOf(argv[2]), atoi(argv[3])));
    }
    if (command == "load-tiff" && argc == 3) {
        Ref<RedlineDocument> document = RedlineDocumentCreate();
        Ref<DataSource> source = DataSourceOpenFile(PathOf(argv[2]), false);
        ImageStatus status;
        Ref<ImageFormat> format = source ? ImageParseFile(&status, source.get(), 0) : nullptr;
        return List(document.get(), format && RedlineDocLoadTiff(document.get(), format.get()));
    }
    if (command == "parse" && argc == 3) {
        std::string bytes;
        if (!ReadWhole(argv[2], bytes)) return 2;
        Ref<RedlinePage> page = MakeRef<RedlinePage>();
        const bool read =
            RedlineParse(page.get(), reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        printf("%s\n", read ? "loaded" : "refused");
        ListPage(page.get(), 0);
        return 0;
    }
    fprintf(stderr, "usage: see the comment at the top of tests/tools/redline_probe.cpp\n");
    return 2;
}
