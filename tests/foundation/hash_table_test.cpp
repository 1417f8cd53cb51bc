#include "foundation/hash_table.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/foundation/counted_probe.h"
#include "tests/support/test_support.h"

TEST(IntHashTable, InsertLookupRemoveKeepExactCounts) {
    EXPECT_EQ(IntHashNew(0, 0), nullptr);
    Ref<IntHashTable> table = IntHashNew(29, 0);
    ASSERT_NE(table, nullptr);
    Ref<CountedProbe> a = MakeRef<CountedProbe>(1);
    Ref<CountedProbe> b = MakeRef<CountedProbe>(2);

    EXPECT_TRUE(IntHashInsert(table.get(), 5, a.get(), nullptr));
    EXPECT_TRUE(IntHashInsert(table.get(), 5 + 29, b.get(), nullptr));  // same bucket
    EXPECT_FALSE(IntHashInsert(table.get(), 5, b.get(), nullptr));
    EXPECT_FALSE(IntHashInsert(table.get(), 6, nullptr, nullptr));
    EXPECT_EQ(a->count(), 2u);
    EXPECT_EQ(b->count(), 2u);
    EXPECT_EQ(table->entry_count, 2u);
    EXPECT_EQ(table->change_counter, 2u);

    {
        Ref<RefCounted> found = IntHashFind(table.get(), 34);
        EXPECT_EQ(found.get(), b.get());
        EXPECT_EQ(b->count(), 3u);
    }
    EXPECT_EQ(IntHashFind(table.get(), 63), nullptr);

    EXPECT_TRUE(IntHashRemove(table.get(), 5));
    EXPECT_FALSE(IntHashRemove(table.get(), 5));
    EXPECT_EQ(a->count(), 1u);
    EXPECT_EQ(table->entry_count, 1u);
    EXPECT_EQ(table->change_counter, 2u);  // removal does not move it
    EXPECT_EQ(IntHashFind(table.get(), 34).get(), b.get());

    table.Reset();
    EXPECT_EQ(b->count(), 1u);
}

TEST(IntHashTable, MaximumRefusesInsertionWithoutLeak) {
    Ref<IntHashTable> table = IntHashNew(7, 2);
    Ref<CountedProbe> probe = MakeRef<CountedProbe>();
    EXPECT_TRUE(IntHashInsert(table.get(), 1, probe.get(), nullptr));
    EXPECT_TRUE(IntHashInsert(table.get(), 2, probe.get(), nullptr));
    EXPECT_FALSE(IntHashInsert(table.get(), 3, probe.get(), nullptr));
    EXPECT_EQ(probe->count(), 3u);
    EXPECT_EQ(table->change_counter, 2u);
    EXPECT_TRUE(IntHashRemove(table.get(), 1));
    EXPECT_TRUE(IntHashInsert(table.get(), 3, probe.get(), nullptr));
    HashTableClear(table.get());
    EXPECT_EQ(probe->count(), 1u);
    EXPECT_EQ(table->entry_count, 0u);
    EXPECT_EQ(IntHashFind(table.get(), 3), nullptr);
}

TEST(IntHashTable, TokenSkipsLookUpOnlyWhileNothingWasInserted) {
    Ref<IntHashTable> table = IntHashNew(3, 0);
    Ref<CountedProbe> mine = MakeRef<CountedProbe>(1);
    Ref<CountedProbe> theirs = MakeRef<CountedProbe>(2);
    uint32_t token = 0;
    EXPECT_EQ(IntHashLookup(table.get(), 10, &token), nullptr);
    EXPECT_EQ(token, table->change_counter);
    // Someone else inserts the same key between look-up and insertion.
    EXPECT_TRUE(IntHashInsert(table.get(), 10, theirs.get(), nullptr));
    EXPECT_FALSE(IntHashInsert(table.get(), 10, mine.get(), &token));
    EXPECT_EQ(mine->count(), 1u);

    EXPECT_EQ(IntHashLookup(table.get(), 11, &token), nullptr);
    EXPECT_TRUE(IntHashInsert(table.get(), 11, mine.get(), &token));
    EXPECT_EQ(IntHashFind(table.get(), 11).get(), mine.get());
    // A stale token is only a hint: the key is looked up again.
    EXPECT_FALSE(IntHashInsert(table.get(), 11, theirs.get(), &token));
}

TEST(IntHashTable, ValueDestructorMayReenterTheTable) {
    Ref<IntHashTable> table = IntHashNew(5, 0);
    std::vector<bool> found_while_dying;
    for (uint32_t key = 0; key < 12; ++key) {
        Ref<CountedProbe> probe = MakeRef<CountedProbe>(static_cast<int>(key));
        probe->on_destroy = [&, key](CountedProbe*) {
            found_while_dying.push_back(IntHashFind(table.get(), key) != nullptr);
            // Dropping key 3 also drops key 8 from inside the release.
            if (key == 3) {
                EXPECT_TRUE(IntHashRemove(table.get(), 8));
            }
        };
        IntHashInsert(table.get(), key, probe.get(), nullptr);
    }
    EXPECT_TRUE(IntHashRemove(table.get(), 3));
    EXPECT_EQ(table->entry_count, 10u);
    HashTableClear(table.get());
    EXPECT_EQ(found_while_dying, std::vector<bool>(12, false));
    EXPECT_EQ(CountedProbe::alive, 0);
}

// Each thread walks the same keys in its own order, looking each up and
// inserting with the token when absent: every key must end up once.
TEST(IntHashTable, ConcurrentLookUpThenInsertAddsEachKeyOnce) {
    std::vector<CountedProbe*> probes;
    for (int i = 0; i < 500; ++i) probes.push_back(new CountedProbe(i));
    Ref<IntHashTable> table = IntHashNew(29, 0);
    volatile LONG inserted = 0;
    ASSERT_TRUE(RunConcurrently(8, [&](int me) {
        std::vector<uint32_t> keys(probes.size());
        for (uint32_t i = 0; i < keys.size(); ++i) keys[i] = i;
        std::shuffle(keys.begin(), keys.end(), std::mt19937(me));
        for (uint32_t key : keys) {
            uint32_t token = 0;
            if (IntHashLookup(table.get(), key, &token)) continue;
            if (IntHashInsert(table.get(), key, probes[key], &token)) InterlockedIncrement(&inserted);
        }
    }));
    EXPECT_EQ(inserted, 500);
    EXPECT_EQ(table->entry_count, 500u);
    for (CountedProbe* probe : probes) EXPECT_EQ(probe->count(), 2u);
    table.Reset();
    for (CountedProbe* probe : probes) {
        EXPECT_EQ(probe->count(), 1u);
        RefRelease(probe);
    }
}

TEST(StrHashTable, KeysAreExactCopies) {
    Ref<StrHashTable> table = StrHashNew(31, 0);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(StrHashNew(0, 5), nullptr);
    Ref<CountedProbe> lower = MakeRef<CountedProbe>(1);
    Ref<CountedProbe> upper = MakeRef<CountedProbe>(2);
    WString key(L"tif");
    EXPECT_TRUE(StrHashInsert(table.get(), key, lower.get(), nullptr));
    EXPECT_TRUE(StrHashInsert(table.get(), WString(L"TIF"), upper.get(), nullptr));
    EXPECT_TRUE(StrHashInsert(table.get(), WString(L"fit"), upper.get(), nullptr));  // same sum
    EXPECT_FALSE(StrHashInsert(table.get(), WString(L"tif"), upper.get(), nullptr));
    // The table holds its own copy: changing the caller's string changes nothing.
    key = L"bmp";
    EXPECT_EQ(StrHashFind(table.get(), WString(L"tif")).get(), lower.get());
    EXPECT_EQ(StrHashFind(table.get(), WString(L"TIF")).get(), upper.get());
    EXPECT_EQ(StrHashFind(table.get(), WString(L"fit")).get(), upper.get());
    EXPECT_EQ(StrHashFind(table.get(), key), nullptr);
    EXPECT_TRUE(StrHashInsert(table.get(), WString(), lower.get(), nullptr));
    EXPECT_EQ(StrHashFind(table.get(), WString(L"")).get(), lower.get());
    EXPECT_EQ(lower->count(), 3u);
    EXPECT_EQ(upper->count(), 3u);
    table.Reset();
    EXPECT_EQ(lower->count(), 1u);
    EXPECT_EQ(upper->count(), 1u);
}
