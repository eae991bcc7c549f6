// The orbit camera on a hand-driven tick counter.
#include <gtest/gtest.h>

#include <cmath>

#include <glm/geometric.hpp>

#include "presentation/OrbitCamera.h"

namespace {

class ManualTicks final : public TickSource {
public:
    explicit ManualTicks(uint32_t start) : now(start) {}
    uint32_t NowMs() override { return now; }
    uint32_t now;
};

}  // namespace

TEST(OrbitCamera, FirstUpdateDrawsRatesAndClampsIntoRange) {
    ManualTicks ticks(5000);
    OrbitCamera camera(ticks);
    EXPECT_EQ(camera.lastTick, 5000u);

    camera.Update();  // no time passed: the timers stay at 0, no draw
    EXPECT_EQ(camera.random.State(), 1u);
    EXPECT_EQ(camera.pitchTimer, 0);

    ticks.now += 16;
    camera.Update();
    // Duration first, then rate, for pitch, yaw and zoom in turn.
    RandomSource expected;
    const int32_t pitchTimer = static_cast<int32_t>(expected.RandomUnit() * 2500.0f + 1000.0f);
    const float pitchRate = expected.RandomUnit() * 40.0f - 20.0f;
    const int32_t yawTimer = static_cast<int32_t>(expected.RandomUnit() * 2500.0f + 1000.0f);
    const float yawRate = expected.RandomUnit() * 80.0f - 40.0f;
    const int32_t zoomTimer = static_cast<int32_t>(expected.RandomUnit() * 2500.0f + 1000.0f);
    const float zoomRate = expected.RandomUnit() * 1.0f - 0.5f;
    EXPECT_EQ(camera.pitchTimer, pitchTimer);
    EXPECT_FLOAT_EQ(camera.pitchRate, pitchRate);
    EXPECT_EQ(camera.yawTimer, yawTimer);
    EXPECT_FLOAT_EQ(camera.yawRate, yawRate);
    EXPECT_EQ(camera.zoomTimer, zoomTimer);
    EXPECT_FLOAT_EQ(camera.zoomRate, zoomRate);
    for (int32_t timer : {pitchTimer, yawTimer, zoomTimer}) {
        EXPECT_GE(timer, 1000);
        EXPECT_LE(timer, 3500);
    }

    EXPECT_FLOAT_EQ(camera.pitch, 70.0f);  // 80 clamped
    EXPECT_FLOAT_EQ(camera.yaw, 0.016f * yawRate);
    EXPECT_FLOAT_EQ(camera.zoom, 13.0f / 18.0f);
}

TEST(OrbitCamera, ShortFrameMovesByRateTimesTime) {
    ManualTicks ticks(0);
    OrbitCamera camera(ticks);
    camera.pitch = 50.0f;
    camera.yaw = 10.0f;
    camera.zoom = 1.0f;
    camera.pitchRate = 10.0f;
    camera.yawRate = -30.0f;
    camera.zoomRate = -0.25f;
    camera.pitchTimer = camera.yawTimer = camera.zoomTimer = 100;
    ticks.now = 2;
    camera.Update();
    EXPECT_FLOAT_EQ(camera.pitch, 50.02f);
    EXPECT_FLOAT_EQ(camera.yaw, 9.94f);
    EXPECT_FLOAT_EQ(camera.zoom, 0.9995f);
    EXPECT_EQ(camera.pitchTimer, 98);
    EXPECT_EQ(camera.yawTimer, 98);
    EXPECT_EQ(camera.zoomTimer, 98);
    EXPECT_EQ(camera.random.State(), 1u);  // nothing drawn

    // A timer that reaches exactly zero is still running; below zero it redraws.
    camera.pitchTimer = 2;
    camera.yawTimer = 1;
    ticks.now = 4;
    camera.Update();
    EXPECT_EQ(camera.pitchTimer, 0);
    EXPECT_GE(camera.yawTimer, 1000);
}

TEST(OrbitCamera, ZoomBoundsFollowThePitch) {
    struct Case {
        float pitch;
        float zoom;
        float rate;
        float expected;
    };
    const Case cases[] = {
        {70.0f, 0.5f, -0.5f, 13.0f / 18.0f},  // held at 70: never below 13/18
        {35.0f, 0.9f, 0.0f, 10.0f / 9.0f},    // low camera: beyond 1
        {35.0f, 1.5f, 0.5f, 10.0f / 9.0f},
        {60.0f, 2.0f, 0.5f, 1.0f},            // above 1 falls back to 1
        {60.0f, 0.9f, 0.0f, 0.9f},
    };
    for (const Case& c : cases) {
        ManualTicks ticks(0);
        OrbitCamera camera(ticks);
        camera.pitch = c.pitch;
        camera.zoom = c.zoom;
        camera.zoomRate = c.rate;
        camera.pitchTimer = camera.yawTimer = camera.zoomTimer = 10000;
        ticks.now = 100;
        camera.Update();
        EXPECT_NEAR(camera.zoom, c.expected, 1e-6f) << "pitch " << c.pitch << " zoom " << c.zoom;
    }
}

TEST(OrbitCamera, TickWrapAroundIsTheSmallForwardDifferenceAndBackwardsIsNoTime) {
    ManualTicks ticks(0xFFFFFFF0u);
    OrbitCamera camera(ticks);
    camera.pitch = 50.0f;
    camera.pitchRate = 10.0f;
    camera.pitchTimer = camera.yawTimer = camera.zoomTimer = 1000;
    ticks.now = 0x00000010u;  // 32 ms later, across the wrap
    camera.Update();
    EXPECT_FLOAT_EQ(camera.pitch, 50.32f);
    EXPECT_EQ(camera.pitchTimer, 968);

    ticks.now = 0x00000008u;  // backwards: no time
    camera.Update();
    EXPECT_FLOAT_EQ(camera.pitch, 50.32f);
    EXPECT_EQ(camera.pitchTimer, 968);
    EXPECT_EQ(camera.lastTick, 8u);
}

TEST(OrbitCamera, EyeOrbitsTheCentreAndLooksTowardIt) {
    ManualTicks ticks(0);
    OrbitCamera camera(ticks);
    for (int frame = 0; frame < 2000; ++frame) {
        ticks.now += 50;
        camera.Update();
        EXPECT_GE(camera.pitch, 35.0f);
        EXPECT_LE(camera.pitch, 70.0f);
        const glm::vec3 offset = camera.eye - camera.centre;
        const float distance = glm::length(offset);
        EXPECT_GE(distance, 200.0f * 13.0f / 18.0f - 0.01f);
        EXPECT_LE(distance, 200.0f * 10.0f / 9.0f + 0.01f);
        // The eye is above the centre at the pitch's elevation.
        EXPECT_NEAR(std::asin(offset.y / distance) * 180.0f / 3.1415927f, camera.pitch, 0.01f);
        // The look-at point is 10 units from the eye, on the line to the centre.
        const glm::vec3 look = camera.lookAt - camera.eye;
        EXPECT_NEAR(glm::length(look), 10.0f, 1e-3f);
        EXPECT_NEAR(glm::dot(glm::normalize(look), glm::normalize(-offset)), 1.0f, 1e-5f);
    }
}

TEST(OrbitCamera, SphericalVectorMatchesItsDefinition) {
    const glm::vec3 v = SphericalVector(30.0f, 90.0f, 2.0f);
    EXPECT_NEAR(v.x, 2.0f * std::cos(3.1415927f / 6.0f), 1e-5f);
    EXPECT_NEAR(v.y, 1.0f, 1e-5f);
    EXPECT_NEAR(v.z, 0.0f, 1e-5f);
    const glm::vec3 w = SphericalVector(0.0f, 0.0f, -10.0f);
    EXPECT_NEAR(w.z, -10.0f, 1e-5f);
}
