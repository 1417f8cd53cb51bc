#include "control/converter.h"

#include "control/com/bstr.h"
#include "control/object_safety.h"
#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "imaging/writers/tiff_writer_document.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/document_source.h"
#include "viewer/export/document_export.h"

namespace {

using namespace converter_choice;

constexpr int64_t kFullTurn = 360;

HRESULT SetBool(VARIANT_BOOL* out, bool value) {
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT SetChoice(uint32_t& choice, long value, long low, long high) {
    if (value < low || value > high) return E_INVALIDARG;
    choice = static_cast<uint32_t>(value);
    return S_OK;
}

}  // namespace

const ComInterfaceEntry Converter::kInterfaces[] = {
    ComEntry<Converter, IConverter>(IID_IConverter),
    ComEntry<Converter, IConverter>(IID_IDispatch),
    ComEntry<Converter, IProvideClassInfo2>(IID_IProvideClassInfo2),
    ComEntry<Converter, IProvideClassInfo2>(IID_IProvideClassInfo),
    ComEntry<Converter, ISupportErrorInfo>(IID_ISupportErrorInfo),
    {},
};

Converter::Converter() = default;
Converter::~Converter() = default;

HRESULT Converter::Create(REFIID iid, void** out) { return ComCreate(new Converter(), iid, out); }

HRESULT ConverterCreateBound(ViewerContext* context, DocumentSource* source, PageList pages,
                             uint32_t page_count, IConverter** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IConverter> converter;
    const HRESULT created = Converter::Create(IID_IConverter, converter.PutVoid());
    if (FAILED(created)) return created;
    static_cast<Converter*>(converter.get())->ConverterInit(context, source, std::move(pages), page_count);
    *out = converter.Detach();
    return S_OK;
}

void Converter::ConverterInit(ViewerContext* context, DocumentSource* source, PageList pages,
                              uint32_t page_count) {
    context_ = Ref<ViewerContext>(context);
    source_ = Ref<DocumentSource>(source);
    pages_ = std::move(pages);
    page_count_ = pages_ ? page_count : 0;
}

STDMETHODIMP Converter::Convert(BSTR pszTargetFileName, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    *pbResult = VARIANT_FALSE;
    const WString target = WStringFromBstr(pszTargetFileName);
    if (WStrLength(target) == 0) return E_INVALIDARG;
    if (!context_ || !source_) return E_FAIL;
    // A page's script may not overwrite the user's files.
    if (!ObjectSafetyWritingAllowed()) return S_OK;
    Ref<ImageFormat> format = SourceGetFormat(source_.get());
    Ref<DataSource> data = SourceGetData(source_.get());
    if (!format || !data) return S_OK;
    const uint16_t rotation = static_cast<uint16_t>(rotation_);
    if (target_type_ == kTargetPdf) {
        return SetBool(pbResult, ExportPdf(format.get(), data.get(), target, compression_, rotation,
                                           pages_.get(), page_count_, description_, nullptr));
    }
    const TiffLayout& layout = TiffLayoutFor(layout_);
    uint32_t tag_count = tag_count_;
    if (WStrLength(description_) > 0) {
        tags_[tag_count].tag = kTagImageDescription;
        tags_[tag_count].text = description_;
        ++tag_count;
    }
    return SetBool(pbResult, ExportTiff(format.get(), data.get(), target, compression_, rotation,
                                        pages_.get(), page_count_, layout.tile_width, layout.rows,
                                        layout.reduction_percent, tags_, tag_count, nullptr));
}

STDMETHODIMP Converter::get_Rotation(long* pDegree) {
    return ComAnswer(pDegree, static_cast<long>(static_cast<int16_t>(rotation_)));
}

STDMETHODIMP Converter::put_Rotation(long pDegree) {
    // Always 0 to 359: the writers take the turn as 16 bits, where a
    // negative one would arrive as a large angle that turns nothing.
    int64_t turn = static_cast<int64_t>(pDegree) % kFullTurn;
    if (turn < 0) turn += kFullTurn;
    rotation_ = static_cast<int32_t>(turn);
    return S_OK;
}

STDMETHODIMP Converter::get_TargetType(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = SysAllocString(target_type_ == kTargetPdf ? L"PDF" : L"TIFF");
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Converter::put_TargetType(BSTR newVal) {
    const WString type = WStringFromBstr(newVal);
    if (WStrEqualsNoCase(type, L"TIFF")) {
        target_type_ = kTargetTiff;
    } else if (WStrEqualsNoCase(type, L"PDF")) {
        target_type_ = kTargetPdf;
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

STDMETHODIMP Converter::get_Compression(long* pVal) {
    return ComAnswer(pVal, static_cast<long>(compression_));
}

STDMETHODIMP Converter::put_Compression(long newVal) {
    return SetChoice(compression_, newVal, 0, kMaxCompression);
}

STDMETHODIMP Converter::get_Quality(long* pVal) { return ComAnswer(pVal, static_cast<long>(quality_)); }

STDMETHODIMP Converter::put_Quality(long newVal) {
    if (newVal < 0 || newVal > static_cast<long>(kMaxQuality)) return E_INVALIDARG;
    quality_ = static_cast<uint16_t>(newVal);
    return S_OK;
}

STDMETHODIMP Converter::get_ImageDescription(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = BstrFromWString(description_);
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Converter::put_ImageDescription(BSTR newVal) {
    description_ = WStringFromBstr(newVal);
    return S_OK;
}

STDMETHODIMP Converter::AddTiffStringTag(long lTagID, BSTR pszContent, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    *pbResult = VARIANT_FALSE;
    if (lTagID < 0 || lTagID >= static_cast<long>(kTagIdLimit) || tag_count_ >= kMaxExtraTags) return S_OK;
    // The writer refuses to let a text replace a tag that describes the
    // image; refused here already, the script learns it when it asks.
    if (TiffTagIsStructural(static_cast<uint16_t>(lTagID))) return S_OK;
    tags_[tag_count_].tag = static_cast<uint16_t>(lTagID);
    tags_[tag_count_].text = WStringFromBstr(pszContent);
    ++tag_count_;
    return SetBool(pbResult, true);
}

STDMETHODIMP Converter::get_Layout(long* pVal) { return ComAnswer(pVal, static_cast<long>(layout_)); }

STDMETHODIMP Converter::put_Layout(long newVal) { return SetChoice(layout_, newVal, 1, kTiffLayoutCount); }
