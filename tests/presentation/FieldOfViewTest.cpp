// The field of view for the view's shape: wide views keep the vertical angle,
// narrower ones (portrait screens above all) widen it so that the world still
// fits across. The geometry test projects the world's corners exactly as a
// frame does (world lift, orbit camera, left-handed look-at and perspective).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/vec4.hpp>

#include "presentation/OrbitCamera.h"
#include "presentation/RenderWindow.h"
#include "presentation/scene/SceneBuilder.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kWorldSide = 128.0f;

// How far the world's corners reach across the view, in normalised device
// units (1 is the view's edge), over the orbit at its outer distance: every
// elevation the camera allows and every heading.
struct Reach {
    float across = 0.0f;
    float down = 0.0f;
};

Reach WorldReach(float aspect, float fieldOfView) {
    Reach reach;
    const glm::vec3 centre{64.0f, 50.0f, 64.0f};
    const glm::mat4 world =
        glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, RenderWindow::kWorldLift, 0.0f));
    const glm::mat4 projection = glm::perspectiveLH_NO(fieldOfView, aspect, RenderWindow::kNearPlane,
                                                       RenderWindow::kFarPlane);
    for (float pitch = OrbitCamera::kMinPitch; pitch <= OrbitCamera::kMaxPitch; pitch += 5.0f) {
        for (float yaw = 0.0f; yaw < 360.0f; yaw += 15.0f) {
            const glm::vec3 eye = centre + OrbitCamera::kMaxZoom * SphericalVector(pitch, yaw, 200.0f);
            const glm::vec3 lookAt = eye + SphericalVector(pitch, yaw, -OrbitCamera::kLookDistance);
            const glm::mat4 transform =
                projection * glm::lookAtLH(eye, lookAt, glm::vec3(0.0f, 1.0f, 0.0f)) * world;
            for (float x : {0.0f, kWorldSide}) {
                for (float z : {0.0f, kWorldSide}) {
                    const glm::vec4 clip = transform * glm::vec4(x, kSceneHeight, z, 1.0f);
                    reach.across = std::max(reach.across, std::fabs(clip.x / clip.w));
                    reach.down = std::max(reach.down, std::fabs(clip.y / clip.w));
                }
            }
        }
    }
    return reach;
}

}  // namespace

TEST(FieldOfViewTest, WideViewsKeepTheAngleNarrowOnesKeepTheFramesWidth) {
    // Wide views: the vertical angle as it always was.
    for (float aspect : {RenderWindow::kFrameAspect, 2.0f, 21.0f / 9.0f, 4.0f}) {
        SCOPED_TRACE(aspect);
        EXPECT_FLOAT_EQ(VerticalFieldOfView(aspect), RenderWindow::kFieldOfView);
    }
    // Narrower views: the horizontal extent of the 16:9 frame.
    const float frameHalfWidth = std::tan(RenderWindow::kFieldOfView / 2.0f) * RenderWindow::kFrameAspect;
    for (float aspect : {1.6f, 4.0f / 3.0f, 1.0f, 0.75f, 9.0f / 16.0f, 0.1f}) {
        SCOPED_TRACE(aspect);
        const float angle = VerticalFieldOfView(aspect);
        EXPECT_GT(angle, RenderWindow::kFieldOfView);
        EXPECT_LT(angle, kPi);
        EXPECT_NEAR(std::tan(angle / 2.0f) * aspect, frameHalfWidth, 1e-5f);
    }
    // No jump where the rule changes.
    EXPECT_NEAR(VerticalFieldOfView(RenderWindow::kFrameAspect - 1e-4f), RenderWindow::kFieldOfView,
                1e-4f);
    // A view without a shape (a window of no width) keeps the plain angle.
    for (float aspect : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_FLOAT_EQ(VerticalFieldOfView(aspect), RenderWindow::kFieldOfView);
    }
}

TEST(FieldOfViewTest, TheWholeWorldFitsAcrossAPortraitViewAsAcrossALandscapeOne) {
    // A 16:9 landscape screen holds the world's width from the outer orbit.
    const Reach landscape = WorldReach(16.0f / 9.0f, VerticalFieldOfView(16.0f / 9.0f));
    EXPECT_LT(landscape.across, 1.0f);
    for (float aspect : {3.0f / 4.0f, 9.0f / 16.0f}) {
        SCOPED_TRACE(aspect);
        // The plain vertical angle would cut the world off at the sides ...
        EXPECT_GT(WorldReach(aspect, RenderWindow::kFieldOfView).across, 1.0f);
        // ... the widened one holds it exactly as wide as the landscape
        // screen does, with room to spare above and below.
        const Reach portrait = WorldReach(aspect, VerticalFieldOfView(aspect));
        EXPECT_NEAR(portrait.across, landscape.across, 1e-3f);
        EXPECT_LT(portrait.down, 1.0f);
    }
}
