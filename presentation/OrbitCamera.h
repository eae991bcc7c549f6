#pragma once
// The orbit camera: nobody steers it. Every frame it advances its elevation
// (pitch), heading (yaw) and distance (zoom) at rates that are drawn again at
// random every 1 to 3.5 seconds, so the view drifts, turns and breathes and
// never repeats a fixed loop. It has a random source of its own, never
// seeded, so every run follows the same path; time comes from an injectable
// millisecond tick source. UI thread only.
#include <cstdint>

#include <glm/vec3.hpp>

#include "foundation/RandomSource.h"

// A millisecond counter that wraps at 2^32; only differences are used.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual uint32_t NowMs() = 0;
};

// Milliseconds of the steady clock.
class SteadyTickSource final : public TickSource {
public:
    uint32_t NowMs() override;
};

// The point at distance r from the origin at elevation pitch and heading yaw
// (degrees): (r cos(pitch) sin(yaw), r sin(pitch), r cos(pitch) cos(yaw)).
glm::vec3 SphericalVector(float pitchDegrees, float yawDegrees, float r);

class OrbitCamera {
public:
    static constexpr float kPitchAmplitude = 20.0f;  // degrees per second
    static constexpr float kYawAmplitude = 40.0f;    // degrees per second
    static constexpr float kZoomAmplitude = 0.5f;    // per second
    static constexpr int32_t kMinDurationMs = 1000;  // a rate lasts 1 .. 3.5 s
    static constexpr float kDurationSpreadMs = 2500.0f;
    static constexpr float kMinPitch = 35.0f;
    static constexpr float kMaxPitch = 70.0f;
    static constexpr float kMinZoom = 0.5f;
    static constexpr float kMaxZoom = 1.0f;
    static constexpr float kLookDistance = 10.0f;  // look-at point: this far toward the centre

    // ticks must outlive the camera; its current time becomes the last tick.
    explicit OrbitCamera(TickSource& ticks);

    // Advances by the time since the previous call (a tick counter that went
    // backwards counts as no time) and sets eye and lookAt.
    void Update();

    // ---- State, in order ----
    uint32_t lastTick;
    float orbitRadius = 200.0f;
    float pitch = 80.0f;
    float yaw = 0.0f;  // never wrapped
    float pitchRate = 0.0f;
    float yawRate = 0.0f;
    float zoomRate = 0.0f;
    int32_t pitchTimer = 0;  // ms until a new pitch rate is drawn
    int32_t yawTimer = 0;
    int32_t zoomTimer = 0;
    glm::vec3 centre{64.0f, 50.0f, 64.0f};
    float zoom = 0.0f;
    glm::vec3 eye{0.0f, 0.0f, 0.0f};
    glm::vec3 lookAt{0.0f, 0.0f, 0.0f};
    RandomSource random;

private:
    // Counts a timer down by dt; when it runs out draws a new duration, then
    // a new rate uniform in [-amplitude, amplitude].
    void Advance(int32_t& timer, float& rate, float amplitude, int32_t dt);

    TickSource* ticks;
};
