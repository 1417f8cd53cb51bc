#include "viewer/core/image_store.h"

#include <gtest/gtest.h>

#include "foundation/handles.h"

TEST(ImageStore, TakesTheMenuCheckSizeAndRefusesMissingBitmaps) {
    Ref<ImageStore> store = ImageStoreCreate(GetModuleHandleW(nullptr));
    EXPECT_EQ(store->menu_check_width, GetSystemMetrics(SM_CXMENUCHECK));
    EXPECT_EQ(store->menu_check_height, GetSystemMetrics(SM_CYMENUCHECK));
    EXPECT_EQ(LoadBitmapResource(GetModuleHandleW(nullptr), 9999, 16, 16, true, true), nullptr);
    EXPECT_EQ(ImageStoreLoadMenuBitmap(store.get(), 9999), nullptr);
    EXPECT_EQ(ImageStoreLoadMenuBitmap(nullptr, 301), nullptr);

    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR, 2, 2);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(ImageListAddBitmap(store.get(), list, 9999));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_FALSE(ImageListAddBitmap(store.get(), nullptr, 301));
    ImageList_Destroy(list);
}

TEST(ImageStore, FileTypeIconComesFromTheShell) {
    HICON icon = GetFileTypeIcon(L"txt");
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    GdiBitmap colour(info.hbmColor);
    GdiBitmap mask(info.hbmMask);
    BITMAP bitmap = {};
    ASSERT_TRUE(GetObjectW(mask.get(), sizeof(bitmap), &bitmap));
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXSMICON));
    DestroyIcon(icon);
}
