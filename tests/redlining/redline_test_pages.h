// Pages of many markups for the markup tests, and a listing of a page's
// objects that two pages can be compared by.
#pragma once

#include <string>
#include <vector>

#include "redlining/redline_attributes.h"
#include "redlining/redline_document.h"
#include "redlining/redline_layer.h"
#include "redlining/redline_objects.h"

// `count` markups in a grid, rectangles, notes and lines in turn, each with
// attributes of its own.
inline Ref<RedlinePage> PageOfMarkups(int32_t count) {
    Ref<RedlinePage> page = MakeRef<RedlinePage>();
    page->CreateLayer();
    Ref<RedlineLayer> layer = page->GetLayer(0);
    for (int32_t i = 0; i < count; ++i) {
        const double x = (i % 25) * 33.0, y = (i / 25) * 29.0;
        const int32_t type =
            i % 3 == 0 ? redline_type::kRectangle : (i % 3 == 1 ? redline_type::kNote : redline_type::kLine);
        Ref<RedlineObject> object = CreateRedlineObject(i + 1, type);
        object->SetCreationPoint(0, PointD{x + 1, y + 1});
        object->SetCreationPoint(1, PointD{x + 20 + i % 7, y + 20 + i % 5});
        object->FinishCreation();
        if (type == redline_type::kNote) {
            object->SetAttribute(MakeRef<TextAttr>(WString((L"Note " + std::to_wstring(i)).c_str())).get());
        } else {
            object->SetAttribute(
                MakeRef<LineAttr>(false, uint32_t(i) * 2654435761u & 0xFFFFFF, 0, 0.5f).get());
        }
        layer->objects.Add(object.get());
    }
    return page;
}

// Every object's id, type, geometry and attribute forms, in drawing order.
inline std::vector<std::string> Listing(RedlinePage* page) {
    std::vector<std::string> out;
    Ref<RedlineLayer> layer = page->GetLayer(0);
    if (!layer) return out;
    PtrArray objects;
    layer->objects.SnapshotInDrawingOrder(objects);
    for (uint32_t i = 0; i < objects.count; ++i) {
        auto* object = static_cast<RedlineObject*>(objects.items[i]);
        WStrBuilder text(64);
        object->GetGeometryText(text);
        for (int32_t kind = 0; kind < redline_attribute::kKindCount; ++kind) {
            Ref<RedlineAttribute> attribute = object->GetAttribute(kind);
            if (attribute && WStrBuilderAppendChar(text, L'|')) attribute->Serialize(text);
        }
        out.push_back(std::to_string(object->GetId()) + " " + std::to_string(object->GetType()) + " " +
                      std::string(text.data, text.data + text.length));
    }
    return out;
}
