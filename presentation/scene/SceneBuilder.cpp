#include "presentation/scene/SceneBuilder.h"

#include <chrono>

#include "colony/Colony.h"
#include "simulation/Simulation.h"

bool SceneWriter::AppendTriangle(const SceneVertex& a, const SceneVertex& b, const SceneVertex& c) {
    const int32_t used = triangles * 3;
    if (buffer == nullptr || used + 3 > capacity) {
        return false;
    }
    SceneVertex* at = buffer + used;
    at[0] = a;
    at[1] = b;
    at[2] = c;
    ++triangles;
    return true;
}

bool SceneWriter::AppendCell(int32_t x, int32_t y, uint32_t first, uint32_t second, bool textured) {
    const int32_t used = triangles * 3;
    if (buffer == nullptr || used + 6 > capacity) {
        return false;
    }
    const float x0 = static_cast<float>(x);
    const float x1 = static_cast<float>(x + 1);
    const float z0 = static_cast<float>(y);
    const float z1 = static_cast<float>(y + 1);
    const float h = kSceneHeight;
    // Texture corners: (1,1) (1,0) (0,0) then (0,0) (0,1) (1,1).
    const float t = textured ? 1.0f : 0.0f;
    SceneVertex* at = buffer + used;
    at[0] = {x0, h, z0, first, t, t};
    at[1] = {x1, h, z0, first, t, 0.0f};
    at[2] = {x1, h, z1, first, 0.0f, 0.0f};
    at[3] = {x1, h, z1, second, 0.0f, 0.0f};
    at[4] = {x0, h, z1, second, 0.0f, t};
    at[5] = {x0, h, z0, second, t, t};
    triangles += 2;
    return true;
}

void DrawTrails(const TrailMap& trails, SceneWriter& out) {
    if (out.Triangles() > kTrailStartTriangles) {
        return;
    }
    const ListTemplate<TrailCell>& cells = trails.trailCells;
    for (int32_t slot = cells.Newest(); slot != -1; slot = cells.Older(slot)) {
        const TrailCell& cell = cells.At(slot);
        const uint32_t colour = TrailColour(trails.IntensityOf(cell));
        out.AppendCell(cell.x, cell.y, colour, colour, true);
        if (out.VertexCount() > kTrailStopVertices) {
            return;
        }
    }
}

void DrawAnts(const ListTemplate<Ant>& ants, SceneWriter& out) {
    for (int32_t slot = ants.Newest(); slot != -1; slot = ants.Older(slot)) {
        const Ant& ant = ants.At(slot);
        const QuadColours c = AntColours(ant.role, ant.wandererCarrying);
        out.AppendCell(ant.pos.x, ant.pos.y, c.first, c.second, true);
    }
}

void DrawColony(const Colony& colony, SceneWriter& out) {
    if (colony.showTrails) {
        DrawTrails(colony.trails, out);
    }
    DrawAnts(colony.ants, out);
}

void DrawFoodCells(const ListTemplate<FoodCell>& cells, int32_t threshold, SceneWriter& out) {
    for (int32_t slot = cells.Newest(); slot != -1; slot = cells.Older(slot)) {
        const FoodCell& cell = cells.At(slot);
        const uint32_t colour = FoodColour(cell.turnsLeft, threshold);
        out.AppendCell(cell.x, cell.y, colour, colour, false);
    }
}

void DrawFood(const FoodField& food, SceneWriter& out) {
    DrawFoodCells(food.foodCells, food.renderThreshold, out);
}

void DrawBorder(SceneWriter& out, float scale, float height, int32_t worldWidth,
                int32_t worldHeight) {
    const float x = scale * static_cast<float>(worldWidth);
    const float y = scale * static_cast<float>(worldHeight);
    const float h = height;
    const uint32_t c = kBorderColour;
    auto strip = [&](float ax, float az, float bx, float bz) {
        // The rectangle (ax, az) .. (bx, bz) as two triangles.
        out.AppendTriangle({ax, h, az, c, 0, 0}, {bx, h, az, c, 0, 0}, {bx, h, bz, c, 0, 0});
        out.AppendTriangle({bx, h, bz, c, 0, 0}, {ax, h, bz, c, 0, 0}, {ax, h, az, c, 0, 0});
    };
    strip(-1.0f, -1.0f, 0.0f, y + 1.0f);     // left
    strip(x, -1.0f, x + 1.0f, y + 1.0f);     // right
    strip(-1.0f, -1.0f, x + 1.0f, 0.0f);     // near
    strip(-1.0f, y, x + 1.0f, y + 1.0f);     // far
}

void BuildScene(Simulation& simulation, SceneWriter& out) {
    const auto start = std::chrono::steady_clock::now();
    DrawColony(simulation.colony, out);
    DrawFood(simulation.foodField, out);
    DrawBorder(out, 1.0f, kSceneHeight, simulation.worldWidth, simulation.worldHeight);
    const std::chrono::duration<float> elapsed = std::chrono::steady_clock::now() - start;
    simulation.renderSeconds = elapsed.count();
}
