#pragma once
// The world scene, rebuilt from the simulation state for every new picture as flat
// coloured squares (two triangles per cell) in one vertex array: trail cells
// when shown, then ants, then food, then the border around the world. All
// quads lie in one plane and are drawn in order without a depth test, so
// what is appended later covers what came before: food covers ants and
// trails, ants cover trails.
//
// CPU only: the render window uploads the filled array to the GPU.
// Every walk is read-only (Newest/Older), so it never moves a list's shared
// traversal cursor. The caller holds the simulation's state lock.
#include <cstdint>

#include "colony/Ant.h"
#include "foundation/ListTemplate.h"
#include "environment/FoodField.h"
#include "environment/TrailMap.h"
#include "presentation/scene/SceneVertex.h"
#include "simulation/SceneColours.h"

class Colony;
class Simulation;

// Size of the scene's vertex buffer (12,000,000 bytes). With one record per
// cell in a 128 x 128 world the scene needs under 300,000 vertices.
constexpr int32_t kSceneVertexCapacity = 500000;

// Every scene vertex lies at this height; the frame's world transform lifts it.
constexpr float kSceneHeight = 0.5f;

// Trail drawing starts only while the scene holds at most this many
// triangles, and stops once more than kTrailStopVertices are written.
constexpr int32_t kTrailStartTriangles = 125000;
constexpr int32_t kTrailStopVertices = 499990;

// The write position of one scene fill over a caller's buffer. It never
// writes past the capacity: an append that does not fit is dropped whole.
class SceneWriter {
public:
    SceneWriter(SceneVertex* buffer, int32_t vertexCapacity)
        : buffer(buffer), capacity(vertexCapacity) {}

    void Reset() { triangles = 0; }
    int32_t Triangles() const { return triangles; }
    int32_t VertexCount() const { return triangles * 3; }
    int32_t Capacity() const { return capacity; }
    const SceneVertex* Vertices() const { return buffer; }

    // The quad of cell (x, y): first triangle (x, y) (x+1, y) (x+1, y+1) in
    // colour first, second (x+1, y+1) (x, y+1) (x, y) in colour second.
    // Textured quads map the whole texture onto the cell; the others get
    // (0, 0). False when the two triangles do not fit.
    bool AppendCell(int32_t x, int32_t y, uint32_t first, uint32_t second, bool textured);
    bool AppendTriangle(const SceneVertex& a, const SceneVertex& b, const SceneVertex& c);

private:
    SceneVertex* buffer;
    int32_t capacity;
    int32_t triangles = 0;
};

void DrawTrails(const TrailMap& trails, SceneWriter& out);
void DrawAnts(const ListTemplate<Ant>& ants, SceneWriter& out);
// Trails (when the colony shows them), then one quad per ant.
void DrawColony(const Colony& colony, SceneWriter& out);
void DrawFoodCells(const ListTemplate<FoodCell>& cells, int32_t threshold, SceneWriter& out);
void DrawFood(const FoodField& food, SceneWriter& out);
// Four one-cell-wide strips framing cells 0 .. width-1 by 0 .. height-1
// (scale multiplies the world size; height is the plane's Y).
void DrawBorder(SceneWriter& out, float scale, float height, int32_t worldWidth,
                int32_t worldHeight);

// Appends colony, food and border, and stores the time it took in the
// simulation's renderSeconds. The caller holds simulation.stateMutex.
void BuildScene(Simulation& simulation, SceneWriter& out);
