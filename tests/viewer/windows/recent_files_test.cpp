// The recent-file list against the registry: values seeded with `wine reg
// add`, what saving leaves read back with `wine reg query`, and the short
// names of the File menu. A full list taking a 21st file and the recent
// command moving its file to the top are checked from outside
// (frame_panes_test).
#include "viewer/windows/recent_files.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/core/settings_test_support.h"
#include "viewer/core/settings.h"

namespace {

class RecentFilesRegistry : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(redirect_.ok()); }
    // Settings and list as the root makes them, with this list length.
    Ref<RecentFiles> Load(int length) {
        SeedRegistry(redirect_.UserSettingsKey(), {{"LENGTH_RECENT_FILES_LIST", std::to_string(length)}});
        settings_ = SettingsCreate();
        EXPECT_TRUE(SettingsLoad(settings_.get()));
        EXPECT_EQ(SettingsGetRecentFilesLength(settings_.get()), length);
        return RecentFilesCreate(nullptr, settings_.get());
    }
    RegListing Saved() const { return QueryRegistry(recent_key, "recent_files_query"); }
    static std::string Path(int n) { return "C:\\docs\\file" + std::to_string(n) + ".tif"; }

    SettingsKeyRedirect redirect_{"PlovexRecentFilesTest"};
    const std::string recent_key = redirect_.UserSettingsKey() + "\\RecentFiles";
    Ref<Settings> settings_;
};

WString W(const std::string& text) { return WString(std::wstring(text.begin(), text.end()).c_str()); }
std::string Narrow(const WString& text) {
    std::wstring wide = WStrCStr(text);
    return std::string(wide.begin(), wide.end());
}
RegListedValue Text(const std::string& text) { return {"REG_SZ", text}; }

TEST_F(RecentFilesRegistry, ReopeningMovesToTheTopAndTheTopStays) {
    SeedRegistry(recent_key, {{"FILE_0", Path(0)}, {"FILE_1", Path(1)}, {"FILE_2", Path(2)}, {"FILE_3", ""}});
    Ref<RecentFiles> list = Load(5);
    ASSERT_EQ(RecentFilesCount(list.get()), 3u);

    // Compared without case; the new spelling is kept.
    std::string second = Path(1);
    for (char& c : second) c = static_cast<char>(toupper(c));
    EXPECT_TRUE(RecentFilesAdd(list.get(), W(second)));
    EXPECT_FALSE(RecentFilesAdd(list.get(), W(second)));
    EXPECT_FALSE(RecentFilesAdd(list.get(), WString()));
    EXPECT_EQ(Narrow(RecentFilesGet(list.get(), 0)), second);
    EXPECT_EQ(Narrow(RecentFilesGet(list.get(), 1)), Path(0));
    EXPECT_EQ(Narrow(RecentFilesGet(list.get(), 2)), Path(2));
    EXPECT_EQ(WStrLength(RecentFilesGet(list.get(), 3)), 0u);
    ASSERT_TRUE(RecentFilesSave(list.get()));

    // The empty FILE_3 was not counted as found, so it stays as it was.
    const RegListing expected = {{"FILE_0", Text(second)},
                                 {"FILE_1", Text(Path(0))},
                                 {"FILE_2", Text(Path(2))},
                                 {"FILE_3", {"REG_SZ", ""}}};
    EXPECT_EQ(Saved(), expected);
}

TEST_F(RecentFilesRegistry, StaleValuesBeyondAShorterListAreDeleted) {
    RegValues seeded;
    for (int position = 0; position < 5; ++position) seeded.push_back({"FILE_" + std::to_string(position), Path(position)});
    SeedRegistry(recent_key, seeded);
    Ref<RecentFiles> list = Load(5);
    ASSERT_EQ(RecentFilesCount(list.get()), 5u);

    // The list gets shorter while the program runs.
    SeedRegistry(redirect_.UserSettingsKey(), {{"LENGTH_RECENT_FILES_LIST", "2"}});
    ASSERT_TRUE(SettingsLoad(settings_.get()));
    EXPECT_TRUE(RecentFilesAdd(list.get(), W(Path(9))));
    ASSERT_TRUE(RecentFilesSave(list.get()));
    const RegListing expected = {{"FILE_0", Text(Path(9))}, {"FILE_1", Text(Path(0))}};
    EXPECT_EQ(Saved(), expected);
}

TEST_F(RecentFilesRegistry, NothingIsKeptWithoutSettingsOrWithALengthOfZero) {
    Ref<RecentFiles> without = RecentFilesCreate(nullptr, nullptr);
    EXPECT_FALSE(RecentFilesAdd(without.get(), W(Path(1))));
    EXPECT_TRUE(RecentFilesSave(without.get()));

    Ref<RecentFiles> list = Load(0);
    EXPECT_FALSE(RecentFilesAdd(list.get(), W(Path(1))));
    EXPECT_EQ(RecentFilesCount(list.get()), 0u);
    EXPECT_TRUE(RecentFilesSave(list.get()));
    EXPECT_TRUE(Saved().empty());
}

TEST(RecentFilesShortenName, KeepsTheHeadAndTheTail) {
    struct Case {
        std::string path;
        std::string shown;
    };
    const std::string forty = "C:\\" + std::string(33, 'a') + ".tif";                   // 40 characters
    const std::string forty_four = "C:\\dir\\" + std::string(33, 'b') + ".tif";          // 44 characters
    const std::string url = "http://example.org/" + std::string(30, 'c') + ".tif";       // scheme head
    const std::string unc = "\\\\server\\share\\" + std::string(30, 'd') + ".tif";      // UNC head
    // A "://" at position 35 of 45: the rest is shorter than the tail.
    const std::string late = std::string(35, 'e') + "://abcdefg";
    const std::string plain = std::string(45, 'f');                                       // no head
    const Case cases[] = {
        {forty, forty},
        {forty_four, "C:\\..." + forty_four.substr(44 - 37)},
        {url, "http://..." + url.substr(url.size() - 37)},
        {unc, "\\\\..." + unc.substr(unc.size() - 37)},
        {late, "..." + late.substr(45 - 37)},
        {plain, "..." + plain.substr(45 - 37)},
    };
    for (const Case& c : cases) {
        const std::string shown = Narrow(RecentFilesShortenName(W(c.path), 40));
        EXPECT_EQ(shown, c.shown) << c.path;
    }
    EXPECT_EQ(Narrow(RecentFilesShortenName(W(forty_four), 40)).size(), 43u);
}

}  // namespace
