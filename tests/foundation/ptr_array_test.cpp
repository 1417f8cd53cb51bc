#include "foundation/ptr_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/foundation/counted_probe.h"

namespace {

// Probes owned by the test itself: one reference each, dropped at the end.
struct ProbeSet {
    explicit ProbeSet(int n) {
        for (int i = 0; i < n; ++i) probes.push_back(new CountedProbe(i));
    }
    ~ProbeSet() {
        for (CountedProbe* probe : probes) RefRelease(probe);
    }
    CountedProbe* operator[](size_t i) const { return probes[i]; }
    std::vector<CountedProbe*> probes;
};

std::vector<RefCounted*> Contents(const PtrArray& array) {
    return std::vector<RefCounted*>(array.items, array.items + array.count);
}

}  // namespace

TEST(PtrArrayOwning, ClearReleasesFromLastToFirst) {
    CountedProbe::ResetLog();
    PtrArray array(2, true);
    for (int i = 0; i < 5; ++i) {
        Ref<CountedProbe> probe = MakeRef<CountedProbe>(i);
        PtrArrayAdd(array, probe.get());
    }
    EXPECT_TRUE(CountedProbe::destruction_log.empty());
    PtrArrayClear(array);
    EXPECT_EQ(CountedProbe::destruction_log, (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(array.items, nullptr);
    EXPECT_EQ(array.capacity, 0u);
    EXPECT_EQ(CountedProbe::alive, 0);
}

TEST(PtrArrayNonOwning, HoldsPlainPointersButGetAddsReference) {
    ProbeSet set(2);
    {
        PtrArray array(8, false);
        PtrArrayAdd(array, set[0]);
        PtrArrayInsert(array, set[1], 0);
        EXPECT_EQ(set[0]->count(), 1u);
        Ref<RefCounted> got = PtrArrayGet(array, 0);
        EXPECT_EQ(got.get(), set[1]);
        EXPECT_EQ(set[1]->count(), 2u);
        got.Reset();
        PtrArrayRemoveAt(array, 0);
        EXPECT_EQ(set[1]->count(), 1u);
    }
    EXPECT_EQ(set[0]->count(), 1u);
}

TEST(PtrArrayStorage, GrowsByStepAndFreesWhenEmptied) {
    ProbeSet set(1);
    PtrArray array(3, true);
    EXPECT_EQ(array.items, nullptr);
    for (uint32_t i = 1; i <= 7; ++i) {
        PtrArrayAdd(array, set[0]);
        EXPECT_EQ(array.capacity, (i + 2) / 3 * 3);
    }
    PtrArrayCompact(array);
    EXPECT_EQ(array.capacity, 7u);
    while (array.count > 0) PtrArrayRemoveAt(array, 0);
    EXPECT_EQ(array.items, nullptr);
    EXPECT_EQ(array.capacity, 0u);
    EXPECT_EQ(PtrArrayAdd(array, set[0]), 0);
    EXPECT_NE(array.items, nullptr);
    EXPECT_EQ(array.capacity, 3u);

    PtrArray zero_step(0, false);
    EXPECT_EQ(zero_step.grow_step, 1u);
}

TEST(PtrArrayStorage, CopyHoldsItsOwnReferences) {
    ProbeSet set(3);
    PtrArray array(1, true);
    for (int i : {0, 0, 2, 1}) PtrArrayAdd(array, set[i]);
    EXPECT_FALSE(PtrArrayInsert(array, nullptr, 0));
    EXPECT_EQ(PtrArrayAdd(array, nullptr), -1);
    {
        PtrArray copy;
        EXPECT_TRUE(PtrArrayCopy(copy, array));
        EXPECT_EQ(Contents(copy), Contents(array));
        EXPECT_TRUE(copy.owns);
        EXPECT_EQ(copy.grow_step, 4u);
        EXPECT_EQ(set[0]->count(), 5u);
        EXPECT_EQ(set[2]->count(), 3u);
    }
    EXPECT_EQ(set[0]->count(), 3u);
    PtrArray empty(7, false), copy_of_empty;
    EXPECT_TRUE(PtrArrayCopy(copy_of_empty, empty));
    EXPECT_EQ(copy_of_empty.grow_step, 1u);
    EXPECT_FALSE(copy_of_empty.owns);
}

// Random operations against a plain vector; after every step the contents
// and every probe's count must match exactly.
TEST(PtrArrayModel, RandomOperationsKeepExactCounts) {
    ProbeSet set(6);
    std::mt19937 random(1234);
    PtrArray array(3, true);
    std::vector<RefCounted*> model;
    for (int step = 0; step < 4000; ++step) {
        CountedProbe* probe = set[random() % 6];
        uint32_t index = static_cast<uint32_t>(random() % (model.size() + 2));
        switch (random() % 7) {
            case 0:
            case 1:
                PtrArrayAdd(array, probe);
                model.push_back(probe);
                break;
            case 2:
                if (PtrArrayInsert(array, probe, index))
                    model.insert(model.begin() + index, probe);
                else
                    EXPECT_GT(index, model.size());
                break;
            case 3:
            case 4:
                PtrArrayRemoveAt(array, index);
                if (index < model.size()) model.erase(model.begin() + index);
                break;
            case 5: {
                Ref<RefCounted> got = PtrArrayGet(array, index);
                EXPECT_EQ(got.get(), index < model.size() ? model[index] : nullptr);
                // Found from the end: the last place the probe holds.
                auto last = std::find(model.rbegin(), model.rend(), probe);
                EXPECT_EQ(PtrArrayFind(array, probe),
                          last == model.rend() ? -1 : int32_t(model.rend() - last) - 1);
                break;
            }
            default:
                if (step % 50 == 0) {
                    PtrArrayClear(array);
                    model.clear();
                } else {
                    PtrArrayCompact(array);
                    EXPECT_EQ(array.capacity, array.count);
                }
        }
        ASSERT_EQ(Contents(array), model) << "step " << step;
        for (CountedProbe* each : set.probes) {
            auto held = std::count(model.begin(), model.end(), each);
            ASSERT_EQ(each->count(), 1u + held) << "step " << step;
        }
    }
}

TEST(PtrArrayReentry, DestructorThatUnregistersItselfFindsNothing) {
    PtrArray array(2, true);
    std::vector<int> found_while_dying;
    auto unregister = [&](CountedProbe* dying) {
        int32_t index = PtrArrayFind(array, dying);
        found_while_dying.push_back(index);
        if (index >= 0) PtrArrayRemoveAt(array, static_cast<uint32_t>(index));
    };
    for (int i = 0; i < 4; ++i) {
        Ref<CountedProbe> probe = MakeRef<CountedProbe>(i);
        probe->on_destroy = unregister;
        PtrArrayAdd(array, probe.get());
    }
    PtrArrayRemoveAt(array, 1);
    EXPECT_EQ(PtrArrayCount(array), 3u);
    PtrArrayClear(array);
    EXPECT_EQ(found_while_dying, (std::vector<int>{-1, -1, -1, -1}));
    EXPECT_EQ(CountedProbe::alive, 0);
}

TEST(PtrArrayReentry, DestructorThatRemovesAnotherElement) {
    PtrArray array(1, true);
    Ref<CountedProbe> first = MakeRef<CountedProbe>(1);
    Ref<CountedProbe> second = MakeRef<CountedProbe>(2);
    PtrArrayAdd(array, first.get());
    PtrArrayAdd(array, second.get());
    // Dropping the first takes the second with it, from inside the release.
    first->on_destroy = [&](CountedProbe*) { PtrArrayRemoveAt(array, 0); };
    first.Reset();
    second.Reset();
    PtrArrayRemoveAt(array, 0);
    EXPECT_EQ(PtrArrayCount(array), 0u);
    EXPECT_EQ(array.items, nullptr);
    EXPECT_EQ(CountedProbe::alive, 0);
}

// The window registry case: an object leaves a non-owning array only in its
// destructor, and a look-up during that destructor must not revive it.
TEST(PtrArrayReentry, NonOwningGetSkipsObjectInItsDestructor) {
    PtrArray registry(8, false);
    bool looked_up = false;
    auto* probe = new CountedProbe(7);
    probe->on_destroy = [&](CountedProbe* dying) {
        EXPECT_EQ(PtrArrayGet(registry, 0), nullptr);
        looked_up = true;
        PtrArrayRemoveAt(registry, static_cast<uint32_t>(PtrArrayFind(registry, dying)));
    };
    PtrArrayAdd(registry, probe);
    RefRelease(probe);
    EXPECT_TRUE(looked_up);
    EXPECT_EQ(PtrArrayCount(registry), 0u);
    EXPECT_EQ(CountedProbe::alive, 0);
}
