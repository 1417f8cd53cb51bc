#include "viewer/core/path_utils.h"

#include <gtest/gtest.h>

TEST(PathEquals, CaseSlashesAndItemSuffixes) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool equal;
    };
    const Case cases[] = {
        {nullptr, nullptr, true},
        {nullptr, L"", false},
        {L"", L"", true},
        {L"C:\\Drawings\\Part.tif", L"c:/drawings/PART.TIF", true},
        {L"\\\\server\\share\\a.tif", L"//SERVER/share/a.tif", true},
        {L"C:\\a.tif", L"C:\\a.tiff", false},
        {L"C:\\a.tif", L"C:\\b.tif", false},
        {L"list.txt::1", L"LIST.TXT::2", true},  // both reach "::" together
        {L"list.txt", L"list.txt::4", true},     // one ends where the other goes on with "::"
        {L"list.txt::4", L"list.txt", true},
        {L"list.txt:", L"list.txt", false},
        {L"list.txt", L"list.txt:x", false},
        {L"\u00E4rger.tif", L"\u00C4RGER.TIF", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathEquals(c.a, c.b), c.equal)
            << (c.a ? c.a : L"(null)") << " / " << (c.b ? c.b : L"(null)");
    }
    EXPECT_TRUE(PathEquals(WString(L"A/b"), WString(L"a\\B")));
}

TEST(PathUtils, AbsolutePaths) {
    EXPECT_TRUE(IsAbsolutePath(L"C:\\x"));
    EXPECT_TRUE(IsAbsolutePath(L"http://host/x"));
    EXPECT_TRUE(IsAbsolutePath(L"\\\\server\\x"));
    EXPECT_TRUE(IsAbsolutePath(L"//server/x"));
    EXPECT_FALSE(IsAbsolutePath(L"/\\server"));
    EXPECT_FALSE(IsAbsolutePath(L"\\x"));
    EXPECT_FALSE(IsAbsolutePath(L"drawings\\x.tif"));
    EXPECT_FALSE(IsAbsolutePath(L""));
    EXPECT_FALSE(IsAbsolutePath(nullptr));
}

TEST(PathUtils, JoinMultiSelect) {
    WString out;
    EXPECT_STREQ(WStrCStr(JoinMultiSelect(L"C:\\dir\\one.tif\0", out)), L"C:\\dir\\one.tif");
    EXPECT_STREQ(WStrCStr(JoinMultiSelect(L"C:\\dir\0a.tif\0b.gif\0", out)),
                 L"C:\\dir\\a.tif\tC:\\dir\\b.gif");
    EXPECT_STREQ(WStrCStr(JoinMultiSelect(L"C:\\\0a.tif\0b.gif\0", out)), L"C:\\a.tif\tC:\\b.gif");
    EXPECT_EQ(WStrLength(JoinMultiSelect(L"\0", out)), 0u);
    EXPECT_EQ(WStrLength(JoinMultiSelect(nullptr, out)), 0u);
}

TEST(PathUtils, UrlQueryParameters) {
    struct Case {
        const wchar_t* url;
        const wchar_t* name;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"http://h/p?src=a%20b.tif&page=2", L"src", L"a b.tif"},
        {L"http://h/p?src=a.tif&page=2", L"page", L"2"},
        {L"http://h/p?xsrc=1&src=2", L"src", L"2"},
        {L"http://h/p?src=", L"src", L""},
        {L"http://h/p?a=1", L"b", L""},
        {L"http://h/p?a=1", L"", L""},
    };
    for (const Case& c : cases) {
        WString out = L"old";
        EXPECT_STREQ(WStrCStr(UrlGetQueryParam(c.url, c.name, out)), c.value) << c.url << " " << c.name;
    }
}
