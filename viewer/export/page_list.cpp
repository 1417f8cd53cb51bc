#include "viewer/export/page_list.h"

#include <cstdlib>

#include "imaging/formats/image_format.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/model/cut_out_state.h"

namespace {

// The conversions index descriptors by the page's place in the file, so a
// page missing from the tree must not shift the ones after it: the list has
// one slot per page of the file, filled from the page items by their index.
uint32_t PageCountOf(DocItem* document) {
    Ref<DocumentSource> source = document->GetSource();
    Ref<ImageFormat> format = source ? SourceGetFormat(source.get()) : nullptr;
    return format ? format->PageCount() : DocItemGetChildCount(document);
}

PageDescriptor DescriptorOf(CutOutState* state) {
    PageDescriptor descriptor;
    descriptor.flip_x = CutOutGetMirrorHorizontal(state);
    descriptor.flip_y = CutOutGetMirrorVertical(state);
    descriptor.invert = CutOutGetInvert(state);
    descriptor.rotation = static_cast<uint16_t>(CutOutGetRotation(state));
    return descriptor;
}

}  // namespace

PageList BuildPageList(ViewerContext* context, DocItem* item, uint32_t* count) {
    if (count) *count = 0;
    if (!item || !count) return nullptr;
    Ref<DocItem> document(item);
    if (DocItemGetType(item) == doc_type::kPage) document = DocItemGetParent(item, context);
    if (DocItemGetType(document.get()) != doc_type::kImage) return nullptr;

    const uint32_t pages = PageCountOf(document.get());
    if (pages == 0) return nullptr;
    PageList list(static_cast<PageDescriptor*>(std::calloc(pages, sizeof(PageDescriptor))));
    if (!list) return nullptr;
    for (uint32_t i = 0; i < pages; ++i) list[i] = PageDescriptor();
    const uint32_t children = DocItemGetChildCount(document.get());
    for (uint32_t position = 0; position < children; ++position) {
        Ref<DocItem> child = DocItemGetChild(document.get(), position);
        if (DocItemGetType(child.get()) != doc_type::kPage) continue;
        const uint32_t index = child->GetPageIndex();
        Ref<CutOutState> state = child->GetCutOut();
        if (index < pages && state) list[index] = DescriptorOf(state.get());
    }
    *count = pages;
    return list;
}
