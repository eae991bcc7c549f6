#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "foundation/ListTemplate.h"

namespace {

struct Item {
    int32_t value = 0;
    int32_t slot = 0;
};
using List = ListTemplate<Item>;

// The list is large: keep it off the stack.
std::unique_ptr<List> MakeList() { return std::make_unique<List>(); }

// Adds one element and stores its slot and a value in it.
int32_t AddItem(List& list, int32_t value) {
    int32_t slot = -99;
    Item* item = list.Add(slot);
    EXPECT_NE(item, nullptr);
    if (item == nullptr) return -1;
    item->slot = slot;
    item->value = value;
    return slot;
}

std::vector<int32_t> WalkSlots(List& list) {
    std::vector<int32_t> slots;
    list.ResetTraversal();
    bool hasItem = false;
    for (Item* item = &list.Next(hasItem); hasItem; item = &list.Next(hasItem)) {
        slots.push_back(item->slot);
    }
    return slots;
}

using Slots = std::vector<int32_t>;

}  // namespace

TEST(ListTemplate, NewListYieldsNothing) {
    auto list = MakeList();
    list->ResetTraversal();
    bool hasItem = true;
    list->Next(hasItem);
    EXPECT_FALSE(hasItem);
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->Newest(), -1);
}

TEST(ListTemplate, SlotsAreHandedOutLowestFirstAndWalkedNewestFirst) {
    auto list = MakeList();
    EXPECT_EQ(AddItem(*list, 10), 0);
    EXPECT_EQ(AddItem(*list, 11), 1);
    EXPECT_EQ(AddItem(*list, 12), 2);
    EXPECT_EQ(list->Count(), 3);
    EXPECT_EQ(WalkSlots(*list), (Slots{2, 1, 0}));
}

TEST(ListTemplate, RemovedSlotIsReusedFirstAndBecomesNewest) {
    auto list = MakeList();
    for (int32_t i = 0; i < 3; ++i) AddItem(*list, i);
    list->Remove(1);
    EXPECT_EQ(WalkSlots(*list), (Slots{2, 0}));
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(AddItem(*list, 7), 1);
    EXPECT_EQ(WalkSlots(*list), (Slots{1, 2, 0}));
}

TEST(ListTemplate, RemovingOldestNewestAndMiddleKeepsTheChain) {
    struct Case {
        const char* name;
        Slots removals;
        Slots remaining;
    };
    const Case cases[] = {
        {"oldest", {0}, {3, 2, 1}},
        {"newest", {3}, {2, 1, 0}},
        {"middle", {2}, {3, 1, 0}},
        {"all but one", {0, 3, 1}, {2}},
        {"all", {3, 0, 2, 1}, {}},
    };
    for (const Case& c : cases) {
        auto list = MakeList();
        for (int32_t i = 0; i < 4; ++i) AddItem(*list, i);
        for (int32_t slot : c.removals) list->Remove(slot);
        EXPECT_EQ(WalkSlots(*list), c.remaining) << c.name;
        EXPECT_EQ(list->Count(), static_cast<int32_t>(c.remaining.size())) << c.name;
        // The list stays usable: a new element is the newest.
        const int32_t slot = AddItem(*list, 99);
        EXPECT_EQ(WalkSlots(*list).front(), slot) << c.name;
    }
}

TEST(ListTemplate, RemovingTheOnlyElementEmptiesTheList) {
    auto list = MakeList();
    AddItem(*list, 5);
    list->Remove(0);
    EXPECT_EQ(list->Newest(), -1);
    EXPECT_EQ(list->Count(), 0);
    EXPECT_TRUE(WalkSlots(*list).empty());
    EXPECT_EQ(AddItem(*list, 6), 0);
}

TEST(ListTemplate, RemovingTheElementJustReceivedKeepsTheWalkGoing) {
    // Remove every element as it is visited, and every other one, in
    // separate walks: the rest is still visited once each, newest first.
    for (int32_t stride : {1, 2, 3}) {
        auto list = MakeList();
        for (int32_t i = 0; i < 10; ++i) AddItem(*list, i);
        Slots visited;
        Slots kept;
        list->ResetTraversal();
        bool hasItem = false;
        int32_t index = 0;
        for (Item* item = &list->Next(hasItem); hasItem; item = &list->Next(hasItem), ++index) {
            visited.push_back(item->slot);
            if (index % stride == 0) {
                list->Remove(item->slot);
            } else {
                kept.push_back(item->slot);
            }
        }
        EXPECT_EQ(visited, (Slots{9, 8, 7, 6, 5, 4, 3, 2, 1, 0})) << "stride " << stride;
        EXPECT_EQ(WalkSlots(*list), kept) << "stride " << stride;
    }
}

TEST(ListTemplate, ElementKeepsItsValuesAcrossRemoveAndClear) {
    auto list = MakeList();
    AddItem(*list, 41);
    AddItem(*list, 42);
    list->Remove(1);
    int32_t slot = -1;
    Item* item = list->Add(slot);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(item->value, 42);

    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_TRUE(WalkSlots(*list).empty());
    item = list->Add(slot);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(item->value, 41);
}

// Slot -1 (a grid's "nothing here") addresses a spare element that no slot
// owns: writing it must change no element and no walk.
TEST(ListTemplate, TheSpareBelongsToNoSlot) {
    auto list = MakeList();
    AddItem(*list, 10);
    AddItem(*list, 11);
    EXPECT_EQ(&list->AtOrSpare(0), &list->At(0));
    EXPECT_EQ(&list->AtOrSpare(1), &list->At(1));
    list->AtOrSpare(-1) = Item{99, 99};
    EXPECT_EQ(list->At(0).value, 10);
    EXPECT_EQ(list->At(1).value, 11);
    EXPECT_EQ(WalkSlots(*list), (Slots{1, 0}));
    int32_t slot = -1;
    Item* item = list->Add(slot);
    ASSERT_NE(item, nullptr);
    EXPECT_NE(item, &list->AtOrSpare(-1));
    EXPECT_EQ(item->value, 0) << "a never-used slot is not the spare";
}

TEST(ListTemplate, AddingToAFullListWarnsAndChangesNothing) {
    auto list = MakeList();
    std::vector<std::string> warnings;
    list->warning.context = &warnings;
    list->warning.handler = [](void* context, const char* text) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
    };
    for (int32_t i = 0; i < List::kCapacity; ++i) {
        int32_t slot = -1;
        ASSERT_NE(list->Add(slot), nullptr);
        ASSERT_EQ(slot, i);
    }
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(list->Count(), 50000);

    int32_t slot = -99;
    EXPECT_EQ(list->Add(slot), nullptr);
    EXPECT_NE(slot, -99);  // the out value is written even when full
    EXPECT_EQ(list->Count(), 50000);
    EXPECT_EQ(list->Newest(), 49999);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Warning out of memory in List Template class can't add");

    // After one removal the freed slot is available again.
    list->Remove(123);
    EXPECT_NE(list->Add(slot), nullptr);
    EXPECT_EQ(slot, 123);
    EXPECT_EQ(warnings.size(), 1u);
}

// Elements are made when their slot is first handed out: a new list leaves
// the memory of the slots it never uses untouched (no page is written, so a
// new process does not pay for the 50000 elements it keeps room for).
TEST(ListTemplate, OnlyTheSlotsHandedOutAreTouched) {
    constexpr unsigned char kPattern = 0xA5;
    std::unique_ptr<unsigned char[]> memory(new unsigned char[sizeof(List) + alignof(List)]);
    void* place = memory.get();
    size_t room = sizeof(List) + alignof(List);
    ASSERT_NE(std::align(alignof(List), sizeof(List), place, room), nullptr);
    std::memset(place, kPattern, sizeof(List));
    List* list = new (place) List();
    AddItem(*list, 7);
    AddItem(*list, 8);
    list->Remove(0);
    list->Clear();
    AddItem(*list, 9);  // slot 0 again: as its last occupant left it
    int32_t slot = -1;
    Item* fresh = list->Add(slot);
    ASSERT_EQ(slot, 1);
    EXPECT_EQ(fresh->value, 8);
    EXPECT_EQ(list->Add(slot)->value, 0) << "a slot handed out for the first time holds a new element";
    for (int32_t untouched : {3, 1000, List::kCapacity - 1}) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&list->At(untouched));
        for (size_t i = 0; i < sizeof(Item); ++i) {
            ASSERT_EQ(bytes[i], kPattern) << "slot " << untouched << " byte " << i;
        }
    }
    list->~List();
}
