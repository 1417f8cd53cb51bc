#include "foundation/hash_table.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/foundation/counted_probe.h"

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

namespace {

struct RaceShared {
    IntHashTable* table;
    std::vector<CountedProbe*>* probes;
    LONG inserted = 0;
};

// Each thread walks the same keys in its own order, looking each up and
// inserting with the token when absent: every key must end up once.
DWORD WINAPI RaceThread(void* argument) {
    auto* shared = static_cast<RaceShared*>(argument);
    std::mt19937 random(GetCurrentThreadId());
    std::vector<uint32_t> keys(shared->probes->size());
    for (uint32_t i = 0; i < keys.size(); ++i) keys[i] = i;
    std::shuffle(keys.begin(), keys.end(), random);
    for (uint32_t key : keys) {
        uint32_t token = 0;
        if (IntHashLookup(shared->table, key, &token)) continue;
        if (IntHashInsert(shared->table, key, (*shared->probes)[key], &token)) {
            InterlockedIncrement(&shared->inserted);
        }
    }
    return 0;
}

}  // namespace

TEST(IntHashTable, ConcurrentLookUpThenInsertAddsEachKeyOnce) {
    std::vector<CountedProbe*> probes;
    for (int i = 0; i < 500; ++i) probes.push_back(new CountedProbe(i));
    Ref<IntHashTable> table = IntHashNew(29, 0);
    RaceShared shared{table.get(), &probes};
    HANDLE threads[8];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, RaceThread, &shared, 0, nullptr);
        ASSERT_NE(thread, nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(8, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE thread : threads) CloseHandle(thread);
    EXPECT_EQ(shared.inserted, 500);
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

TEST(StrHashTable, HashIsWrappingSumOfUnits) {
    EXPECT_EQ(StrHashKey(WString()), 0u);
    EXPECT_EQ(StrHashKey(WString(L"ab")), 97u + 98u);
    std::wstring wide(70000, static_cast<wchar_t>(0xFFFF));
    EXPECT_EQ(StrHashKey(WString(wide.c_str())), static_cast<uint32_t>(70000ull * 0xFFFF % (1ull << 32)));
}

TEST(StrHashTable, StaleTokenAfterAnotherInsertIsRefused) {
    Ref<StrHashTable> table = StrHashNew(31, 0);
    Ref<CountedProbe> mine = MakeRef<CountedProbe>(1);
    Ref<CountedProbe> theirs = MakeRef<CountedProbe>(2);
    uint32_t token = 0;
    EXPECT_EQ(StrHashLookup(table.get(), WString(L".pdf"), &token), nullptr);
    EXPECT_TRUE(StrHashInsert(table.get(), WString(L".pdf"), theirs.get(), nullptr));
    EXPECT_FALSE(StrHashInsert(table.get(), WString(L".pdf"), mine.get(), &token));
    EXPECT_EQ(StrHashFind(table.get(), WString(L".pdf")).get(), theirs.get());
    EXPECT_EQ(mine->count(), 1u);
}
