// Conversions that write files after a page's script was seen: refused
// unless the machine allows them; what an untrusted page may have opened.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include "control/object_safety.h"
#include "foundation/registry.h"
#include "tests/support/test_support.h"
#include "viewer/core/settings.h"
#include "viewer/documents/document_source.h"

namespace {

TEST(ObjectSafetyTest, UntrustedCallersWriteOnlyWithTheMachinesConsent) {
    ObjectSafetyReset();
    EXPECT_TRUE(ObjectSafetyWritingAllowed());
    ObjectSafetyNoteUntrustedCaller();
    EXPECT_FALSE(ObjectSafetyWritingAllowed());
    {
        RegKey key = RegOpen(HKEY_LOCAL_MACHINE, kSettingsKeyPath, false);
        ASSERT_TRUE(key);
        ASSERT_TRUE(RegSetString(key.get(), kAllowUntrustedConversionValue, WString(L"0")));
        EXPECT_FALSE(ObjectSafetyWritingAllowed());
        ASSERT_TRUE(RegSetString(key.get(), kAllowUntrustedConversionValue, WString(L"1")));
        EXPECT_TRUE(ObjectSafetyWritingAllowed());
        RegDeleteValue(key.get(), kAllowUntrustedConversionValue);
    }
    EXPECT_FALSE(ObjectSafetyWritingAllowed());
    ObjectSafetyReset();
}

// The web's documents always; this machine's and a share's only for a page
// that came from there itself, or with the machine's consent.
TEST(ObjectSafetyTest, UntrustedPagesOpenLocalFilesOnlyFromLocalPagesOrWithConsent) {
    struct Case {
        const wchar_t* target;
        bool network;
    };
    const Case targets[] = {
        {L"http://server.example/plan.tif", true},    {L"HTTPS://server.example/a/b.tif?x=1", true},
        {L"ftp://server.example/plan.tif", true},     {L"C:\\drawings\\plan.tif", false},
        {L"\\\\server\\share\\plan.tif", false},      {L"file:///C:/drawings/plan.tif", false},
        {L"file://server/share/plan.tif", false},     {L"plan.tif", false},
        {L"gopher://server.example/plan.tif", false},
    };
    const WString web_page(L"http://server.example/page.html");
    const WString local_pages[] = {WString(L"file:///C:/pages/page.html"), WString(L"C:\\pages\\page.html"),
                                   WString(L"\\\\server\\share\\page.html")};
    RegKey key = RegOpen(HKEY_LOCAL_MACHINE, kSettingsKeyPath, false);
    ASSERT_TRUE(key);
    RegDeleteValue(key.get(), kAllowUntrustedLocalFilesValue);
    // The web's documents are what the viewer still opens for a caller held
    // to them.
    for (const Case& target : targets)
        EXPECT_EQ(SourceIsDownload(WString(target.target)), target.network) << Utf8Of(target.target);
    EXPECT_TRUE(ObjectSafetyUntrustedWebOnly(nullptr));
    EXPECT_TRUE(ObjectSafetyUntrustedWebOnly(&web_page));
    for (const WString& page : local_pages) EXPECT_FALSE(ObjectSafetyUntrustedWebOnly(&page));
    ASSERT_TRUE(RegSetString(key.get(), kAllowUntrustedLocalFilesValue, WString(L"0")));
    EXPECT_TRUE(ObjectSafetyUntrustedWebOnly(&web_page));
    ASSERT_TRUE(RegSetString(key.get(), kAllowUntrustedLocalFilesValue, WString(L"1")));
    EXPECT_FALSE(ObjectSafetyUntrustedWebOnly(&web_page));
    EXPECT_FALSE(ObjectSafetyUntrustedWebOnly(nullptr));
    RegDeleteValue(key.get(), kAllowUntrustedLocalFilesValue);
}

}  // namespace
