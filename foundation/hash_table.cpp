#include "foundation/hash_table.h"

#include <cstring>

#include "foundation/pool.h"

struct HashNode {
    uint32_t flags;
    RefCounted* value;  // one reference held
    HashNode* next;
    uint32_t key;
};
static_assert(sizeof(void*) != 4 || sizeof(HashNode) == 16);

namespace {

uint32_t BucketOf(const HashTable* table, uint32_t hash) { return hash % table->bucket_count; }

void FreeNode(HashNode* node) {
    RefRelease(node->value);
    PoolFree(node);
}

// Nodes are unlinked under the lock and freed after it: a value's destructor
// may come back into the table, or take locks of its own.
void FreeChain(HashNode* node) {
    while (node) {
        HashNode* next = node->next;
        FreeNode(node);
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

HashNode* FindIntNode(const HashTable* table, uint32_t key) {
    for (HashNode* node = table->buckets[BucketOf(table, key)]; node; node = node->next) {
        if (node->key == key) return node;
    }
    return nullptr;
}

Ref<RefCounted> AddRefValue(HashNode* node) {
    if (!node) return nullptr;
    RefAddRef(node->value);
    return AdoptRef(node->value);
}

bool HasRoom(const HashTable* table) {
    return table->max_entries == 0 || table->entry_count < table->max_entries;
}

void LinkNode(HashTable* table, HashNode* node, uint32_t hash) {
    HashNode** head = &table->buckets[BucketOf(table, hash)];
    node->next = *head;
    *head = node;
    ++table->entry_count;
    ++table->change_counter;
}

bool AllocateBuckets(HashTable* table, uint32_t bucket_count) {
    uint64_t bytes = uint64_t{bucket_count} * sizeof(HashNode*);
    if (bytes > kPoolMaxBlock) return false;
    table->buckets = static_cast<HashNode**>(PoolAlloc(static_cast<uint32_t>(bytes), kPoolZero, 0));
    if (!table->buckets) return false;
    table->bucket_count = bucket_count;
    return true;
}

}  // namespace

HashTable::HashTable(bool integer_keys) : integer_keys(integer_keys) {}

HashTable::~HashTable() {
    if (!buckets) return;
    HashNode* chain = DetachAll(this);
    FreeChain(chain);
    PoolFree(buckets);
}

Ref<IntHashTable> IntHashNew(uint32_t bucket_count, uint32_t max_entries) {
    if (bucket_count == 0) return nullptr;
    Ref<IntHashTable> table = AdoptRef(new IntHashTable());
    if (!AllocateBuckets(table.get(), bucket_count)) return nullptr;
    table->max_entries = max_entries;
    return table;
}

bool IntHashInsert(IntHashTable* table, uint32_t key, RefCounted* value, const uint32_t* token) {
    if (!value) return false;
    ScopedLock hold(table->lock);
    if (!token || *token != table->change_counter) {
        if (FindIntNode(table, key)) return false;
    }
    if (!HasRoom(table)) return false;
    auto* node = static_cast<HashNode*>(PoolAlloc(sizeof(HashNode), 0, 0));
    if (!node) return false;
    RefAddRef(value);
    node->flags = 0;
    node->value = value;
    node->key = key;
    LinkNode(table, node, key);
    return true;
}

Ref<RefCounted> IntHashLookup(IntHashTable* table, uint32_t key, uint32_t* token) {
    ScopedLock hold(table->lock);
    if (token) *token = table->change_counter;
    return AddRefValue(FindIntNode(table, key));
}

Ref<RefCounted> IntHashFind(IntHashTable* table, uint32_t key) { return IntHashLookup(table, key, nullptr); }

bool IntHashRemove(IntHashTable* table, uint32_t key) {
    HashNode* found = nullptr;
    {
        ScopedLock hold(table->lock);
        HashNode** link = &table->buckets[BucketOf(table, key)];
        while (*link && (*link)->key != key) link = &(*link)->next;
        if (!*link) return false;
        found = *link;
        *link = found->next;
        --table->entry_count;
    }
    FreeNode(found);
    return true;
}

void HashTableClear(HashTable* table) {
    HashNode* chain = nullptr;
    {
        ScopedLock hold(table->lock);
        chain = DetachAll(table);
    }
    FreeChain(chain);
}
