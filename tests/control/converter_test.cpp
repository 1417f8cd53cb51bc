// A converter bound to a loaded document writes what a script chose on it:
// the TIFF layout, the description and the extra tags as libtiff reads
// them, and a PDF that qpdf accepts.
#include "control/converter.h"

#include "tests/viewer/documents/document_test_support.h"

namespace {

class BoundConverter : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchDir("bound_converter");
        ASSERT_EQ(
            RunHostCommand("convert -size 2400x1600 xc:white -fill black -draw 'rectangle 10,10 100,100' "
                           "-compress Group4 '" +
                           dir + "/in.tif'"),
            0);
        source = viewer.Start(WindowsPathOf(dir + "/in.tif"));
        ASSERT_TRUE(source);
        PumpUntil([&] { return SourceGetState(source.get()) >= kSourceLoaded; }, 15000);
        ASSERT_EQ(SourceGetState(source.get()), static_cast<uint32_t>(kSourceLoaded));
        ASSERT_EQ(Converter::Create(IID_IConverter, converter.PutVoid()), S_OK);
        static_cast<Converter*>(converter.get())->Bind(viewer.context.get(), source.get(), nullptr, 0);
    }
    bool Convert(const std::string& name) {
        BSTR target = SysAllocString(WindowsPathOf(dir + "/" + name).c_str());
        VARIANT_BOOL written = VARIANT_FALSE;
        EXPECT_EQ(converter->Convert(target, &written), S_OK);
        SysFreeString(target);
        return written == VARIANT_TRUE;
    }
    bool TiffInfoHas(const std::string& name, const std::string& text) {
        return RunHostCommand("tiffinfo '" + dir + "/" + name + "' 2>/dev/null | grep -q '" + text + "'") ==
               0;
    }

    RunningViewer viewer;
    std::string dir;
    Ref<DocumentSource> source;
    ComPtr<IConverter> converter;
};

TEST_F(BoundConverter, WritesTheLayoutDescriptionAndTags) {
    ASSERT_EQ(converter->put_Layout(4), S_OK);
    BSTR description = SysAllocString(L"Plan 7");
    BSTR sheet = SysAllocString(L"Sheet A");
    EXPECT_EQ(converter->put_ImageDescription(description), S_OK);
    VARIANT_BOOL added = VARIANT_FALSE;
    EXPECT_EQ(converter->AddTiffStringTag(65000, sheet, &added), S_OK);
    EXPECT_EQ(added, VARIANT_TRUE);
    SysFreeString(description);
    SysFreeString(sheet);
    ASSERT_TRUE(Convert("tiles.tif"));
    EXPECT_TRUE(TiffInfoHas("tiles.tif", "Tile Width: 512"));
    EXPECT_TRUE(TiffInfoHas("tiles.tif", "ImageDescription: Plan 7"));
    EXPECT_TRUE(TiffInfoHas("tiles.tif", "Sheet A"));
    // Layout 4 adds reduced copies while a side stays above 1000 pixels.
    EXPECT_EQ(RunHostCommand("test $(tiffinfo '" + dir +
                             "/tiles.tif' 2>/dev/null | grep -c 'TIFF Directory') -ge 2"),
              0);

    ASSERT_EQ(converter->put_Layout(2), S_OK);
    ASSERT_TRUE(Convert("strips.tif"));
    EXPECT_TRUE(TiffInfoHas("strips.tif", "Rows/Strip: 64"));
}

TEST_F(BoundConverter, WritesPdf) {
    BSTR pdf = SysAllocString(L"pdf");
    ASSERT_EQ(converter->put_TargetType(pdf), S_OK);
    SysFreeString(pdf);
    ASSERT_TRUE(Convert("out.pdf"));
    EXPECT_EQ(RunHostCommand("qpdf --check '" + dir + "/out.pdf' >/dev/null"), 0);
}

}  // namespace
