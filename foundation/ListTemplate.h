#pragma once
// ListTemplate: the fixed-capacity slot list that holds every simulation
// record (ants, food cells, trail cells).
//
// - Room for 50000 elements (and one spare, see AtOrSpare) is part of the
//   list; nothing allocates later. An element is constructed the first time
//   its slot is handed out, so a list touches (and a new process pays page
//   faults for) only the slots its owner ever uses: a few thousand of the
//   50000 in a run. A slot handed out for the first time holds a
//   default-constructed element, as if every element had been made with
//   the list.
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
#include <new>
#include <type_traits>

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

    ListTemplate() {
        new (&storage[0].element) Element();  // the spare
        Clear();
    }
    ListTemplate(const ListTemplate&) = delete;
    ListTemplate& operator=(const ListTemplate&) = delete;

    void Clear() {
        cursor = -1;
        count = 0;
        freeHead = -1;
        fresh = 0;
        tail = -1;
    }

    // Takes the next free slot (lowest first after Clear, most recently freed
    // first otherwise). slot is written even when the list is full (-1); the
    // result is then nullptr and the warning is raised.
    Element* Add(int32_t& slot) {
        if (count >= kCapacity) {
            slot = -1;
            warning.Raise(kFullWarning);
            return nullptr;
        }
        // Freed slots first, most recent on top; then the ones no element
        // has held since Clear, lowest first.
        if (freeHead != -1) {
            slot = freeHead;
            freeHead = freeLink[slot];
        } else {
            slot = fresh++;
            if (slot >= constructed) {
                new (&storage[Place(slot)].element) Element();
                constructed = slot + 1;
            }
        }
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

    Element& At(int32_t slot) { return storage[Place(slot)].element; }
    const Element& At(int32_t slot) const { return storage[Place(slot)].element; }
    // At, or for slot -1 (the grids' "no element") a spare element that is
    // no slot's: a caller that must write to "the element of slot s, if
    // any" can then write without testing s. Nothing reads the spare.
    Element& AtOrSpare(int32_t slot) { return storage[Place(slot)].element; }

    void ResetTraversal() { cursor = tail; }

    // The traversal step: newest first. At the end hasItem is false and the
    // spare comes back as a placeholder that must not be used.
    Element& Next(bool& hasItem) {
        if (cursor == -1) {
            hasItem = false;
            return AtOrSpare(-1);
        }
        hasItem = true;
        const int32_t s = cursor;
        cursor = prevLink[s];
        return At(s);
    }

    int32_t Count() const { return count; }
    // The slot the next Add takes, unless the list is full.
    int32_t NextFreeSlot() const { return freeHead != -1 ? freeHead : fresh; }
    // A walk with a cursor of the caller's own: Newest(), then Older(s) until
    // -1, the same order as Next. It never disturbs another walk; the element
    // just visited may be removed once Older(s) has been read.
    int32_t Newest() const { return tail; }
    int32_t Older(int32_t slot) const { return prevLink[slot]; }

    ListWarning warning;

private:
    static_assert(std::is_trivially_destructible<Element>::value,
                  "elements are never destroyed, only handed out again");
    // Room for one element, constructed only when its slot is first handed
    // out (the union's constructor leaves the bytes alone).
    union Room {
        Room() {}
        Element element;
    };

    // The links of a slot are written when it is handed out or freed, and
    // read only while it is in use (prevLink, nextLink) or free (freeLink).
    int32_t prevLink[kCapacity];
    int32_t nextLink[kCapacity];
    int32_t freeLink[kCapacity];  // the freed slots' stack, from freeHead
    int32_t freeHead = -1;        // the slot freed last, or -1
    int32_t fresh = 0;            // slots from here on are free and unused since Clear
    int32_t constructed = 0;      // slots below here hold a constructed element
    int32_t tail = -1;
    int32_t cursor = -1;
    int32_t count = 0;
    // The spare, then slot s at s + 1. Widened before the addition, so that
    // the + 1 folds into the address arithmetic.
    static std::ptrdiff_t Place(int32_t slot) { return static_cast<std::ptrdiff_t>(slot) + 1; }
    Room storage[kCapacity + 1];
};
