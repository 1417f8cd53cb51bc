// Conversions that write files after a page's script was seen: refused
// unless the machine allows them.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include "control/object_safety.h"
#include "foundation/registry.h"
#include "viewer/core/settings.h"

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

}  // namespace
