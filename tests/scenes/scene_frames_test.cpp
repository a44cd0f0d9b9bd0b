// scene_frames_test.cpp -- the scenes as the demo draws them: the real
// start-up and frame loop on the frame driver's clock, frames read back from
// the headless context.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "app/render_state.h"
#include "fx/billboard.h"
#include "fx/random.h"
#include "fx/spring_mesh.h"
#include "scenes/overlays.h"
#include "scenes/spiral_scene.h"
#include "scenes/spring_grid_scene.h"
#include "tests/support/gl_test.h"

namespace {

constexpr int kW = 640, kH = 480;

// A fresh run: the scenes' statics and the random sequence as at program start.
void FreshRun() {
    spiralPhase = 0.0f;
    pullStarted = false;
    pulledNode = 0;
    SetDemoRandState(1);
}

std::vector<uint8_t> Frame(const FrameDriver& driver) {
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(driver.ReadFrame(&rgb));
    return rgb;
}

int MaxChannel(const std::vector<uint8_t>& rgb) { return *std::max_element(rgb.begin(), rgb.end()); }
int MinChannel(const std::vector<uint8_t>& rgb) { return *std::min_element(rgb.begin(), rgb.end()); }

double MeanChannel(const std::vector<uint8_t>& rgb) {
    double sum = 0;
    for (uint8_t c : rgb) sum += c;
    return sum / double(rgb.size());
}

// Posts Right until the part is reached and draws its first frame (clock 0).
void StepToPart(FrameDriver& driver, int part) {
    const int steps = part - driver.CurrentPart();
    for (int n = 0; n < steps; ++n) driver.PostKey(VK_RIGHT);
    ASSERT_TRUE(driver.RunFrame());
    ASSERT_EQ(driver.CurrentPart(), part);
}

// Where the scene's light lands: the added brightness of `with` over
// `without`, its area (pixels brightened by more than 24 over three
// channels) and its centroid.
struct Footprint {
    int area = 0;
    double x = 0, y = 0;
};

Footprint Brightening(const std::vector<uint8_t>& with, const std::vector<uint8_t>& without) {
    Footprint f;
    double wsum = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const size_t i = (size_t(y) * kW + x) * 3;
            const int d = (with[i] + with[i + 1] + with[i + 2]) - (without[i] + without[i + 1] + without[i + 2]);
            if (d > 24) {
                ++f.area;
                f.x += double(d) * x;
                f.y += double(d) * y;
                wsum += d;
            }
        }
    }
    if (wsum > 0) {
        f.x /= wsum;
        f.y /= wsum;
    }
    return f;
}

class SceneFrames : public GLTest {};

}  // namespace

TEST_F(SceneFrames, TitleFadesInFromBlackOverSixSeconds) {
    FreshRun();
    FrameDriver driver(50);  // 20 ms a frame: clock 4n in part 1
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.RunFrame());
    EXPECT_EQ(MaxChannel(Frame(driver)), 0) << SaveSurfacePng("title_t0");
    ASSERT_TRUE(driver.RunUntil(151));  // clock 600: half way
    const double half = MeanChannel(Frame(driver));
    ASSERT_TRUE(driver.RunUntil(302));  // last frame drawn at clock 1204
    EXPECT_EQ(driver.CurrentPart(), 1);
    const double full = MeanChannel(Frame(driver));
    SaveSurfacePng("title_t1204");
    EXPECT_GT(full, 20.0);
    EXPECT_GT(half, 3.0);
    EXPECT_LT(half, full);
}

TEST_F(SceneFrames, PartsFourFiveSixAndEightStartUnderAnOpaqueFade) {
    FreshRun();
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.RunUntil(3));
    for (int part = 2; part <= 8; ++part) {
        StepToPart(driver, part);
        const std::vector<uint8_t> rgb = Frame(driver);
        if (part == 4 || part == 5 || part == 8) {
            EXPECT_EQ(MinChannel(rgb), 255) << "part " << part;
        } else if (part == 6) {
            // Texturing is still on when part 6 fades: the opaque quad takes
            // the grid picture's colour at the mesh's last texture
            // coordinate, one flat colour over the whole screen.
            for (size_t i = 3; i < rgb.size(); i += 3) {
                ASSERT_EQ(rgb[i], rgb[0]);
                ASSERT_EQ(rgb[i + 1], rgb[1]);
                ASSERT_EQ(rgb[i + 2], rgb[2]);
            }
        }
        ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 2));
    }
}

TEST_F(SceneFrames, EyePictureBuildsUpOverTheTitle) {
    FreshRun();
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.RunUntil(400));  // the title fully faded in
    StepToPart(driver, 2);
    const std::vector<uint8_t> first = Frame(driver);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 59));
    ASSERT_EQ(driver.CurrentPart(), 2);
    const std::vector<uint8_t> sixty = Frame(driver);
    SaveSurfacePng("eye_frame60");

    // The eye picture alone, as the overlay stretches it over the screen.
    ApplyPartRenderState(2);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawTextureOverlay(assets.auge, 1, 1, 1, 1);
    std::vector<uint8_t> eye = ReadSurface();

    // The particles add light (and leave brightening trails), so wherever
    // the eye picture has taken over a pixel is at least as bright as the
    // picture; pixels clearly darker still show what lay there before.
    auto darkerShare = [&](const std::vector<uint8_t>& rgb) {
        size_t darker = 0;
        for (size_t i = 0; i < rgb.size(); i += 3) {
            const int d = (eye[i] + eye[i + 1] + eye[i + 2]) - (rgb[i] + rgb[i + 1] + rgb[i + 2]);
            if (d > 24) ++darker;
        }
        return double(darker) / double(rgb.size() / 3);
    };
    auto closeShare = [&](const std::vector<uint8_t>& rgb) {
        size_t close = 0;
        for (size_t i = 0; i < rgb.size(); i += 3) {
            const int d = std::abs(rgb[i] - eye[i]) + std::abs(rgb[i + 1] - eye[i + 1]) +
                          std::abs(rgb[i + 2] - eye[i + 2]);
            if (d <= 24) ++close;
        }
        return double(close) / double(rgb.size() / 3);
    };
    std::printf("first: darker %.3f close %.3f; sixty: darker %.3f close %.3f\n", darkerShare(first),
                closeShare(first), darkerShare(sixty), closeShare(sixty));
    EXPECT_GT(MaxChannel(eye), 64);  // the picture is not black
    // One frame in, the title still dominates; sixty frames in (0.9^60, a
    // weight of 0.2% left of it) the eye does, under the particles' light.
    EXPECT_GT(darkerShare(first), 0.1);
    EXPECT_LT(darkerShare(sixty), 0.02);
    EXPECT_LT(closeShare(first), 0.2);
    EXPECT_GT(closeShare(sixty), 0.3);
}

TEST_F(SceneFrames, SpringGridPullsOneNodeAtATime) {
    FreshRun();
    FrameDriver driver(50);
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.RunUntil(2));
    SpringMesh* mesh = assets.springMesh;
    ASSERT_NE(mesh, nullptr);
    auto pulled = [&](std::vector<int>* nodes) {
        nodes->clear();
        for (int i = 0; i < 51 * 51; ++i) {
            const Vec4 f = mesh->GetNode(i);
            if (f.y != 0.0f) nodes->push_back(i);
            EXPECT_EQ(f.x, 0.0f);
            EXPECT_EQ(f.z, 0.0f);
        }
    };
    std::vector<int> nodes;
    pulled(&nodes);
    EXPECT_TRUE(nodes.empty());

    StepToPart(driver, 6);
    // The first frame pulls the centre node and releases none.
    pulled(&nodes);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0], 1300);
    EXPECT_EQ(mesh->GetNode(1300).y, -100.0f);
    EXPECT_TRUE(pullStarted);
    EXPECT_EQ(pulledNode, 1300);

    // Clock 100 (u = 1): the pull has wandered, the centre is released.
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 25));
    pulled(&nodes);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0], PulledNode(100));
    EXPECT_NE(nodes[0], 1300);
    EXPECT_EQ(mesh->GetNode(1300).y, 0.0f);
    SaveSurfacePng("spring_grid_t100");
    // The pulls have pushed the cloth out of its plane.
    float lowest = 0.0f;
    for (int i = 0; i < 51 * 51; ++i) lowest = std::min(lowest, mesh->nodePositions[i].y);
    EXPECT_LT(lowest, -0.05f);
}

TEST_F(SceneFrames, GlowAfterTheLatticeIsSmallerAndDisplaced) {
    FreshRun();
    FrameDriver driver(50);
    ASSERT_TRUE(driver.Start());
    // Keys alone step the parts here: with the sync check on, the music would
    // move on to part 2 after 8.3 seconds.
    MusicPlayer* music = assets.musicPlayer;
    assets.musicPlayer = nullptr;
    Billboard* glow = assets.particle1Billboard;
    ASSERT_NE(glow, nullptr);

    constexpr int kFrames = 150;  // part 5 at clock 600, the fade just over
    StepToPart(driver, 5);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + kFrames));
    const std::vector<uint8_t> firstVisit = Frame(driver);
    SaveSurfacePng("ball_floor_first_visit");

    StepToPart(driver, 7);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 2));
    EXPECT_EQ(glow->size, 6.0f);
    EXPECT_EQ(glow->position[0], 10.0f);
    EXPECT_EQ(glow->position[1], 10.0f);
    EXPECT_EQ(glow->position[2], 10.0f);
    driver.PostKey(VK_LEFT);
    driver.PostKey(VK_LEFT);
    ASSERT_TRUE(driver.RunFrame());
    ASSERT_EQ(driver.CurrentPart(), 5);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + kFrames));
    const std::vector<uint8_t> secondVisit = Frame(driver);
    SaveSurfacePng("ball_floor_after_lattice");

    // The same frame once more with the glow's picture black: no glow.
    const TextureId glowPicture = glow->texture;
    glow->texture = assets.black;
    driver.PostKey(VK_LEFT);
    driver.PostKey(VK_RIGHT);
    ASSERT_TRUE(driver.RunFrame());
    ASSERT_EQ(driver.CurrentPart(), 5);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + kFrames));
    const std::vector<uint8_t> noGlow = Frame(driver);
    glow->texture = glowPicture;
    assets.musicPlayer = music;

    // Where the glow should be at clock 600: the scene's camera and the
    // translation to the glow's circle, plus the billboard's own position.
    const float tf = 600.0f;
    const float w = tf * 0.006666667f;
    GLdouble model[16], proj[16];
    GLint view[4] = {0, 0, kW, kH};
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(45.0, double(1.33f), 1.0, 2000.0);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(250.0f * cosf(w), 80.0f * cosf(w) + 80.0f, 150.0f * sinf(w), 0, 0, 0, 0, 1, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glPopMatrix();
    const double gx = 50.0f * cosf(tf * 0.02f), gz = 50.0f * sinf(tf * 0.02f);
    GLdouble ax, ay, az, bx, by, bz;
    gluProject(gx, 50.0, gz, model, proj, view, &ax, &ay, &az);
    gluProject(gx + 10.0, 60.0, gz + 10.0, model, proj, view, &bx, &by, &bz);

    const Footprint big = Brightening(firstVisit, noGlow);
    const Footprint small = Brightening(secondVisit, noGlow);
    EXPECT_GT(small.area, 20);
    EXPECT_GT(big.area, 8 * small.area);  // edge 40 against 6
    EXPECT_NEAR(big.x, ax, 12.0);
    EXPECT_NEAR(big.y, ay, 12.0);
    EXPECT_NEAR(small.x, bx, 6.0);
    EXPECT_NEAR(small.y, by, 6.0);
    EXPECT_GT(std::hypot(small.x - big.x, small.y - big.y), 15.0);
}

TEST_F(SceneFrames, SpiralPhaseResumesOnTheNextVisit) {
    FreshRun();
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    StepToPart(driver, 3);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 9));
    EXPECT_NEAR(spiralPhase, 0.5f, 1e-5);  // ten frames of part 3
    StepToPart(driver, 4);
    ASSERT_TRUE(driver.RunUntil(driver.FrameIndex() + 5));
    driver.PostKey(VK_LEFT);
    ASSERT_TRUE(driver.RunFrame());
    ASSERT_EQ(driver.CurrentPart(), 3);
    EXPECT_NEAR(spiralPhase, 0.55f, 1e-5);
}
