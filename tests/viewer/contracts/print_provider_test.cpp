#include "viewer/app/print_dispatch.h"
#include "viewer/contracts/print_provider.h"

#include <gtest/gtest.h>

#include "tests/viewer/fake_print_provider.h"
#include "viewer/app/app_root.h"
#include "viewer/core/viewer_context.h"

namespace {

std::wstring ItemText(ViewerContext* context, uint32_t index, uint32_t count) {
    WString text(L"Print");
    PrintMenuItemSuffix(context, index, count, L"Ctrl+P", text);
    return WStrCStr(text);
}

}  // namespace

// Without a printing layer the root has no printer; the File menu's print
// items tell several providers apart by their names.
TEST(PrintProviderList, EmptyWithoutALayerAndNamedInTheMenu) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    EXPECT_EQ(ViewerPrintProviderCount(context.get()), 0u);
    EXPECT_EQ(ViewerPrintProviderCount(nullptr), 0u);

    PrintProviders& list = root->print_providers;
    ASSERT_TRUE(PrintProvidersAdd(list, MakeRef<FakePrintProvider>(L"Windows printing").get()));
    EXPECT_EQ(ItemText(context.get(), 0, 1), L"Print...\tCtrl+P");
    ASSERT_TRUE(PrintProvidersAdd(list, MakeRef<FakePrintProvider>(L"Plot server").get()));
    EXPECT_EQ(ViewerPrintProviderCount(context.get()), 2u);
    EXPECT_EQ(ItemText(context.get(), 0, 2), L"Print (Windows printing)");
    EXPECT_EQ(ItemText(context.get(), 1, 2), L"Print (Plot server)");
    EXPECT_FALSE(PrintProviderSelectPrinterAt(PrintProvidersGet(list, 1).get(), context.get(), 0));
    EXPECT_FALSE(PrintProvidersGet(list, 2));
    PrintProvidersRelease(list);
    EXPECT_EQ(ViewerPrintProviderCount(context.get()), 0u);
    AppShutdown(root.get());
}
