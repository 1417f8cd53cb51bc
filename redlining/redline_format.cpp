#include "redlining/redline_format.h"

#include <windows.h>

#include <cwchar>
#include <string_view>

#include "redlining/redline_layer.h"
#include "redlining/redline_payload.h"

namespace {

constexpr const char kLineEnd[] = "\r\n";
constexpr const char kNamespace[] = "http://www.plovex.com/xml/redline.dtd";
constexpr const char kElementVersion[] = " r:version=\"4.3\">";
// The closing tags of the one-line elements: "</r:id>" and "</r:type>" /
// "</r:data>" are not checked, only their lengths count.
constexpr uint32_t kIdOpen = 6, kIdClose = 7;
constexpr uint32_t kTypeOpen = 8, kTypeClose = 9;
constexpr uint32_t kDataOpen = 8, kDataClose = 9;

bool AppendLine(AStrBuilder& out, const char* text) {
    return AStrBuilderAppendChars(out, text) && AStrBuilderAppendChars(out, kLineEnd);
}

bool AppendNumberElement(AStrBuilder& out, const char* open, int32_t value, const char* close) {
    return AStrBuilderAppendChars(out, open) && AStrBuilderAppendInt(out, value) &&
           AStrBuilderAppendChars(out, close) && AStrBuilderAppendChars(out, kLineEnd);
}

// The text in the ANSI code page; `replaced` counts it when the code page
// could not hold it whole (a default character or a best-fit look-alike
// stands in), found by converting back.
bool ToAnsi(const wchar_t* text, uint32_t length, AString& out, uint32_t* replaced) {
    AStrClear(out);
    if (length == 0) return true;
    const int n =
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    char* bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(n)));
    if (!bytes) return false;
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), bytes, n, nullptr, nullptr);
    AStrAssignN(out, bytes, static_cast<uint32_t>(n));
    HeapFree(GetProcessHeap(), 0, bytes);
    if (AStrLength(out) != static_cast<uint32_t>(n)) return false;
    WString back;
    WStrFromAnsi(back, out);
    if (replaced && (WStrLength(back) != length || wmemcmp(WStrCStr(back), text, length) != 0)) ++*replaced;
    return true;
}

bool AppendDataElement(AStrBuilder& out, const WStrBuilder& data, uint32_t* replaced) {
    if (data.length == 0) return true;
    AString ansi;
    return ToAnsi(data.data, data.length, ansi, replaced) && AStrBuilderAppendChars(out, "<r:data>") &&
           AStrBuilderAppend(out, ansi) && AStrBuilderAppendChars(out, "</r:data>") &&
           AStrBuilderAppendChars(out, kLineEnd);
}

// A text attribute's form counts the length of every line. Counted on the
// UTF-16 text, a character the code page lacks (a surrogate pair becomes one
// '?') would misalign every count after it and the reader would refuse the
// page; so the text goes through the code page first and the counts are
// made on what is written.
bool SerializeAttribute(const RedlineAttribute* attribute, WStrBuilder& form, uint32_t* replaced) {
    const auto* text =
        attribute->GetType() == redline_attribute::kText ? dynamic_cast<const TextAttr*>(attribute) : nullptr;
    if (!text) return attribute->Serialize(form);
    const WString& original = text->text().text;
    AString ansi;
    if (!ToAnsi(WStrCStr(original), WStrLength(original), ansi, replaced)) return false;
    WString written;
    WStrFromAnsi(written, ansi);
    return TextAttr(written).Serialize(form);
}

// ---- Reading

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    return line;
}

int32_t ToInt(std::string_view text) {
    AString number;
    AStrAssignN(number, text.data(), static_cast<uint32_t>(text.size()));
    return AStrToInt(number);
}

// The number between an element's opening and closing tag; false when the
// trimmed text is empty or the number negative.
bool InnerNumber(std::string_view line, uint32_t open, uint32_t close, int32_t& out) {
    const std::string_view inner = Trimmed(line.substr(open, line.size() - open - close));
    if (inner.empty()) return false;
    out = ToInt(inner);
    return out >= 0;
}

WString InnerText(std::string_view line) {
    WString out;
    if (line.size() <= kDataOpen + kDataClose) return out;
    AString ansi;
    AStrAssignN(ansi, line.data() + kDataOpen, static_cast<uint32_t>(line.size() - kDataOpen - kDataClose));
    WStrFromAnsi(out, ansi);
    return out;
}

// The lines at CR, LF, CR LF or LF CR, empty lines kept.
class LineCursor {
  public:
    explicit LineCursor(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (position_ > text_.size() || (position_ == text_.size() && ended_)) return false;
        size_t end = position_;
        while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
        line = text_.substr(position_, end - position_);
        if (end == text_.size()) {
            ended_ = true;
            position_ = end;
            return true;
        }
        const char first = text_[end++];
        if (end < text_.size() && (text_[end] == '\r' || text_[end] == '\n') && text_[end] != first) ++end;
        position_ = end;
        ended_ = end == text_.size();
        return true;
    }

  private:
    std::string_view text_;
    size_t position_ = 0;
    bool ended_ = false;
};

enum class Step { kGoOn, kStop };

class PageReader {
  public:
    // The page's layer when the text gave one.
    Ref<RedlineLayer> Read(std::string_view text);
    // False once the text held markups that the layer did not take.
    bool whole() const { return whole_; }

  private:
    Step Line(std::string_view line);
    Step EndObject();
    Step EndAttribute();

    int32_t version_ = 1;
    bool whole_ = true;
    Ref<RedlineLayer> page_layer_;
    Ref<RedlineLayer> open_layer_;
    bool in_object_ = false;
    bool in_attribute_ = false;
    int32_t object_id_ = -1;
    int32_t object_type_ = -1;
    int32_t attribute_kind_ = -1;
    WString object_data_;
    WString attribute_data_;
    PtrArray attributes_{4, true};  // RedlineAttribute
};

Ref<RedlineLayer> PageReader::Read(std::string_view text) {
    LineCursor lines(text);
    std::string_view first, second;
    if (!lines.Next(first) || !lines.Next(second)) return nullptr;
    if (!Trimmed(first).starts_with("<?xml")) return nullptr;
    version_ = Trimmed(second).empty() ? 1 : 2;
    std::string_view line = second;
    do {
        if (Line(Trimmed(line)) == Step::kStop) break;
    } while (lines.Next(line));
    if (open_layer_) return nullptr;
    return page_layer_;
}

Step PageReader::Line(std::string_view line) {
    if (line.empty()) return Step::kGoOn;
    if (line == "</r:document>") return Step::kStop;
    if (line.starts_with("<?version=")) {
        const std::string_view rest = line.substr(10);
        if (!rest.empty() && rest[0] >= '0' && rest[0] <= '9') {
            const int32_t value = ToInt(rest);
            if (value >= 1 && value <= 3) version_ = value;
        }
        return Step::kGoOn;
    }
    if (line.starts_with("<r:layer")) {
        if (open_layer_) return Step::kStop;  // the open layer is discarded at the end
        open_layer_ = MakeRef<RedlineLayer>();
        return Step::kGoOn;
    }
    if (line == "</r:layer>") {
        if (!open_layer_) return Step::kStop;
        // An object still open here never ended (its closing line damaged):
        // it is lost, and the page was not read whole.
        if (in_object_) whole_ = false;
        in_object_ = in_attribute_ = false;
        if (!page_layer_) {
            page_layer_ = open_layer_;
        } else if (open_layer_->objects.Count() > 0) {
            whole_ = false;  // a second completed layer is dropped
        }
        open_layer_ = nullptr;
        return Step::kGoOn;
    }
    if (line.starts_with("<r:object")) {
        if (!open_layer_ || in_object_) return Step::kStop;
        in_object_ = true;
        object_id_ = object_type_ = -1;
        WStrClear(object_data_);
        PtrArrayClear(attributes_);
        return Step::kGoOn;
    }
    if (line == "</r:object>") return open_layer_ ? EndObject() : Step::kStop;
    if (line.starts_with("<r:attribute")) {
        if (!open_layer_ || !in_object_ || in_attribute_) return Step::kStop;
        in_attribute_ = true;
        attribute_kind_ = -1;
        WStrClear(attribute_data_);
        return Step::kGoOn;
    }
    if (line == "</r:attribute>") return EndAttribute();
    if (line.starts_with("<r:id>")) {
        int32_t id = 0;
        if (line.size() < kIdOpen + kIdClose + 1 || !InnerNumber(line, kIdOpen, kIdClose, id))
            return Step::kStop;
        if (in_object_) {
            object_id_ = id;
        } else if (!open_layer_) {
            return Step::kStop;
        } else {
            open_layer_->SetId(id);
        }
        return Step::kGoOn;
    }
    if (line.starts_with("<r:type>")) {
        int32_t type = 0;
        if (line.size() < kTypeOpen + kTypeClose + 1 || !InnerNumber(line, kTypeOpen, kTypeClose, type))
            return Step::kStop;
        if (in_attribute_) {
            attribute_kind_ = type;
        } else if (in_object_) {
            object_type_ = type;
        } else {
            return Step::kStop;
        }
        return Step::kGoOn;
    }
    if (line.starts_with("<r:data>")) {
        if (in_attribute_) {
            attribute_data_ = InnerText(line);
        } else if (in_object_) {
            object_data_ = InnerText(line);
        } else {
            return Step::kStop;
        }
        return Step::kGoOn;
    }
    return Step::kGoOn;
}

Step PageReader::EndObject() {
    if (!in_object_ || object_id_ < 0 || object_type_ < 0) return Step::kStop;
    // The same for an attribute that never ended: the object lacks it.
    if (in_attribute_) whole_ = false;
    in_attribute_ = false;
    // An object the model refuses (an unknown type, a malformed geometry) is
    // dropped; the rest of the page stays.
    Ref<RedlineObject> object =
        CreateRedlineObjectFromData(version_, object_id_, object_type_, 0, attributes_, object_data_);
    if (object) {
        open_layer_->objects.Add(object.get());
    } else {
        whole_ = false;
    }
    in_object_ = false;
    PtrArrayClear(attributes_);
    return Step::kGoOn;
}

Step PageReader::EndAttribute() {
    if (!in_attribute_ || attribute_kind_ < 0) return Step::kStop;
    Ref<RedlineAttribute> attribute = ParseRedlineAttribute(attribute_kind_, attribute_data_);
    if (!attribute || PtrArrayAdd(attributes_, attribute.get()) < 0) return Step::kStop;
    in_attribute_ = false;
    return Step::kGoOn;
}

}  // namespace

bool WriteRedlineAttribute(AStrBuilder& out, const RedlineAttribute* attribute, uint32_t* replaced) {
    if (!attribute) return false;
    WStrBuilder form(64);
    if (!SerializeAttribute(attribute, form, replaced)) return false;
    return AStrBuilderAppendChars(out, "<r:attribute") && AppendLine(out, kElementVersion) &&
           AppendNumberElement(out, "<r:type>", attribute->GetType(), "</r:type>") &&
           AppendDataElement(out, form, replaced) && AppendLine(out, "</r:attribute>");
}

bool WriteRedlineObject(AStrBuilder& out, RedlineObject* object, uint32_t* replaced) {
    if (!object) return false;
    WStrBuilder geometry(64);
    if (!object->GetGeometryText(geometry)) return false;
    const uint32_t start = out.length;
    bool ok = AStrBuilderAppendChars(out, "<r:object") && AppendLine(out, kElementVersion) &&
              AppendNumberElement(out, "<r:id>", object->GetId(), "</r:id>") &&
              AppendNumberElement(out, "<r:type>", object->GetType(), "</r:type>");
    for (int32_t kind = 0; ok && kind < redline_attribute::kKindCount; ++kind) {
        Ref<RedlineAttribute> attribute = object->GetAttribute(kind);
        if (attribute) ok = WriteRedlineAttribute(out, attribute.get(), replaced);
    }
    ok = ok && AppendDataElement(out, geometry, replaced) && AppendLine(out, "</r:object>");
    if (!ok && out.data) {
        out.length = start;
        out.data[start] = 0;
    }
    return ok;
}

bool WriteRedlineLayer(AStrBuilder& out, RedlineLayer* layer, uint32_t* replaced) {
    if (!layer) return false;
    PtrArray objects;
    if (!layer->objects.SnapshotInDrawingOrder(objects)) return false;
    bool ok = AStrBuilderAppendChars(out, "<r:layer") && AppendLine(out, kElementVersion) &&
              AppendNumberElement(out, "<r:id>", layer->GetId(), "</r:id>");
    for (uint32_t i = 0; ok && i < objects.count; ++i) {
        auto* object = static_cast<RedlineObject*>(objects.items[i]);
        // An object without a geometry text (a line without its two points)
        // is left out; any other failure fails the layer.
        WStrBuilder geometry(64);
        if (!object->GetGeometryText(geometry)) continue;
        ok = WriteRedlineObject(out, object, replaced);
    }
    return ok && AppendLine(out, "</r:layer>");
}

bool WriteRedlineDocument(AStrBuilder& out, RedlinePage* page, uint32_t* replaced) {
    if (!page) return false;
    bool ok = AppendLine(out, "<?xml encoding=\"iso-8859-1\"?>") &&
              AppendNumberElement(out, "<?version=", kRedlineFormatVersion, "?>") &&
              AStrBuilderAppendChars(out, "<r:document xmlns:r=\"") &&
              AStrBuilderAppendChars(out, kNamespace) && AStrBuilderAppendChars(out, "\"") &&
              AppendLine(out, kElementVersion);
    Ref<RedlineLayer> layer = page->GetLayer(0);
    if (ok && layer) ok = WriteRedlineLayer(out, layer.get(), replaced);
    return ok && AppendLine(out, "</r:document>");
}

bool RedlineParseText(RedlinePage* page, const char* text, uint32_t length, bool* whole) {
    if (!page || page->LayerCount() > 0 || !text || length == 0) return false;
    PageReader reader;
    Ref<RedlineLayer> layer = reader.Read(std::string_view(text, length));
    if (whole) *whole = reader.whole();
    if (!layer) return false;
    // The format keeps no z, only the order in which it lists the objects;
    // numbering them so is no change of the user's.
    layer->objects.AssignZInListOrder();
    for (uint32_t i = 0; i < layer->objects.Count(); ++i) {
        if (Ref<RedlineObject> object = layer->objects.GetAt(i)) object->SetDirty(false);
    }
    layer->SetDirty(false);
    return page->SetLayer(layer.get());
}

bool RedlineParse(RedlinePage* page, const uint8_t* bytes, uint32_t length, bool* whole) {
    if (!page || page->LayerCount() > 0 || !bytes || length <= kRedlinePayloadHeaderSize) return false;
    if (bytes[0] != kRedlinePayloadHeader[0] || bytes[1] != kRedlinePayloadHeader[1]) return false;
    AStrBuilder text(4000);
    if (!InflateRaw(bytes + kRedlinePayloadHeaderSize, length - kRedlinePayloadHeaderSize, text))
        return false;
    return RedlineParseText(page, text.data, text.length, whole);
}
