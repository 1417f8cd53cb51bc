// Chained hash tables of reference-counted objects, keyed by a 32-bit integer
// (IntHashTable) or a WString (StrHashTable). Each table locks every
// operation with its own (re-entrant) critical section and hands values out
// with a reference added. The change counter moves with every successful
// insertion, so a caller may look a key up, drop the lock, and insert later
// without a second look-up as long as nobody inserted in between.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

struct HashNode;

class HashTable : public RefCounted {
  public:
    ~HashTable() override;

    CriticalSection lock;
    uint32_t change_counter = 0;
    uint32_t max_entries = 0;  // 0: no limit
    uint32_t entry_count = 0;
    uint32_t bucket_count = 0;
    HashNode** buckets = nullptr;  // pool block, one head per bucket
    bool integer_keys = true;

  protected:
    explicit HashTable(bool integer_keys);
};

class IntHashTable : public HashTable {
  public:
    IntHashTable() : HashTable(true) {}
};

// Null for 0 buckets or when the bucket array cannot be allocated.
Ref<IntHashTable> IntHashNew(uint32_t bucket_count, uint32_t max_entries);
// False for a null value, an existing key, a full table or a failed
// allocation. `token` may be null; see the change counter above.
bool IntHashInsert(IntHashTable* table, uint32_t key, RefCounted* value, const uint32_t* token);
// The value with a reference added, or null; writes the change counter to
// `token` when it is not null.
Ref<RefCounted> IntHashLookup(IntHashTable* table, uint32_t key, uint32_t* token);
Ref<RefCounted> IntHashFind(IntHashTable* table, uint32_t key);
// Releases the value; false when the key is absent. The change counter stays.
bool IntHashRemove(IntHashTable* table, uint32_t key);

class StrHashTable : public HashTable {
  public:
    StrHashTable() : HashTable(false) {}
};

// The sum of the key's UTF-16 units (wrapping); keys compare exactly.
uint32_t StrHashKey(const WString& key);
Ref<StrHashTable> StrHashNew(uint32_t bucket_count, uint32_t max_entries);
// The table keeps its own copy of the key.
bool StrHashInsert(StrHashTable* table, const WString& key, RefCounted* value, const uint32_t* token);
Ref<RefCounted> StrHashLookup(StrHashTable* table, const WString& key, uint32_t* token);
Ref<RefCounted> StrHashFind(StrHashTable* table, const WString& key);

// Empties either kind of table (values released, key copies freed).
void HashTableClear(HashTable* table);
