#include "viewer/core/open_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::wstring Text(const WString& text) { return WStrCStr(text); }

}  // namespace

TEST(OpenParams, SettersNormaliseTheirValues) {
    Ref<OpenParams> p = OpenParamsCreate();
    const int32_t rotations[][2] = {{90, 90},   {-90, 270}, {-450, 270},   {-720, 0},
                                    {630, 270}, {45, 0},    {INT32_MIN, 0}};
    for (const auto& rotation : rotations) {
        OpenParamsSetRotation(p.get(), rotation[0]);
        EXPECT_EQ(OpenParamsGetRotation(p.get()), static_cast<uint32_t>(rotation[1])) << rotation[0];
    }
    OpenParamsSetOffsets(p.get(), -1.0, 2.0, NAN, 4.0);
    double l, t, r, b;
    ASSERT_TRUE(OpenParamsGetOffsets(p.get(), l, t, r, b));
    EXPECT_EQ(l, 0.0);
    EXPECT_EQ(t, 2.0);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(b, 4.0);
    EXPECT_TRUE(p->modified);
    RectD bad;
    RectDSet(bad, -1.0, 0.0, 10.0, 10.0);
    EXPECT_FALSE(OpenParamsSetCutOut(p.get(), bad));
    RectD cut;
    EXPECT_FALSE(OpenParamsGetCutOut(p.get(), cut));
}

TEST(OpenParams, CloneCopiesEverythingButTheModifiedMark) {
    Ref<OpenParams> source = OpenParamsCreate();
    OpenParamsSetTitle(source.get(), L"Plan");
    OpenParamsSetOffsets(source.get(), 1, 2, 3, 4);
    OpenParamsSetMirrorV(source.get(), true);
    OpenParamsSetAllowPrint(source.get(), false);
    OpenParamsSetMaxLoadingTime(source.get(), 7000);
    OpenParamsSetActivateWhenLoaded(source.get(), false);
    Ref<Scale> scale = ScaleCreate(1, 50);
    OpenParamsSetScale(source.get(), scale.get());

    Ref<OpenParams> clone = OpenParamsClone(source.get());
    EXPECT_EQ(Text(OpenParamsGetTitle(clone.get())), L"Plan");
    double l, t, r, b;
    EXPECT_TRUE(OpenParamsGetOffsets(clone.get(), l, t, r, b));
    EXPECT_EQ(b, 4.0);
    EXPECT_TRUE(OpenParamsGetMirrorV(clone.get()));
    EXPECT_FALSE(OpenParamsGetAllowPrint(clone.get()));
    EXPECT_EQ(OpenParamsGetMaxLoadingTime(clone.get()), 7000u);
    EXPECT_FALSE(OpenParamsGetActivateWhenLoaded(clone.get()));
    EXPECT_EQ(OpenParamsGetScale(clone.get()).get(), scale.get());  // shared, not copied
    EXPECT_FALSE(clone->modified);
}

TEST(OpenParams, MergeFillsOnlyWhatTheRequestLeftUnset) {
    Ref<OpenParams> defaults = OpenParamsCreate();
    OpenParamsSetTitle(defaults.get(), L"Default title");
    OpenParamsSetOffsets(defaults.get(), 5, 5, 5, 5);
    OpenParamsSetRotation(defaults.get(), 90);
    OpenParamsSetInverted(defaults.get(), true);
    OpenParamsSetAllowSave(defaults.get(), false);
    OpenParamsSetUserId(defaults.get(), L"guest");
    OpenParamsSetPassword(defaults.get(), L"guest-pw");
    OpenParamsSetCookie(defaults.get(), L"c=1");
    OpenParamsSetMaxLoadingTime(defaults.get(), 3000);
    Ref<Scale> scale = ScaleCreate(1, 100);
    OpenParamsSetScale(defaults.get(), scale.get());

    // A request with its own user but no password keeps the empty password.
    Ref<OpenParams> given = OpenParamsCreate();
    OpenParamsSetRotation(given.get(), 180);
    OpenParamsSetInverted(given.get(), false);
    OpenParamsSetUserId(given.get(), L"anna");
    Ref<OpenParams> merged = OpenParamsCloneWithDefaults(given.get(), defaults.get());
    EXPECT_EQ(OpenParamsGetRotation(merged.get()), 180u);
    EXPECT_FALSE(OpenParamsGetInverted(merged.get()));
    EXPECT_EQ(Text(OpenParamsGetTitle(merged.get())), L"Default title");
    EXPECT_FALSE(OpenParamsGetAllowSave(merged.get()));
    EXPECT_EQ(Text(OpenParamsGetUserId(merged.get())), L"anna");
    EXPECT_EQ(Text(OpenParamsGetPassword(merged.get())), L"");
    EXPECT_EQ(Text(OpenParamsGetCookie(merged.get())), L"c=1");
    EXPECT_EQ(OpenParamsGetMaxLoadingTime(merged.get()), 3000u);
    EXPECT_EQ(OpenParamsGetScale(merged.get()).get(), scale.get());
    double l, t, r, b;
    EXPECT_TRUE(OpenParamsGetOffsets(merged.get(), l, t, r, b));
    EXPECT_TRUE(merged->modified);
    // The request itself is untouched.
    EXPECT_FALSE(given->margins_set);

    // Without a user of its own the request takes the default user with its password.
    Ref<OpenParams> anonymous = OpenParamsCloneWithDefaults(nullptr, defaults.get());
    EXPECT_EQ(Text(OpenParamsGetUserId(anonymous.get())), L"guest");
    EXPECT_EQ(Text(OpenParamsGetPassword(anonymous.get())), L"guest-pw");
}
