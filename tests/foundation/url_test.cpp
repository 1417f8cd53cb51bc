#include "foundation/url.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

std::wstring Text(const WString& s) { return WStrCStr(s); }

std::wstring Print(const Ref<UrlParts>& parts) {
    WString out;
    return parts ? Text(UrlToString(parts.get(), out)) : L"<null>";
}

Ref<UrlParts> Resolve(const wchar_t* base, const wchar_t* relative) {
    Ref<UrlParts> base_parts = UrlParse(base), relative_parts = UrlParse(relative);
    return UrlResolve(base_parts.get(), relative_parts.get());
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

TEST(UrlSplit, SplitsEveryPart) {
    struct Case {
        const wchar_t* text;
        uint32_t scheme;
        const wchar_t* host;
        uint16_t port;
        const wchar_t* path;
        const wchar_t* query;
        const wchar_t* fragment;
    };
    const Case cases[] = {
        {L"HTTP://MyHost:8080/A/b.tif?x=1#f", kUrlHttp, L"myhost", 8080, L"/A/b.tif", L"x=1", L"f"},
        {L"https://h/a", kUrlHttps, L"h", 443, L"/a", L"", L""},
        {L"ftp://files.example/pub/x.tif", kUrlFtp, L"files.example", 21, L"/pub/x.tif", L"", L""},
        {L"docs/a.tif", kUrlRelative, L"", 0, L"docs/a.tif", L"", L""},
        {L"http://h?q#f", kUrlHttp, L"h", 80, L"/", L"q", L"f"},
        {L"http://h", kUrlHttp, L"h", 80, L"/", L"", L""},
        {L"http://h:/x", kUrlHttp, L"h", 80, L"/x", L"", L""},
        {L"?only=query", kUrlRelative, L"", 0, L"", L"only=query", L""},
        {L"#top", kUrlRelative, L"", 0, L"", L"", L"top"},
        // Ends trimmed, line ends and tabs dropped, inner spaces kept as %20.
        {L"  http://h/my file\r\n.tif\t ", kUrlHttp, L"h", 80, L"/my%20file.tif", L"", L""},
        {L".", kUrlDot, L"", 0, L"", L"", L""},
        {L"mailto: a@b.example ", kUrlMail, L"", 0, L"a@b.example", L"", L""},
        {L"javascript:go()", kUrlScript, L"", 0, L"go()", L"", L""},
        {L"MAILTO:x", kUrlRelative, L"", 0, L"MAILTO:x", L"", L""},
    };
    for (const Case& c : cases) {
        uint32_t scheme = 99;
        uint16_t port = 99;
        WString host, path, query, fragment;
        ASSERT_TRUE(UrlSplit(c.text, scheme, host, port, path, query, fragment)) << Narrow(c.text);
        EXPECT_EQ(scheme, c.scheme) << Narrow(c.text);
        EXPECT_EQ(Text(host), c.host) << Narrow(c.text);
        EXPECT_EQ(port, c.port) << Narrow(c.text);
        EXPECT_EQ(Text(path), c.path) << Narrow(c.text);
        EXPECT_EQ(Text(query), c.query) << Narrow(c.text);
        EXPECT_EQ(Text(fragment), c.fragment) << Narrow(c.text);
    }
}

TEST(UrlSplit, RefusesBadText) {
    for (const wchar_t* text :
         {L"gopher://h/x", L"http://:80/x", L"", L"  \r\n", L"http:///x", L"http://h:65536/x"}) {
        uint32_t scheme;
        uint16_t port;
        WString host, path, query, fragment;
        EXPECT_FALSE(UrlSplit(text, scheme, host, port, path, query, fragment)) << Narrow(text);
        EXPECT_FALSE(UrlParse(text)) << Narrow(text);
    }
}

TEST(UrlParts, PrintsAbsoluteOnly) {
    EXPECT_EQ(Print(UrlParse(L"http://h/a")), L"http://h:80/a");
    EXPECT_EQ(Print(UrlParse(L"https://H:444/a?b#c")), L"https://h:444/a?b");
    EXPECT_EQ(Print(UrlParse(L"mailto:x@y")), L"mailto:x@y");
    EXPECT_EQ(Print(UrlParse(L"javascript:f()")), L"javascript:f()");
    EXPECT_EQ(Print(UrlParse(L"docs/a.tif")), L"");
    EXPECT_EQ(Print(UrlParse(L".")), L"");
    EXPECT_EQ(Print(UrlParse(L"mailto:")), L"");
    Ref<UrlParts> made = UrlPartsCreate(kUrlFtp, L"Files", 2121, L"\\pub\\a.tif", L"", L"", L"", L"");
    EXPECT_TRUE(UrlIsAbsolutePath(made.get()));
    EXPECT_EQ(Print(made), L"ftp://files:2121/pub/a.tif");
    Ref<UrlParts> no_port = UrlPartsCreate(kUrlHttp, L"h", 0, L"/a", L"", L"", L"", L"");
    EXPECT_FALSE(UrlIsAbsolutePath(no_port.get()));
}

TEST(UrlResolve, RelativeAgainstBase) {
    struct Case {
        const wchar_t* base;
        const wchar_t* relative;
        const wchar_t* expected;  // null: the resolution fails
    };
    const Case cases[] = {
        {L"http://h/a/b/x.tif", L"../c.tif", L"http://h:80/a/c.tif"},
        {L"http://h/a/b/x.tif", L"../../../c.tif", nullptr},
        {L"http://h/a/b/x.tif", L"../../c.tif", L"http://h:80/c.tif"},
        {L"http://h/a/b/x.tif", L"./c.tif", L"http://h:80/a/b/c.tif"},
        {L"http://h/a/b/x.tif", L"c.tif?p=1", L"http://h:80/a/b/c.tif?p=1"},
        {L"http://h/a/b/x.tif", L"/root.tif", L"http://h:80/root.tif"},
        {L"http://h/a/b/x.tif", L"?p=2", L"http://h:80/a/b/x.tif?p=2"},
        {L"http://h:8080/x.tif", L"y.tif", L"http://h:8080/y.tif"},
        {L"http://h/x.tif", L"https://other/y.tif", L"https://other:443/y.tif"},
        {L"http://h/a/x.tif", L".hidden", nullptr},
        {L"http://h/a/x.tif", L"mailto:m@h", L"mailto:m@h"},
        {L"http://h/a/x.tif", L".", L"http://h:80/a/x.tif"},
        {L"http://h/a/x.tif", L"ftp://f/x.tif", L"ftp://f:21/x.tif"},
    };
    for (const Case& c : cases) {
        Ref<UrlParts> result = Resolve(c.base, c.relative);
        if (!c.expected) {
            EXPECT_FALSE(result) << Narrow(c.relative);
            continue;
        }
        ASSERT_TRUE(result) << Narrow(c.relative);
        EXPECT_EQ(Print(result), c.expected) << Narrow(c.relative);
    }
    EXPECT_FALSE(UrlResolve(nullptr, UrlParse(L"a").get()));
}

// Python's urljoin agrees wherever the resolution succeeds (the base names
// its port, as the printed form does).
TEST(UrlResolve, AgreesWithPythonUrljoin) {
    const wchar_t* base = L"http://h:80/a/b/c/x.tif?q=1";
    for (const wchar_t* relative :
         {L"../d.tif", L"./e/f.tif", L"g.tif", L"../../h.tif", L"/i.tif", L"j.tif?k=2", L"../../../l.tif"}) {
        Ref<UrlParts> result = Resolve(base, relative);
        ASSERT_TRUE(result) << Narrow(relative);
        const std::string command =
            "test \"$(/usr/bin/python3 -c 'import sys, urllib.parse; "
            "print(urllib.parse.urljoin(sys.argv[1], sys.argv[2]))' '" +
            Narrow(base) + "' '" + Narrow(relative) + "')\" = '" + Narrow(Print(result)) + "'";
        EXPECT_EQ(RunHostCommand(command), 0) << Narrow(relative) << " -> " << Narrow(Print(result));
    }
}
