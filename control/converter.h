// The automation class Converter: writes a loaded document to a multi-page
// TIFF or a PDF file with the choices a script sets on it. Created unbound
// by its class factory; the control and its documents bind the ones they
// hand out. An unbound converter keeps its choices but converts nothing
// (E_FAIL).
#pragma once

#include "control/com/com_object.h"
#include "control/com/type_library.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "plovex_idl.h"
#include "viewer/export/document_export.h"
#include "viewer/export/page_list.h"

class DocumentSource;
class ViewerContext;

// The choices' limits and defaults, as scripts see them.
namespace converter_choice {
inline constexpr uint32_t kTargetTiff = 1;
inline constexpr uint32_t kTargetPdf = 2;
inline constexpr uint32_t kDefaultLayout = 2;
inline constexpr uint32_t kMaxCompression = 1;
inline constexpr uint32_t kDefaultQuality = 80;
inline constexpr uint32_t kMaxQuality = 100;
inline constexpr uint32_t kMaxExtraTags = 4;
inline constexpr uint32_t kTagIdLimit = 0x10000;
}  // namespace converter_choice

class Converter;

// A new converter bound by ConverterInit, as the control and a document
// hand it out (*out null on failure).
HRESULT ConverterCreateBound(ViewerContext* context, DocumentSource* source, PageList pages,
                             uint32_t page_count, IConverter** out);

class Converter : public ComClass<Converter, DispatchImpl<IConverter, &IID_IConverter>,
                                  ProvideClassInfoImpl<&CLSID_Converter, nullptr>, NoErrorInfoImpl> {
  public:
    static const ComInterfaceEntry kInterfaces[];
    static HRESULT Create(REFIID iid, void** out);

    // Binds the converter to the context and the loaded source, and the
    // pages with their view settings when the caller keeps them (else null).
    void ConverterInit(ViewerContext* context, DocumentSource* source, PageList pages, uint32_t page_count);

    STDMETHODIMP Convert(BSTR pszTargetFileName, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP get_Rotation(long* pDegree) override;
    STDMETHODIMP put_Rotation(long pDegree) override;
    STDMETHODIMP get_TargetType(BSTR* pVal) override;
    STDMETHODIMP put_TargetType(BSTR newVal) override;
    STDMETHODIMP get_Compression(long* pVal) override;
    STDMETHODIMP put_Compression(long newVal) override;
    STDMETHODIMP get_Quality(long* pVal) override;
    STDMETHODIMP put_Quality(long newVal) override;
    STDMETHODIMP get_ImageDescription(BSTR* pVal) override;
    STDMETHODIMP put_ImageDescription(BSTR newVal) override;
    STDMETHODIMP AddTiffStringTag(long lTagID, BSTR pszContent, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP get_Layout(long* pVal) override;
    STDMETHODIMP put_Layout(long newVal) override;

  private:
    Converter();
    ~Converter() override;

    Ref<ViewerContext> context_;
    Ref<DocumentSource> source_;
    uint32_t target_type_ = converter_choice::kTargetTiff;
    uint32_t layout_ = converter_choice::kDefaultLayout;
    uint32_t compression_ = 0;
    WString description_;
    int32_t rotation_ = 0;
    uint16_t quality_ = converter_choice::kDefaultQuality;  // kept for scripts; no writer uses it
    // The script's tags, and room for the description's behind them.
    ExtraTag tags_[converter_choice::kMaxExtraTags + 1];
    uint32_t tag_count_ = 0;
    PageList pages_;
    uint32_t page_count_ = 0;
};
