// The scene and the overlay built from a real simulation: drawing order,
// trails switch, the user's trail threshold left alone, the statistics column
// and the graph samples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "presentation/FrameOverlay.h"
#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"
#include "presentation/scene/SceneBuilder.h"
#include "simulation/Simulation.h"
#include "simulation/StatisticsText.h"
#include "tests/TempFolder.h"

namespace {

// A simulation with the built-in rules.
class SimulationFixture : public testing::Test {
protected:
    void SetUp() override {
        simulation = std::make_unique<Simulation>(1u);
        vertices.resize(kSceneVertexCapacity);
    }
    void TearDown() override { simulation.reset(); }

    SceneWriter Build() {
        SceneWriter writer(vertices.data(), kSceneVertexCapacity);
        BuildScene(*simulation, writer);
        return writer;
    }

    std::unique_ptr<Simulation> simulation;
    std::vector<SceneVertex> vertices;
};

enum class Layer { Trail, Ant, Food, Border };

// What a triangle is, told by its colour.
Layer LayerOf(uint32_t colour, bool lastEight) {
    if (lastEight) return Layer::Border;
    if ((colour >> 24) == 0x50) return Layer::Ant;
    if (((colour >> 8) & 0xFF) == 0xFF && (colour & 0xFF) != 0xFF) return Layer::Food;
    return Layer::Trail;
}

}  // namespace

TEST_F(SimulationFixture, EmptyWorldDrawsOnlyTheBorder) {
    simulation->colony.SetWorldSize(128, 128);  // no ants, no trails
    simulation->foodField.initialFood = 0;
    simulation->foodField.Reset();
    ASSERT_EQ(simulation->foodField.FoodCount(), 0);
    ASSERT_TRUE(simulation->colony.showTrails);
    simulation->renderSeconds = -1.0f;

    const SceneWriter writer = Build();
    EXPECT_EQ(writer.Triangles(), 8);
    EXPECT_GE(simulation->renderSeconds, 0.0f);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(vertices[i].colour, 0x000000FFu);
}

TEST_F(SimulationFixture, TrailsThenAntsThenFoodThenBorder) {
    for (int i = 0; i < 300; ++i) simulation->Step();
    const Colony& colony = simulation->colony;
    const int32_t trailCells = colony.trails.trailCells.Count();
    ASSERT_GT(trailCells, 0);
    ASSERT_GT(colony.population, 0);
    ASSERT_GT(simulation->foodField.FoodCount(), 0);

    const SceneWriter writer = Build();
    const int32_t expected =
        2 * (trailCells + colony.population + simulation->foodField.FoodCount()) + 8;
    ASSERT_EQ(writer.Triangles(), expected);

    // Later layers cover earlier ones, so the order is the covering rule:
    // food over ants over trails.
    Layer previous = Layer::Trail;
    int counts[4] = {};
    for (int32_t t = 0; t < writer.Triangles(); ++t) {
        const Layer layer = LayerOf(vertices[t * 3].colour, t >= writer.Triangles() - 8);
        EXPECT_GE(static_cast<int>(layer), static_cast<int>(previous)) << "triangle " << t;
        previous = layer;
        ++counts[static_cast<int>(layer)];
    }
    EXPECT_EQ(counts[0], 2 * trailCells);
    EXPECT_EQ(counts[1], 2 * colony.population);
    EXPECT_EQ(counts[2], 2 * simulation->foodField.FoodCount());
}

TEST_F(SimulationFixture, AnAntOnFoodIsCoveredByTheFoodQuad) {
    const ListTemplate<FoodCell>& cells = simulation->foodField.foodCells;
    const FoodCell& food = cells.At(cells.Newest());
    // Move the newest ant onto a food cell (the scene does not care about occupancy).
    Ant& ant = simulation->colony.ants.At(simulation->colony.ants.Newest());
    ant.pos = {food.x, food.y};
    const SceneWriter writer = Build();
    int antQuad = -1;
    int foodQuad = -1;
    for (int32_t t = 0; t < writer.Triangles(); t += 2) {
        const SceneVertex& v = vertices[t * 3];
        if (v.x == static_cast<float>(food.x) && v.z == static_cast<float>(food.y)) {
            if ((v.colour >> 24) == 0x50) antQuad = t;
            else if (v.colour == FoodColour(food.turnsLeft, simulation->foodField.renderThreshold))
                foodQuad = t;
        }
    }
    ASSERT_GE(antQuad, 0);
    ASSERT_GE(foodQuad, 0);
    EXPECT_GT(foodQuad, antQuad);
}

TEST_F(SimulationFixture, HiddenTrailsAreSkippedAndTheUsersThresholdIsKept) {
    Colony& colony = simulation->colony;
    colony.trails.Deposit(10, 10, 600, 1);
    colony.trails.renderThreshold = 350;  // what the options dialog stored

    SceneWriter shown = Build();
    EXPECT_EQ(colony.trails.renderThreshold, 350);
    ASSERT_GE(shown.Triangles(), 2);
    EXPECT_EQ(vertices[0].colour, 0x006767FFu);  // faded against 1200, not 350

    colony.showTrails = false;
    const int32_t withTrails = shown.Triangles();
    SceneWriter hidden = Build();
    EXPECT_EQ(hidden.Triangles(), withTrails - 2 * colony.trails.trailCells.Count());
    EXPECT_EQ((vertices[0].colour >> 24), 0x50u);  // ants come first now
}

TEST_F(SimulationFixture, OverlayHasFrameTimeStatisticsCaptionAndGraphs) {
    FontAtlas atlas;
    std::string error;
    const int32_t sizes[] = {kSmallFontPixels, kLargeFontPixels};
    ASSERT_TRUE(atlas.Build(kDefaultFontFile, sizes, 2, error)) << error;

    StatisticsLines lines{};
    FrameSample sample;
    {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        simulation->totalSteps = 8;
        FormatStatistics(*simulation, lines);
        sample = SampleSimulation(*simulation);
    }
    EXPECT_STREQ(lines.line[1], "Op Time  0.000000  ");
    EXPECT_EQ(std::strncmp(lines.line[3], "Meandoring Ants  60.00 ", 23), 0) << lines.line[3];
    EXPECT_EQ(std::strncmp(lines.line[4], "Wandering Ants  5.00 ", 21), 0) << lines.line[4];
    EXPECT_EQ(std::strncmp(lines.line[5], "Gathering Ants 25.00 ", 21), 0) << lines.line[5];
    EXPECT_EQ(std::strncmp(lines.line[6], "Reproducing Ants 10.00 ", 23), 0) << lines.line[6];
    EXPECT_EQ(sample.time, 8.0f);
    EXPECT_EQ(sample.population, static_cast<float>(simulation->colony.population));
    EXPECT_EQ(sample.supply, static_cast<float>(simulation->foodField.FoodCount()));

    // At 1920 x 1080 everything stands where the program always put it.
    const OverlayLayout layout = LayOutOverlay(1920, 1080, AtlasMeasure(atlas));
    ASSERT_FALSE(layout.compact);
    FrameGraphs graphs;
    graphs.Layout(layout);
    EXPECT_EQ(graphs.supply.rect.left, 360);
    EXPECT_EQ(graphs.supply.rect.top, 1080 - 155);
    auto batch = std::make_unique<OverlayBatch>();
    graphs.AddSample(sample);
    ComposeOverlay(*batch, atlas.Font(0), atlas.Font(1), layout, 0.0f, lines, graphs);

    EXPECT_EQ(graphs.population.samples[129], sample.population);
    EXPECT_EQ(graphs.reserves.samples[129], sample.reserves);
    EXPECT_EQ(graphs.supply.samples[129], sample.supply);

    // Red text: the frame time at the top left and the caption from x = 300;
    // light text: the statistics column between y = 10 and 235; the panels
    // (untextured triangles) come first.
    float redLeftMaxY = 0.0f, captionMinX = 1e9f, greyMinY = 1e9f, greyMaxY = 0.0f;
    int lineVertices = 0;
    int panelVertices = 0;
    const OverlayVertex* v = batch->Vertices();
    for (int32_t r = 0; r < batch->RunCount(); ++r) {
        const OverlayRun& run = batch->Runs()[r];
        for (int32_t i = run.first; i < run.first + run.count; ++i) {
            if (run.primitive == OverlayPrimitive::Lines) {
                ++lineVertices;
            } else if (v[i].colour == kPanelColour) {
                EXPECT_LT(v[i].u, 0.0f);
                ++panelVertices;
            } else if (v[i].colour == kHeadlineColour && v[i].x < 290.0f) {
                redLeftMaxY = std::max(redLeftMaxY, v[i].y);
            } else if (v[i].colour == kHeadlineColour) {
                captionMinX = std::min(captionMinX, v[i].x);
            } else if (v[i].colour == kStatisticsColour) {
                greyMinY = std::min(greyMinY, v[i].y);
                greyMaxY = std::max(greyMaxY, v[i].y);
            }
        }
    }
    EXPECT_EQ(v[0].colour, kPanelColour);
    EXPECT_EQ(panelVertices, 6 * (1 + 1 + 3));  // text block, caption, three graphs
    EXPECT_LE(redLeftMaxY, 14.0f);
    EXPECT_GE(captionMinX, 300.0f);
    EXPECT_LT(captionMinX, 310.0f);
    EXPECT_GE(greyMinY, 10.0f);
    EXPECT_LE(greyMaxY, 220.0f + 15.0f);
    EXPECT_EQ(lineVertices, 3 * 2 * (2 + 129));
}
