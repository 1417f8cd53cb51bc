#include "viewer/core/shared_slot.h"

#include <gtest/gtest.h>

namespace {
class Held : public RefCounted {};
}  // namespace

TEST(SharedSlot, HoldsOneCountedObject) {
    Ref<SharedSlot> slot = SharedSlotCreate();
    EXPECT_FALSE(SharedSlotGet(slot.get()));
    Ref<Held> first = MakeRef<Held>();
    Ref<Held> second = MakeRef<Held>();
    SharedSlotSet(slot.get(), first.get());
    EXPECT_EQ(first->RefCountForTests(), 2u);
    EXPECT_EQ(SharedSlotGet(slot.get()).get(), first.get());
    SharedSlotSet(slot.get(), second.get());
    EXPECT_EQ(first->RefCountForTests(), 1u);
    EXPECT_EQ(second->RefCountForTests(), 2u);
    SharedSlotSet(slot.get(), nullptr);
    EXPECT_EQ(second->RefCountForTests(), 1u);
    SharedSlotSet(nullptr, first.get());
    EXPECT_FALSE(SharedSlotGet(nullptr));
}
