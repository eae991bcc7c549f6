#include "presentation/OrbitCamera.h"

#include <chrono>
#include <cmath>

namespace {

constexpr float kDegreesToRadians = 3.1415927f / 180.0f;

}  // namespace

uint32_t SteadyTickSource::NowMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

glm::vec3 SphericalVector(float pitchDegrees, float yawDegrees, float r) {
    const float pitch = pitchDegrees * kDegreesToRadians;
    const float yaw = yawDegrees * kDegreesToRadians;
    const float height = r * std::sin(pitch);
    const float h = r * std::cos(pitch);
    return {h * std::sin(yaw), height, h * std::cos(yaw)};
}

OrbitCamera::OrbitCamera(TickSource& ticks) : lastTick(ticks.NowMs()), ticks(&ticks) {}

void OrbitCamera::Advance(int32_t& timer, float& rate, float amplitude, int32_t dt) {
    if (static_cast<int64_t>(timer) - dt < 0) {
        timer = static_cast<int32_t>(random.RandomUnit() * kDurationSpreadMs +
                                     static_cast<float>(kMinDurationMs));
        rate = random.RandomUnit() * 2.0f * amplitude - amplitude;
    } else {
        timer -= dt;
    }
}

void OrbitCamera::Update() {
    const uint32_t now = ticks->NowMs();
    // The difference modulo 2^32 stays right across the counter's wrap.
    int32_t dt = static_cast<int32_t>(now - lastTick);
    if (dt < 0) {
        dt = 0;
    }
    lastTick = now;

    Advance(pitchTimer, pitchRate, kPitchAmplitude, dt);
    Advance(yawTimer, yawRate, kYawAmplitude, dt);
    Advance(zoomTimer, zoomRate, kZoomAmplitude, dt);

    const float s = static_cast<float>(dt) / 1000.0f;
    pitch += s * pitchRate;
    yaw += s * yawRate;
    if (pitch < kMinPitch) pitch = kMinPitch;
    if (pitch > kMaxPitch) pitch = kMaxPitch;

    zoom += s * zoomRate;
    if (zoom > kMaxZoom) zoom = kMaxZoom;
    if (zoom < kMinZoom) zoom = kMinZoom;
    // A low camera stays farther out (beyond zoom 1 below 45 degrees), so the
    // world never fills the view from the side.
    const float lowBound = 1.0f - pitch / 90.0f + 0.5f;
    if (zoom < lowBound) zoom = lowBound;

    eye = centre + zoom * SphericalVector(pitch, yaw, orbitRadius);
    lookAt = eye + SphericalVector(pitch, yaw, -kLookDistance);
}
