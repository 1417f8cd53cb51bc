#include "foundation/dde_client.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "foundation/shell_open.h"
#include "tests/foundation/dde_test_partner.h"

namespace {

std::wstring ServiceName(const wchar_t* stem) { return stem + std::to_wstring(GetCurrentProcessId()); }

// One request in a conversation of its own: Wine's DDE server follows the
// data of a request with a stray positive acknowledgement, which the next
// transaction of the same conversation would take for its own answer.
bool RequestAlone(const std::wstring& service, const wchar_t* item, WString& answer) {
    Ref<DdeClient> client = DdeClientConnect(service.c_str(), L"MDI", kDdeConnectTimeoutMs);
    return client && DdeClientRequest(client.get(), item, answer);
}

}  // namespace

TEST(DdeClientTalk, ExecuteAndRequestReachTheServer) {
    const std::string log = MakeScratchDir("dde-client") + "/log.txt";
    const std::wstring service = ServiceName(L"PlxDdeTest");
    Partner partner(log, L"-service " + service + L" -windows -delay 500");
    ASSERT_TRUE(partner.started());
    // Connecting while the server is still starting: the first tries fail,
    // and their error must not make the later execute look failed.
    Ref<DdeClient> client = DdeClientConnect(service.c_str(), L"MDI", 10000);
    ASSERT_TRUE(client);
    ASSERT_TRUE(LogHas(log, "ready"));

    // Wine's Unicode DDE server takes text with a unit above U+00FF for 8-bit
    // text and widens it once more, so the non-ASCII text here stays in
    // Latin-1.
    const std::wstring command = L"FileOpen(\"c:\\Gr\u00fc\u00dfe \u00e9t\u00e9\\a b.tif\",0)";
    EXPECT_TRUE(DdeClientExecute(client.get(), command.c_str()));
    EXPECT_TRUE(WaitForLogLine(log, "execute\tMDI\t" + Utf8Of(command)));
    EXPECT_FALSE(DdeClientExecute(client.get(), L"Reject"));
    // A failed transaction leaves its error on the instance; the next execute
    // is judged by its own answer.
    WString nothing;
    EXPECT_FALSE(DdeClientRequest(client.get(), L"Nothing", nothing));
    EXPECT_TRUE(DdeClientExecute(client.get(), L"AppActivate"));
    EXPECT_TRUE(WaitForLogLine(log, "execute\tMDI\tAppActivate"));
    EXPECT_FALSE(DdeClientExecute(client.get(), WString()));

    WString answer;
    EXPECT_TRUE(RequestAlone(service, L"GetProcessID", answer));
    EXPECT_EQ(WStrToInt(answer), static_cast<int32_t>(partner.id()));
    EXPECT_TRUE(RequestAlone(service, L"Umlaut", answer));
    EXPECT_STREQ(WStrCStr(answer), L"Gr\u00fc\u00df");
    EXPECT_TRUE(RequestAlone(service, L"Unterminated", answer));
    EXPECT_STREQ(WStrCStr(answer), L"abc");
    EXPECT_FALSE(RequestAlone(service, L"Nothing", answer));
    EXPECT_EQ(WStrLength(answer), 0u);
    EXPECT_FALSE(DdeClientRequest(client.get(), WString(), answer));

    HWND server_window = DdeClientGetServerWindow(client.get());
    ASSERT_TRUE(server_window);
    DWORD owner = 0;
    GetWindowThreadProcessId(server_window, &owner);
    EXPECT_EQ(owner, partner.id());
    EXPECT_EQ(GetParent(server_window), nullptr);

    // Of the server's windows only the visible unowned one counts; the DDE
    // windows, the hidden one and the owned popup are newer and come first.
    const std::string visible = LogValue(log, "windows\tvisible=");
    ASSERT_FALSE(visible.empty());
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(FindProcessWindow(partner.id())), std::stoul(visible, nullptr, 16));

    DdeClientExecute(client.get(), L"Quit");  // the answer may be lost as the server ends
}

TEST(DdeClientTalk, NobodyServingGivesUpInBoundedTime) {
    const ULONGLONG start = GetTickCount64();
    Ref<DdeClient> client =
        DdeClientConnect(ServiceName(L"PlxNobodyServes").c_str(), L"MDI", kDdeConnectTimeoutMs);
    EXPECT_FALSE(client);
    EXPECT_LT(GetTickCount64() - start, 10000u);
    EXPECT_FALSE(DdeClientExecute(nullptr, L"x"));
    EXPECT_EQ(DdeClientGetServerWindow(nullptr), nullptr);
}
