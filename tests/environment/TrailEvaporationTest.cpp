// Evaporation against the trail layer's rules written plainly: every cell
// loses a unit per evaporation and goes at 0 or below, the walk runs newest
// first, and the slots it frees are handed out again most recent first. The
// map finds the spent cells without walking the live ones; these tests hold
// it to every observable of the plain walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <vector>

#include "environment/TrailMap.h"

namespace {

// The rules as a plain array walk. Slots come as the list hands them out:
// lowest first after a clear, then the most recently freed first.
struct PlainTrails {
    struct Cell {
        int32_t x = 0, y = 0, tag = 0;
        int64_t intensity = 0;
    };
    std::vector<int32_t> live;       // slots, oldest first
    std::vector<Cell> cells = std::vector<Cell>(ListTemplate<TrailCell>::kCapacity);  // by slot
    std::vector<int32_t> freeSlots;  // the next slot handed out at the back
    std::vector<int32_t> grid = std::vector<int32_t>(kGridCells, -1);

    PlainTrails() { Clear(); }

    void Clear() {
        live.clear();
        freeSlots.clear();
        for (int32_t s = ListTemplate<TrailCell>::kCapacity - 1; s >= 0; --s) freeSlots.push_back(s);
        std::fill(grid.begin(), grid.end(), -1);
    }
    static int64_t Saturated(int64_t value) {
        return std::clamp<int64_t>(value, int64_t{INT32_MIN} + 1, INT32_MAX);
    }
    int32_t Deposit(int32_t x, int32_t y, int32_t amount, int32_t tag) {
        int32_t& entry = grid[GridIndex(x, y)];
        if (entry != -1) {
            Cell& cell = cells[entry];
            cell.intensity = Saturated(cell.intensity + amount);
            return cell.tag;
        }
        entry = freeSlots.back();
        freeSlots.pop_back();
        cells[entry] = Cell{x, y, tag, Saturated(amount)};
        live.push_back(entry);
        return tag;
    }
    void Evaporate() {
        std::vector<int32_t> kept;  // newest first
        for (auto s = live.rbegin(); s != live.rend(); ++s) {
            Cell& cell = cells[*s];
            if (--cell.intensity <= 0) {
                grid[GridIndex(cell.x, cell.y)] = -1;
                freeSlots.push_back(*s);
            } else {
                kept.push_back(*s);
            }
        }
        live.assign(kept.rbegin(), kept.rend());
    }
    int64_t IntensityAt(int32_t x, int32_t y) const {
        const int32_t slot = grid[GridIndex(x, y)];
        return slot == -1 ? 0 : cells[slot].intensity;
    }
};

// The list's order and records, the slot the next new cell takes, the grid
// and every intensity a reader can see.
::testing::AssertionResult Same(const TrailMap& map, const PlainTrails& plain) {
    const ListTemplate<TrailCell>& list = map.trailCells;
    if (list.Count() != static_cast<int32_t>(plain.live.size())) {
        return ::testing::AssertionFailure()
               << list.Count() << " cells, the plain walk keeps " << plain.live.size();
    }
    auto want = plain.live.rbegin();
    for (int32_t s = list.Newest(); s != -1; s = list.Older(s), ++want) {
        const TrailCell& cell = list.At(s);
        const PlainTrails::Cell& p = plain.cells[*want];
        if (s != *want || cell.slot != s || cell.x != p.x || cell.y != p.y || cell.tag != p.tag ||
            map.IntensityOf(cell) != p.intensity) {
            return ::testing::AssertionFailure()
                   << "slot " << s << " (" << cell.x << "," << cell.y << ") tag " << cell.tag
                   << " intensity " << map.IntensityOf(cell) << "; the plain walk has slot "
                   << *want << " (" << p.x << "," << p.y << ") tag " << p.tag << " intensity "
                   << p.intensity;
        }
    }
    if (list.NextFreeSlot() != plain.freeSlots.back()) {
        return ::testing::AssertionFailure() << "next free slot " << list.NextFreeSlot()
                                             << ", the plain walk's " << plain.freeSlots.back();
    }
    for (int32_t x = 0; x < kGridSide; ++x) {
        for (int32_t y = 0; y < kGridSide; ++y) {
            if (map.indexGrid[GridIndex(x, y)] != plain.grid[GridIndex(x, y)]) {
                return ::testing::AssertionFailure() << "grid entry at " << x << "," << y;
            }
            if (x < map.width && y < map.height && map.IntensityAt(x, y) != plain.IntensityAt(x, y)) {
                return ::testing::AssertionFailure()
                       << "intensity at " << x << "," << y << ": " << map.IntensityAt(x, y)
                       << ", the plain walk's " << plain.IntensityAt(x, y);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class TrailEvaporation : public ::testing::Test {
protected:
    RandomSource random;
    std::unique_ptr<TrailMap> map = std::make_unique<TrailMap>(random);
    std::unique_ptr<PlainTrails> plain = std::make_unique<PlainTrails>();

    void Deposit(int32_t x, int32_t y, int32_t amount, int32_t tag = 0) {
        ASSERT_EQ(map->Deposit(x, y, amount, tag), plain->Deposit(x, y, amount, tag));
    }
    void Evaporate(int32_t times = 1) {
        for (int32_t i = 0; i < times; ++i) {
            map->Evaporate();
            plain->Evaporate();
        }
    }
};

// The wheel has 1024 buckets; these amounts straddle one and several turns.
int32_t DrawAmount(RandomSource& draws) {
    switch (draws.Next() % 16) {
        case 0:
        case 1: return -70;  // the gatherer's weakening step
        case 2:
        case 3:
        case 4:
        case 5: return 1 + draws.Next() % 3;
        case 6:
        case 7:
        case 8:
        case 9:
        case 10: return 1 + draws.Next() % 60;
        case 11:
        case 12: return 500 + draws.Next() % 4500;
        case 13: return draws.Next() * 65536 + draws.Next();  // up to about INT32_MAX
        case 14: return -1 - draws.Next() % 6000;
        default: {
            const int32_t extremes[] = {INT32_MIN, INT32_MAX, 0, INT32_MIN + 1, -INT32_MAX};
            return extremes[draws.Next() % 5];
        }
    }
}

}  // namespace

// Churn of every kind, in alternating stretches: a crowded corner, where
// slots are freed and reused all the time, and the whole world, where many
// short-lived cells pile up. Now and then no evaporation, a few in a row, or
// a run longer than a turn of the wheel; a resize every thousand rounds.
TEST_F(TrailEvaporation, MatchesThePlainWalkThroughRandomChurn) {
    RandomSource draws(12345u);
    for (int32_t round = 0; round < 3000; ++round) {
        if (round % 1000 == 999) {
            const int32_t width = 1 + draws.Next() % 128;
            const int32_t height = 1 + draws.Next() % 128;
            map->SetSize(width, height);
            plain->Clear();
        }
        const bool crowded = (round / 250) % 2 == 0;
        const int32_t spanX = crowded ? std::min(map->width, 24) : map->width;
        const int32_t spanY = crowded ? std::min(map->height, 24) : map->height;
        const int32_t deposits = draws.Next() % (crowded ? 40 : 150);
        for (int32_t i = 0; i < deposits; ++i) {
            const int32_t x = draws.Next() % spanX;
            const int32_t y = draws.Next() % spanY;
            Deposit(x, y, DrawAmount(draws), round);
        }
        const int32_t pace = draws.Next() % 400;
        Evaporate(pace < 40 ? 0 : pace < 60 ? 2 + pace % 7 : pace == 60 ? 1030 : 1);
        ASSERT_TRUE(Same(*map, *plain)) << "round " << round;
    }
}

// Cells that outlive a turn of the wheel, or more than one, are met on the
// way and stay; each goes on the evaporation its intensity says, not
// earlier, not later. Raising a cell moves its end out the same way.
TEST_F(TrailEvaporation, LongLivedCellsExpireExactlyOnTime) {
    struct Case {
        int32_t intensity;
        int32_t raisedAt;  // evaporations before a deposit of 3000; -1: never
    };
    const Case cases[] = {{1, -1},    {2, -1},    {1023, -1}, {1024, -1}, {1025, -1},
                          {2049, -1}, {5000, -1}, {1023, 500}, {40, 39},  {1024, 1023}};
    int32_t x = 0;
    for (const Case& c : cases) map->Deposit(x++, 3, c.intensity, 0);
    for (int32_t n = 1; n <= 6000; ++n) {
        x = 0;
        for (const Case& c : cases) {
            if (c.raisedAt == n - 1) map->Deposit(x, 3, 3000, 0);
            ++x;
        }
        map->Evaporate();
        x = 0;
        for (const Case& c : cases) {
            const int32_t total = c.intensity + (c.raisedAt != -1 && c.raisedAt < n ? 3000 : 0);
            ASSERT_EQ(map->IntensityAt(x, 3), std::max(total - n, 0))
                << "intensity " << c.intensity << " raised at " << c.raisedAt << ", after " << n;
            ++x;
        }
    }
    EXPECT_EQ(map->trailCells.Count(), 0);
}

// A weakening deposit brings a cell's end forward, past the place where the
// wheel would next have met it: the cell must still go exactly then, and at
// the very next evaporation when it is left at 0 or below.
TEST_F(TrailEvaporation, WeakenedCellsGoWhenTheirIntensityRunsOut) {
    struct Case {
        int32_t intensity, weakening;
    };
    const Case cases[] = {
        {5000, -4990}, {5000, -5000}, {5000, -6000}, {INT32_MAX, -INT32_MAX},
        {INT32_MAX, INT32_MIN}, {1024, -1023}, {70, -70}, {2000, -1000},
    };
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(cases)); ++i) {
        Deposit(i, 9, cases[i].intensity);
    }
    Evaporate(3);
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(cases)); ++i) {
        Deposit(i, 9, cases[i].weakening);
    }
    for (int32_t n = 1; n <= 1100; ++n) {
        Evaporate();
        for (int32_t i = 0; i < static_cast<int32_t>(std::size(cases)); ++i) {
            const int64_t left = std::max<int64_t>(
                PlainTrails::Saturated(int64_t{cases[i].intensity} - 3 + cases[i].weakening) - n, 0);
            ASSERT_EQ(map->IntensityAt(i, 9), left) << cases[i].intensity << " then "
                                                     << cases[i].weakening << ", after " << n;
        }
    }
    EXPECT_TRUE(Same(*map, *plain));
}

// Cells reaching 0 together, laid at different times and some of them
// raised, so that their bucket holds them out of creation order: they must
// still be freed newest first, as the list walks, which the slots of the
// cells laid next show. Such a batch is put in order by a sort, or, when it
// is a large part of the live cells, by a walk of the list: both ways are
// taken, the first with long-lived cells around the batch.
TEST_F(TrailEvaporation, CellsExpiringTogetherAreFreedInTheListsOrder) {
    struct Case {
        int32_t batch;      // old cells, and as many younger ones
        int32_t longLived;  // cells that outlive the run, laid first
    };
    const Case cases[] = {{1500, 0}, {150, 3000}};
    for (const Case& c : cases) {
        map->SetSize(128, 128);
        plain->Clear();
        // Long-lived cells in the rows above 96; old cells in the lower half
        // of the grid, half of them raised at step 10 so that the wheel moves
        // them at step 20, ahead of the younger cells in rows 64 .. 95 that
        // end at step 50 too. Places are scattered (an odd multiplier
        // permutes 0 .. 8191 and 0 .. 4095).
        auto place = [](int32_t i, int32_t multiplier, int32_t span) {
            return (i * multiplier) % span;
        };
        for (int32_t i = 0; i < c.longLived; ++i) {
            Deposit(place(i, 7919, 4096) / 32, 96 + place(i, 7919, 4096) % 32, 5000, i);
        }
        for (int32_t i = 0; i < c.batch; ++i) {
            Deposit(place(i, 7919, 8192) / 64, place(i, 7919, 8192) % 64, 20, i);
        }
        Evaporate(10);
        for (int32_t i = 0; i < c.batch; i += 2) {
            Deposit(place(i, 7919, 8192) / 64, place(i, 7919, 8192) % 64, 30);
        }
        for (int32_t i = 0; i < c.batch; ++i) {
            Deposit(place(i, 4099, 4096) / 32, 64 + place(i, 4099, 4096) % 32, 40, i);
        }
        Evaporate(9);
        ASSERT_TRUE(Same(*map, *plain));
        Evaporate();  // the unraised half of the old cells go
        ASSERT_TRUE(Same(*map, *plain));
        Evaporate(29);
        ASSERT_GT(map->trailCells.Count(), c.longLived + c.batch);
        Evaporate();  // the rest together
        EXPECT_EQ(map->trailCells.Count(), c.longLived) << c.batch;
        ASSERT_TRUE(Same(*map, *plain));
        for (int32_t i = 0; i < 3000; ++i) Deposit(i % 128, i / 128, 5, i);
        EXPECT_TRUE(Same(*map, *plain)) << c.batch;
    }
}
