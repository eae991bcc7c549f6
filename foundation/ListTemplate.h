#pragma once
// ListTemplate: the fixed-capacity slot list that holds every simulation
// record (ants, food cells, trail cells).
//
// - 50000 elements (and one spare, see AtOrSpare) are constructed once, with
//   the list; nothing allocates later.
// - Slots are stable: grids store a slot per cell.
// - Used slots are chained oldest -> newest; a traversal runs newest -> oldest.
// - Add hands out a slot's element exactly as its previous occupant left it;
//   Remove and Clear never touch elements. Callers rely on this (a newborn ant
//   inherits the old record's leg and counters).
// - One shared traversal cursor per list (ResetTraversal/Next): two such walks
//   must never interleave. Walks that keep their own cursor use Newest/Older.
//   The simulation guards every walk with its state lock.
//
// Hazard: the object is large (about 600 KB plus 50001 elements); owners live
// on the heap, never on a thread's stack.
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Receives the list-full warning; the shell turns it into a message box.
// Without a handler the warning goes to standard error.
struct ListWarning {
    void (*handler)(void* context, const char* text) = nullptr;
    void* context = nullptr;

    void Raise(const char* text) const {
        if (handler != nullptr) {
            handler(context, text);
        } else {
            std::fprintf(stderr, "%s\n", text);
        }
    }
};

template <typename Element>
class ListTemplate {
public:
    static constexpr int32_t kCapacity = 50000;
    static constexpr const char* kFullWarning =
        "Warning out of memory in List Template class can't add";

    ListTemplate() { Clear(); }
    ListTemplate(const ListTemplate&) = delete;
    ListTemplate& operator=(const ListTemplate&) = delete;

    void Clear() {
        cursor = 0;
        count = 0;
        freeHead = 0;
        tail = -1;
        for (int32_t i = 0; i < kCapacity - 1; ++i) {
            prevLink[i] = -1;
            nextLink[i] = -1;
            freeLink[i] = i + 1;
        }
        prevLink[kCapacity - 1] = -1;
        nextLink[kCapacity - 1] = -1;
        freeLink[kCapacity - 1] = -1;  // never followed: the list is full then
    }

    // Takes the next free slot (lowest first after Clear, most recently freed
    // first otherwise). slot is written even when the list is full; the result
    // is then nullptr and the warning is raised.
    Element* Add(int32_t& slot) {
        slot = freeHead;
        if (count >= kCapacity) {
            warning.Raise(kFullWarning);
            return nullptr;
        }
        freeHead = freeLink[slot];
        prevLink[slot] = tail;
        if (tail != -1) nextLink[tail] = slot;
        nextLink[slot] = -1;
        tail = slot;
        ++count;
        return &At(slot);
    }

    // Returns a slot that is in use to the free chain. Its element and its own
    // links are left as they are, so a walk that just received this element
    // goes on with the next older one.
    void Remove(int32_t slot) {
        const int32_t n = nextLink[slot];
        const int32_t p = prevLink[slot];
        if (n != -1 && p != -1) {
            nextLink[p] = n;
            prevLink[n] = p;
        } else if (n != -1) {
            prevLink[n] = -1;
        } else {
            if (p != -1) nextLink[p] = -1;
            tail = p;
        }
        freeLink[slot] = freeHead;
        freeHead = slot;
        --count;
    }

    Element& At(int32_t slot) { return storage[Place(slot)]; }
    const Element& At(int32_t slot) const { return storage[Place(slot)]; }
    // At, or for slot -1 (the grids' "no element") a spare element that is
    // no slot's: a caller that must write to "the element of slot s, if
    // any" can then write without testing s. Nothing reads the spare.
    Element& AtOrSpare(int32_t slot) { return storage[Place(slot)]; }

    void ResetTraversal() { cursor = tail; }

    // The traversal step: newest first. At the end hasItem is false and the
    // element of slot 0 comes back as a placeholder that must not be used.
    Element& Next(bool& hasItem) {
        if (cursor == -1) {
            hasItem = false;
            return At(0);
        }
        hasItem = true;
        const int32_t s = cursor;
        cursor = prevLink[s];
        return At(s);
    }

    int32_t Count() const { return count; }
    // The slot the next Add takes, unless the list is full.
    int32_t NextFreeSlot() const { return freeHead; }
    // A walk with a cursor of the caller's own: Newest(), then Older(s) until
    // -1, the same order as Next. It never disturbs another walk; the element
    // just visited may be removed once Older(s) has been read.
    int32_t Newest() const { return tail; }
    int32_t Older(int32_t slot) const { return prevLink[slot]; }

    ListWarning warning;

private:
    int32_t prevLink[kCapacity];
    int32_t nextLink[kCapacity];
    int32_t freeLink[kCapacity];
    int32_t freeHead = 0;
    int32_t tail = -1;
    int32_t cursor = -1;
    int32_t count = 0;
    // The spare, then slot s at s + 1. Widened before the addition, so that
    // the + 1 folds into the address arithmetic.
    static std::ptrdiff_t Place(int32_t slot) { return static_cast<std::ptrdiff_t>(slot) + 1; }
    Element storage[kCapacity + 1];
};
