// scene_frames_test.cpp -- what the scenes keep between frames and between
// visits, on the real start-up and frame loop of the frame driver.
#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "fx/billboard.h"
#include "fx/random.h"
#include "fx/spring_mesh.h"
#include "scenes/spike_ball.h"
#include "scenes/spiral_scene.h"
#include "scenes/spring_grid_scene.h"
#include "tests/support/gl_test.h"

namespace {

// A fresh run: the scenes' statics and the random sequence as at program start.
class SceneFrames : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        spiralPhase = 0.0f;
        pullStarted = false;
        pulledNode = 0;
        SetDemoRandState(1);
    }
};

// Posts Right or Left until the part is reached (Left and Right to start it
// again) and draws its first frame.
void StepToPart(FrameDriver& driver, int part) {
    if (driver.CurrentPart() == part) driver.PostKey(VK_LEFT), driver.PostKey(VK_RIGHT);
    for (int n = driver.CurrentPart(); n != part; n += part > n ? 1 : -1) driver.PostKey(part > n ? VK_RIGHT : VK_LEFT);
    ASSERT_TRUE(driver.RunFrame());
    ASSERT_EQ(driver.CurrentPart(), part);
}

TEST_F(SceneFrames, SpringGridPullsOneNodeAtATime) {
    FrameDriver driver(50);
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.RunUntil(2));
    SpringMesh* mesh = assets.springMesh;
    ASSERT_NE(mesh, nullptr);
    auto pulled = [&] {  // the nodes with a force, which is -100 in y only
        std::vector<int> nodes;
        for (int i = 0; i < 51 * 51; ++i) {
            const Vec4 f = mesh->GetNode(i);
            if (f.y != 0.0f) nodes.push_back(i);
            EXPECT_EQ(f.y == 0.0f ? 0.0f : -100.0f, f.y);
            EXPECT_EQ(f.x, 0.0f);
            EXPECT_EQ(f.z, 0.0f);
        }
        return nodes;
    };
    EXPECT_TRUE(pulled().empty());
    StepToPart(driver, 6);
    // The first frame pulls the centre node and releases none.
    EXPECT_EQ(pulled(), std::vector<int>{1300});
    EXPECT_TRUE(pullStarted);
    EXPECT_EQ(pulledNode, 1300);
    // Clock 100: the pull has wandered, the centre is released.
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 25));
    EXPECT_EQ(pulled(), std::vector<int>{PulledNode(100)});
    EXPECT_NE(PulledNode(100), 1300);
    float lowest = 0.0f;  // the pulls have pushed the cloth out of its plane
    for (int i = 0; i < 51 * 51; ++i) lowest = std::min(lowest, mesh->nodePositions[i].y);
    EXPECT_LT(lowest, -0.05f);
}

// Part 7 leaves the glow billboard at size 6 and (10, 10, 10): part 5 seen
// again afterwards shows a small glow beside the big one it showed before.
TEST_F(SceneFrames, GlowAfterTheLatticeIsSmallerAndDisplaced) {
    FrameDriver driver(5);  // 200 ms a frame: 15 frames reach clock 600
    ASSERT_TRUE(driver.Start());
    // Keys alone step the parts (the music would move on to part 2 at 8.3 s).
    MusicPlayer* music = assets.musicPlayer;
    assets.musicPlayer = nullptr;
    Billboard* glow = assets.particle1Billboard;
    ASSERT_NE(glow, nullptr);
    auto visit = [&](int part, int frames) {
        StepToPart(driver, part);
        EXPECT_TRUE(driver.RunUntil(driver.FrameIndex() + frames));
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(driver.ReadFrame(&rgb));
        return rgb;
    };
    const std::vector<uint8_t> firstVisit = visit(5, 15);
    visit(7, 2);
    EXPECT_EQ(glow->size, 6.0f);
    EXPECT_EQ(std::vector<float>(glow->position, glow->position + 3), std::vector<float>(3, 10.0f));
    const std::vector<uint8_t> secondVisit = visit(5, 15);
    // The same frame once more with the glow's picture black: no glow.
    const TextureId picture = glow->texture;
    glow->texture = assets.black;
    const std::vector<uint8_t> noGlow = visit(5, 15);
    glow->texture = picture;
    assets.musicPlayer = music;
    // Where the light lands: pixels brightened by over 24 in all, and their centroid.
    struct { int area = 0; double x = 0, y = 0, weight = 0; } big, small;
    for (auto [with, f] : {std::make_pair(&firstVisit, &big), std::make_pair(&secondVisit, &small)})
        for (size_t i = 0; i < noGlow.size(); i += 3) {
            const int d = (*with)[i] + (*with)[i + 1] + (*with)[i + 2] - noGlow[i] - noGlow[i + 1] - noGlow[i + 2];
            if (d <= 24) continue;
            ++f->area;
            f->x += double(d) * (i / 3 % 640), f->y += double(d) * (i / 3 / 640), f->weight += d;
        }
    EXPECT_GT(small.area, 20);
    EXPECT_GT(big.area, 8 * small.area);  // edge 40 against 6
    EXPECT_GT(std::hypot(small.x / small.weight - big.x / big.weight, small.y / small.weight - big.y / big.weight), 15.0);
}

TEST_F(SceneFrames, SpiralPhaseResumesOnTheNextVisit) {
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    StepToPart(driver, 3);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 9));
    EXPECT_NEAR(spiralPhase, 0.5f, 1e-5);  // ten frames of part 3
    StepToPart(driver, 4);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 5));
    StepToPart(driver, 3);
    EXPECT_NEAR(spiralPhase, 0.55f, 1e-5);
}

// The spike balls are built anew every frame into the same arrays.
TEST(SpikeBall, ArraysAreReusedAndDegenerateCountsGiveNothing) {
    SpikeBall ball;
    BuildSpikeBall(&ball, 90, 45, 30.0f, 5.0f, 6, 6);
    const float* vertices = ball.vertices.data();
    const float* normals = ball.normals.data();
    BuildSpikeBall(&ball, 90, 45, 30.0f, -12.0f, 6, 6);
    EXPECT_EQ(ball.vertices.data(), vertices);
    EXPECT_EQ(ball.normals.data(), normals);
    SpikeBall fresh;  // the same parameters give the same ball, whatever came before
    BuildSpikeBall(&fresh, 90, 45, 30.0f, -12.0f, 6, 6);
    EXPECT_EQ(fresh.vertices, ball.vertices);
    EXPECT_EQ(fresh.normals, ball.normals);
    BuildSpikeBall(&ball, 0, 45, 30.0f, 0.0f, 6, 6);
    EXPECT_EQ(ball.segments, 0);
    EXPECT_TRUE(ball.vertices.empty());
    BuildSpikeBall(&ball, 90, -1, 30.0f, 0.0f, 6, 6);
    EXPECT_TRUE(ball.vertices.empty());
}

}  // namespace
