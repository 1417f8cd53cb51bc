#include "foundation/hash_table.h"

#include "foundation/pool.h"

struct HashNode {
    uint32_t flags;
    RefCounted* value;  // one reference held
    HashNode* next;
    union {
        uint32_t integer;
        WString* text;  // the table's own copy (ordinary allocator)
    } key;
};
static_assert(sizeof(void*) != 4 || sizeof(HashNode) == 16);

namespace {

// What a look-up compares: one of the two key kinds, and its hash.
struct KeyRef {
    uint32_t hash;
    uint32_t integer;
    const WString* text;  // null for integer keys
};

KeyRef IntKey(uint32_t key) { return KeyRef{key, key, nullptr}; }
KeyRef TextKey(const WString& key) { return KeyRef{StrHashKey(key), 0, &key}; }

bool Matches(const HashNode* node, const KeyRef& key) {
    if (!key.text) return node->key.integer == key.integer;
    return WStrEquals(*node->key.text, *key.text);
}

HashNode** HeadOf(const HashTable* table, uint32_t hash) {
    return &table->buckets[hash % table->bucket_count];
}

void FreeNode(HashNode* node, bool integer_keys) {
    RefRelease(node->value);
    if (!integer_keys) delete node->key.text;
    PoolFree(node);
}

// Nodes are unlinked under the lock and freed after it: a value's destructor
// may come back into the table, or take locks of its own.
void FreeChain(HashNode* node, bool integer_keys) {
    while (node) {
        HashNode* next = node->next;
        FreeNode(node, integer_keys);
        node = next;
    }
}

// Takes every node out of the table and returns them as one chain.
HashNode* DetachAll(HashTable* table) {
    HashNode* chain = nullptr;
    for (uint32_t i = 0; i < table->bucket_count; ++i) {
        HashNode* node = table->buckets[i];
        while (node) {
            HashNode* next = node->next;
            node->next = chain;
            chain = node;
            node = next;
        }
        table->buckets[i] = nullptr;
    }
    table->entry_count = 0;
    return chain;
}

HashNode* FindNode(const HashTable* table, const KeyRef& key) {
    for (HashNode* node = *HeadOf(table, key.hash); node; node = node->next) {
        if (Matches(node, key)) return node;
    }
    return nullptr;
}

bool AllocateBuckets(HashTable* table, uint32_t bucket_count) {
    uint64_t bytes = uint64_t{bucket_count} * sizeof(HashNode*);
    if (bytes > kPoolMaxBlock) return false;
    table->buckets = static_cast<HashNode**>(PoolAlloc(static_cast<uint32_t>(bytes), kPoolZero, 0));
    if (!table->buckets) return false;
    table->bucket_count = bucket_count;
    return true;
}

template <class Table>
Ref<Table> NewTable(uint32_t bucket_count, uint32_t max_entries) {
    if (bucket_count == 0) return nullptr;
    Ref<Table> table = AdoptRef(new Table());
    if (!AllocateBuckets(table.get(), bucket_count)) return nullptr;
    table->max_entries = max_entries;
    return table;
}

bool Insert(HashTable* table, const KeyRef& key, RefCounted* value, const uint32_t* token) {
    if (!value) return false;
    ScopedLock hold(table->lock);
    // A token equal to the counter vouches that the caller's look-up found
    // nothing and no insertion happened since.
    if (!token || *token != table->change_counter) {
        if (FindNode(table, key)) return false;
    }
    if (table->max_entries != 0 && table->entry_count >= table->max_entries) return false;
    WString* key_copy = key.text ? new WString(*key.text) : nullptr;
    auto* node = static_cast<HashNode*>(PoolAlloc(sizeof(HashNode), 0, 0));
    if (!node) {
        delete key_copy;
        return false;
    }
    node->flags = 0;
    if (key_copy) {
        node->key.text = key_copy;
    } else {
        node->key.integer = key.integer;
    }
    RefAddRef(value);
    node->value = value;
    HashNode** head = HeadOf(table, key.hash);
    node->next = *head;
    *head = node;
    ++table->entry_count;
    ++table->change_counter;
    return true;
}

Ref<RefCounted> Lookup(HashTable* table, const KeyRef& key, uint32_t* token) {
    ScopedLock hold(table->lock);
    if (token) *token = table->change_counter;
    HashNode* node = FindNode(table, key);
    if (!node) return nullptr;
    RefAddRef(node->value);
    return AdoptRef(node->value);
}

}  // namespace

HashTable::HashTable(bool integer_keys) : integer_keys(integer_keys) {}

HashTable::~HashTable() {
    if (!buckets) return;
    HashNode* chain = DetachAll(this);
    FreeChain(chain, integer_keys);
    PoolFree(buckets);
}

Ref<IntHashTable> IntHashNew(uint32_t bucket_count, uint32_t max_entries) {
    return NewTable<IntHashTable>(bucket_count, max_entries);
}

bool IntHashInsert(IntHashTable* table, uint32_t key, RefCounted* value, const uint32_t* token) {
    return Insert(table, IntKey(key), value, token);
}

Ref<RefCounted> IntHashLookup(IntHashTable* table, uint32_t key, uint32_t* token) {
    return Lookup(table, IntKey(key), token);
}

Ref<RefCounted> IntHashFind(IntHashTable* table, uint32_t key) { return Lookup(table, IntKey(key), nullptr); }

bool IntHashRemove(IntHashTable* table, uint32_t key) {
    HashNode* found = nullptr;
    {
        ScopedLock hold(table->lock);
        HashNode** link = HeadOf(table, key);
        while (*link && (*link)->key.integer != key) link = &(*link)->next;
        if (!*link) return false;
        found = *link;
        *link = found->next;
        --table->entry_count;
    }
    FreeNode(found, true);
    return true;
}

uint32_t StrHashKey(const WString& key) {
    const wchar_t* text = WStrCStr(key);
    uint32_t length = WStrLength(key);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) sum += static_cast<uint16_t>(text[i]);
    return sum;
}

Ref<StrHashTable> StrHashNew(uint32_t bucket_count, uint32_t max_entries) {
    return NewTable<StrHashTable>(bucket_count, max_entries);
}

bool StrHashInsert(StrHashTable* table, const WString& key, RefCounted* value, const uint32_t* token) {
    return Insert(table, TextKey(key), value, token);
}

Ref<RefCounted> StrHashLookup(StrHashTable* table, const WString& key, uint32_t* token) {
    return Lookup(table, TextKey(key), token);
}

Ref<RefCounted> StrHashFind(StrHashTable* table, const WString& key) {
    return Lookup(table, TextKey(key), nullptr);
}

void HashTableClear(HashTable* table) {
    HashNode* chain = nullptr;
    {
        ScopedLock hold(table->lock);
        chain = DetachAll(table);
    }
    FreeChain(chain, table->integer_keys);
}
