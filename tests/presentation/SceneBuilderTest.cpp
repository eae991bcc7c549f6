// The scene fill: cell quads, colour rules, border, capacity guards and the
// read-only walks, on plain lists and a trail map (no simulation needed).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "presentation/scene/SceneBuilder.h"

namespace {

struct SceneBuffer {
    explicit SceneBuffer(int32_t capacity = kSceneVertexCapacity)
        : vertices(static_cast<size_t>(capacity)), writer(vertices.data(), capacity) {}
    std::vector<SceneVertex> vertices;
    SceneWriter writer;
};

Ant& AddAnt(ListTemplate<Ant>& list, int32_t x, int32_t y, int32_t role, bool carrying = false) {
    int32_t slot = 0;
    Ant* ant = list.Add(slot);
    ant->pos = {x, y};
    ant->role = role;
    ant->wandererCarrying = carrying;
    ant->slot = slot;
    return *ant;
}

FoodCell& AddFood(ListTemplate<FoodCell>& list, int32_t x, int32_t y, int32_t turnsLeft) {
    int32_t slot = 0;
    FoodCell* cell = list.Add(slot);
    cell->x = x;
    cell->y = y;
    cell->turnsLeft = turnsLeft;
    cell->units = 1;
    cell->slot = slot;
    return *cell;
}

void ExpectVertex(const SceneVertex& v, float x, float z, uint32_t colour, float u, float tv) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, 0.5f);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_EQ(v.colour, colour);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, tv);
}

}  // namespace

TEST(SceneWriter, CellQuadHasTheCornersColoursAndTextureCoordinates) {
    SceneBuffer b(12);
    ASSERT_TRUE(b.writer.AppendCell(3, 7, 0x11111111, 0x22222222, true));
    const SceneVertex* v = b.vertices.data();
    ExpectVertex(v[0], 3, 7, 0x11111111, 1, 1);
    ExpectVertex(v[1], 4, 7, 0x11111111, 1, 0);
    ExpectVertex(v[2], 4, 8, 0x11111111, 0, 0);
    ExpectVertex(v[3], 4, 8, 0x22222222, 0, 0);
    ExpectVertex(v[4], 3, 8, 0x22222222, 0, 1);
    ExpectVertex(v[5], 3, 7, 0x22222222, 1, 1);

    ASSERT_TRUE(b.writer.AppendCell(0, 0, 5, 6, false));
    for (int i = 6; i < 12; ++i) {
        EXPECT_EQ(v[i].u, 0.0f);
        EXPECT_EQ(v[i].v, 0.0f);
    }
    EXPECT_EQ(b.writer.Triangles(), 4);
}

TEST(SceneWriter, NeverWritesPastItsCapacity) {
    SceneBuffer b(10);
    SceneVertex guard{};
    guard.colour = 0xDEADBEEF;
    b.vertices.push_back(guard);  // one sentinel beyond the writer's capacity
    SceneWriter writer(b.vertices.data(), 10);
    EXPECT_TRUE(writer.AppendCell(0, 0, 1, 1, false));
    EXPECT_FALSE(writer.AppendCell(1, 1, 1, 1, false));  // 12 > 10: dropped whole
    EXPECT_EQ(writer.Triangles(), 2);
    const SceneVertex t{};
    EXPECT_TRUE(writer.AppendTriangle(t, t, t));   // 9 vertices
    EXPECT_FALSE(writer.AppendTriangle(t, t, t));  // 12 > 10
    EXPECT_EQ(writer.Triangles(), 3);
    EXPECT_EQ(b.vertices[10].colour, 0xDEADBEEFu);

    SceneWriter none(nullptr, 0);
    EXPECT_FALSE(none.AppendCell(0, 0, 1, 1, true));
    EXPECT_EQ(none.Triangles(), 0);
}

TEST(SceneFill, EmptyWorldIsTheEightBorderTriangles) {
    auto ants = std::make_unique<ListTemplate<Ant>>();
    auto food = std::make_unique<ListTemplate<FoodCell>>();
    RandomSource random;
    auto trails = std::make_unique<TrailMap>(random);
    SceneBuffer b;
    DrawTrails(*trails, b.writer);
    DrawAnts(*ants, b.writer);
    DrawFoodCells(*food, 200, b.writer);
    DrawBorder(b.writer, 1.0f, 0.5f, 128, 128);
    ASSERT_EQ(b.writer.Triangles(), 8);

    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (int i = 0; i < 24; ++i) {
        const SceneVertex& v = b.vertices[i];
        EXPECT_EQ(v.colour, 0x000000FFu);
        EXPECT_EQ(v.y, 0.5f);
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minZ = std::min(minZ, v.z);
        maxZ = std::max(maxZ, v.z);
    }
    EXPECT_EQ(minX, -1.0f);
    EXPECT_EQ(maxX, 129.0f);
    EXPECT_EQ(minZ, -1.0f);
    EXPECT_EQ(maxZ, 129.0f);
}

TEST(SceneFill, BorderStripsFrameTheWorldCells) {
    SceneBuffer b(24);
    DrawBorder(b.writer, 1.0f, 0.5f, 20, 10);
    ASSERT_EQ(b.writer.Triangles(), 8);
    const SceneVertex* v = b.vertices.data();
    // Left strip, first triangle: (-1,-1) (0,-1) (0,11); right strip starts at x = 20.
    EXPECT_EQ(v[0].x, -1.0f);
    EXPECT_EQ(v[0].z, -1.0f);
    EXPECT_EQ(v[1].x, 0.0f);
    EXPECT_EQ(v[2].z, 11.0f);
    EXPECT_EQ(v[6].x, 20.0f);
    EXPECT_EQ(v[7].x, 21.0f);
    // Far strip spans z = 10 .. 11.
    EXPECT_EQ(v[18].z, 10.0f);
    EXPECT_EQ(v[20].z, 11.0f);
    EXPECT_EQ(v[20].x, 21.0f);
}

TEST(SceneFill, TrailsStartOnlyUnderTheTriangleLimitAndStopNearCapacity) {
    // A map lays at most one cell per grid cell, too few to reach the stop
    // from the start limit; the guard is for a list filled past that. Such a
    // list is made here by copying a cell that a deposit laid.
    RandomSource random;
    auto trails = std::make_unique<TrailMap>(random);
    trails->Deposit(0, 0, 2000, 0);
    const TrailCell laid = trails->trailCells.At(trails->indexGrid[GridIndex(0, 0)]);
    for (int32_t i = 1; i < ListTemplate<TrailCell>::kCapacity; ++i) {
        int32_t slot = 0;
        TrailCell* cell = trails->trailCells.Add(slot);
        *cell = laid;
        cell->x = i % 128;
        cell->y = (i / 128) % 128;  // the map reads intensities by place
        cell->slot = slot;
    }
    ASSERT_EQ(trails->trailCells.Count(), ListTemplate<TrailCell>::kCapacity);
    auto fillTo = [](SceneWriter& writer, int32_t triangles) {
        const SceneVertex t{};
        while (writer.Triangles() < triangles) writer.AppendTriangle(t, t, t);
    };

    SceneBuffer over;
    fillTo(over.writer, kTrailStartTriangles + 1);
    DrawTrails(*trails, over.writer);
    EXPECT_EQ(over.writer.Triangles(), kTrailStartTriangles + 1);

    SceneBuffer at;
    fillTo(at.writer, kTrailStartTriangles);
    DrawTrails(*trails, at.writer);
    // Cells are added until more than 499,990 vertices are written.
    EXPECT_EQ(at.writer.Triangles(), 166664);
    EXPECT_GT(at.writer.VertexCount(), kTrailStopVertices);
    EXPECT_LE(at.writer.VertexCount(), kSceneVertexCapacity);

    // Even a full list can never overflow the buffer whatever else it holds.
    SceneBuffer full;
    auto food = std::make_unique<ListTemplate<FoodCell>>();
    for (int32_t i = 0; i < ListTemplate<FoodCell>::kCapacity; ++i) AddFood(*food, 1, 1, 900);
    DrawTrails(*trails, full.writer);
    DrawFoodCells(*food, 200, full.writer);
    DrawBorder(full.writer, 1.0f, 0.5f, 128, 128);
    EXPECT_LE(full.writer.VertexCount(), kSceneVertexCapacity);
}

TEST(SceneFill, WalksNewestFirstWithoutMovingTheListCursor) {
    auto ants = std::make_unique<ListTemplate<Ant>>();
    AddAnt(*ants, 1, 1, Meandering);
    AddAnt(*ants, 2, 2, Gathering);
    AddAnt(*ants, 3, 3, Wandering, true);

    ants->ResetTraversal();
    bool has = false;
    EXPECT_EQ(ants->Next(has).pos.x, 3);  // a walk in progress on another thread

    SceneBuffer b;
    DrawAnts(*ants, b.writer);
    ASSERT_EQ(b.writer.Triangles(), 6);
    EXPECT_EQ(b.vertices[0].x, 3.0f);
    EXPECT_EQ(b.vertices[0].colour, 0x5000FF00u);
    EXPECT_EQ(b.vertices[6].x, 2.0f);
    EXPECT_EQ(b.vertices[12].x, 1.0f);
    EXPECT_EQ(b.vertices[12].colour, 0x50FF0000u);

    EXPECT_EQ(ants->Next(has).pos.x, 2);  // the other walk goes on where it was
    EXPECT_TRUE(has);
}

TEST(SceneFill, TrailAndFoodQuadsCarryTheirColoursAndTexturing) {
    RandomSource random;
    auto trails = std::make_unique<TrailMap>(random);
    auto food = std::make_unique<ListTemplate<FoodCell>>();
    trails->Deposit(5, 6, 600, 0);
    AddFood(*food, 7, 8, 100);
    SceneBuffer b;
    DrawTrails(*trails, b.writer);
    DrawFoodCells(*food, 200, b.writer);
    ASSERT_EQ(b.writer.Triangles(), 4);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(b.vertices[i].colour, 0x006767FFu);
    EXPECT_EQ(b.vertices[0].u, 1.0f);  // trails are textured
    for (int i = 6; i < 12; ++i) {
        EXPECT_EQ(b.vertices[i].colour, 0x0067FF67u);
        EXPECT_EQ(b.vertices[i].u, 0.0f);
    }
    EXPECT_EQ(b.vertices[6].x, 7.0f);
    EXPECT_EQ(b.vertices[6].z, 8.0f);
}
