// The application headless: each part's base state, the window procedure,
// exits, frame loop and options, and the frame driver (part changes at the
// sync times: scenes/scene_reference_test.cpp).
#include <GL/gl.h>
#include <GL/glu.h>

#include <string>
#include <vector>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "app/render_state.h"
#include "app/shell.h"
#include "fx/random.h"
#include "platform/platform.h"
#include "tests/support/gl_test.h"
#include "tests/support/hooks.h"

namespace {

// The first n values of a GL state, read as floats.
std::vector<float> Get(GLenum name, int n = 1) {
    GLfloat v[16] = {};
    glGetFloatv(name, v);
    return std::vector<float>(v, v + n);
}

std::vector<float> Light0(GLenum name) {
    GLfloat v[4];
    glGetLightfv(GL_LIGHT0, name, v);
    return std::vector<float>(v, v + 4);
}

class RenderStateTest : public GLTest {};

// Each set-up on what a scene may leave (a moved modelview, another light,
// wireframe); part 7 after part 6 keeps what set-up C turned on.
TEST_F(RenderStateTest, EachSetUpGivesItsValues) {
    const struct {
        int part, after;
        std::vector<float> clear;
        GLint shade;
        double fovy, zFar;
        std::vector<float> light;  // eye coordinates
        bool normalize, sphereMap;
    } table[] = {
        {1, 0, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {2, 0, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {3, 0, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {7, 0, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {4, 0, {0, 0, 0, 1}, GL_SMOOTH, 45, 2000, {0, 150, 0, 1}, true, true},
        {5, 0, {0, 0, 0, 1}, GL_SMOOTH, 45, 2000, {0, 150, 0, 1}, true, true},
        {6, 0, {0, 0, 0, 1}, GL_FLAT, 45, 200, {0, 0, 30, 1}, true, true},
        {8, 0, {0.1f, 0.2f, 0.3f, 1}, GL_SMOOTH, 90, 110, {0, 0, 30, 1}, false, true},
        {7, 6, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, true, true},
    };
    for (const auto& e : table) {
        SCOPED_TRACE("part " + std::to_string(e.part) + " after " + std::to_string(e.after));
        ResetGLState();
        glTranslatef(1, 2, 3);
        glEnable(GL_LIGHT3);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        if (e.after) ApplyPartRenderState(e.after);
        ApplyPartRenderState(e.part);
        EXPECT_EQ(Get(GL_COLOR_CLEAR_VALUE, 4), e.clear);
        EXPECT_EQ(Get(GL_SHADE_MODEL), std::vector<float>{float(e.shade)});
        // Loaded, not pushed (the stack would overflow after 32 part changes),
        // with the aspect the float 1.33, not 4/3.
        EXPECT_EQ(Get(GL_PROJECTION_STACK_DEPTH), std::vector<float>{1});
        const std::vector<float> projection = Get(GL_PROJECTION_MATRIX, 16);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(e.fovy, double(1.33f), 1.0, e.zFar);
        const std::vector<float> expected = Get(GL_PROJECTION_MATRIX, 16);
        glMatrixMode(GL_MODELVIEW);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(projection[i], expected[i], 1e-5f) << i;
        EXPECT_EQ(Get(GL_VIEWPORT, 4), std::vector<float>({0, 0, 640, 480}));
        EXPECT_EQ(Get(GL_MATRIX_MODE), std::vector<float>{GL_MODELVIEW});
        EXPECT_EQ(Get(GL_MODELVIEW_MATRIX, 16), std::vector<float>({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
        EXPECT_EQ(Light0(GL_POSITION), e.light);
        EXPECT_EQ(Light0(GL_DIFFUSE), std::vector<float>(4, 1));
        EXPECT_EQ(Light0(GL_SPECULAR), std::vector<float>(4, 1));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_LIGHT0) && glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
        GLfloat front[4], back[4], specular[4], shininess = 0;
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, front);
        glGetMaterialfv(GL_BACK, GL_AMBIENT, back);
        glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
        EXPECT_EQ(std::vector<float>({front[0], front[3], back[0], specular[0], shininess}),
                  std::vector<float>({0, 1, 0, 1, 25}));
        EXPECT_EQ(bool(glIsEnabled(GL_NORMALIZE)), e.normalize);
        GLint gen[2] = {0, 0};
        glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &gen[0]);
        glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &gen[1]);
        EXPECT_EQ(std::vector<GLint>(gen, gen + 2), std::vector<GLint>(2, e.sphereMap ? GL_SPHERE_MAP : GL_EYE_LINEAR));
        EXPECT_EQ(Get(GL_POLYGON_MODE), std::vector<float>{float(e.part == 8 ? GL_FILL : GL_LINE)});  // only D sets it
    }
    for (int part : {0, 9, -3}) {  // outside 1 to 8 the lights go off, nothing else changes
        ResetGLState();
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glEnable(GL_LIGHT0), glEnable(GL_LIGHT7), glMatrixMode(GL_PROJECTION);
        ApplyPartRenderState(part);
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0) || glIsEnabled(GL_LIGHT7) || glIsEnabled(GL_DEPTH_TEST)) << part;
        EXPECT_EQ(Get(GL_MATRIX_MODE), std::vector<float>{GL_PROJECTION}) << part;
        EXPECT_EQ(Get(GL_COLOR_CLEAR_VALUE), std::vector<float>{0.5f}) << part;
        glMatrixMode(GL_MODELVIEW);
    }
}

// Wireframe lines as the scenes draw them are N pixels wide at scale N.
TEST_F(RenderStateTest, WireframeLinesAreAsWideAsTheScale) {
    for (int scale = 1; scale <= 4; ++scale) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ASSERT_TRUE(Sys_SetSurfaceScale(scale));
        ApplyPartRenderState(6);
        glDisable(GL_LIGHTING);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 640, 0, 480, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glRectf(100.5f, 100.5f, 300.5f, 200.5f);
        const std::vector<uint8_t> rgb = ReadSurface();
        const size_t w = 640 * scale;
        int column = 0, row = 0;  // lit pixels up column x = 200, along row y = 150
        for (size_t y = 0; y < 480u * scale; ++y) column += rgb[(y * w + 200 * scale) * 3] > 128;
        for (size_t x = 0; x < w; ++x) row += rgb[(150 * scale * w + x) * 3] > 128;
        EXPECT_EQ(column, 2 * scale);  // the bottom and top edges
        EXPECT_EQ(row, 2 * scale);     // the left and right edges
    }
    ASSERT_TRUE(Sys_SetSurfaceScale(1));
}

// The largest whole scale that fits, at most 4; 1 on a software renderer;
// the one asked for, if any.
TEST(FullScreenScale, FitsTheScreenUnlessAsked) {
    const struct {
        int width, height, requested;
        bool software;
        int scale;
    } table[] = {
        {1920, 1080, 0, false, 2}, {2560, 1440, 0, false, 3}, {3840, 2160, 0, false, 4},
        {7680, 4320, 0, false, 4}, {1280, 1024, 0, false, 2}, {1024, 768, 0, false, 1},
        {640, 400, 0, false, 1},   {3840, 2160, 0, true, 1},  {1024, 768, 3, false, 3},
        {1920, 1080, 2, true, 2},
    };
    for (const auto& t : table)
        EXPECT_EQ(Sys_FullScreenScale(t.width, t.height, t.requested, t.software), t.scale)
            << t.width << " x " << t.height << ", asked " << t.requested << ", software " << t.software;
}


int g_frames = 0;

class ShellTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        Sys_ResetWindowing();
        Sys_SetFrameHook([] { ++g_frames; });
        g_frames = 0;
        app = AppState{};
        ASSERT_TRUE(Sys_RegisterClass("Application", MainWindowProc));
        window = Sys_CreateWindow("Application", "Demo v0.17", WindowStyle::Overlapped, 0, 0, 640, 480);
        ASSERT_NE(window, 0u);
        app.mainWindow = window;
    }
    void TearDown() override {
        Sys_SetFrameHook(nullptr);
        Sys_ResetWindowing();
    }
    LRESULT Key(uint32_t vk) { return MainWindowProc(window, WM_KEYDOWN, vk, 0); }
    FakeClock clock{1000};
    HWND window = 0;
};

TEST_F(ShellTest, LeftAndRightStepThePartAndRestartItsClock) {
    // Left at part 1 starts it again (clock and render state), Right steps
    // to 8, Left back to 7; every other key is swallowed and changes nothing.
    app.currentPart = 1, app.partStartTime = 5;
    glClearColor(0.7f, 0.7f, 0.7f, 1);
    const struct { uint32_t now, vk; int part; uint32_t start; float clearBlue; } keys[] = {
        {4242, VK_LEFT, 1, 4242, 0}, {5000, VK_RIGHT, 2, 5000, 0}, {5001, VK_RIGHT, 3, 5001, 0},
        {5002, VK_RIGHT, 4, 5002, 0}, {5003, VK_RIGHT, 5, 5003, 0}, {5004, VK_RIGHT, 6, 5004, 0},
        {5005, VK_RIGHT, 7, 5005, 0}, {5006, VK_RIGHT, 8, 5006, 0.3f}, {5007, VK_LEFT, 7, 5007, 0},
        {6000, VK_UP, 7, 5007, 0}, {6000, VK_SPACE, 7, 5007, 0}, {6000, 'A', 7, 5007, 0}, {6000, VK_OTHER, 7, 5007, 0},
    };
    for (const auto& k : keys) {
        FakeClock::now = k.now;
        EXPECT_EQ(Key(k.vk), 0);
        EXPECT_EQ(std::vector<uint32_t>({uint32_t(app.currentPart), app.partStartTime}), std::vector<uint32_t>({uint32_t(k.part), k.start})) << k.vk;
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_FLOAT_EQ(clear[2], k.clearBlue) << k.vk;  // the render state applied again
    }
    // The part clock counts 5 ms units, also across a wrap of the tick count
    // (0xFFFFFFF6 is 10 ms before it: 40 ms later the count reads 30).
    EXPECT_EQ(PartClock(1004, 1000), 0);
    EXPECT_EQ(PartClock(1005, 1000), 1);
    EXPECT_EQ(PartClock(6000, 1000), 1000);
    EXPECT_EQ(PartClock(30u, 0xFFFFFFF6u), 8);
}

TEST_F(ShellTest, SizeSetsTheViewportAndPostsAPaint) {
    MainWindowProc(window, WM_SIZE, 0, LPARAM(320 | (200 << 16)));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport + 2, viewport + 4), std::vector<GLint>({320, 200}));
    MSG msg;
    ASSERT_TRUE(Sys_PeekMessage(&msg));
    EXPECT_EQ(msg.message, WM_PAINT);
    EXPECT_EQ(msg.window, window);
}

using ShellDeathTest = ShellTest;

TEST_F(ShellDeathTest, EveryWayOutEndsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    app.currentPart = 8;
    EXPECT_EXIT(Key(VK_RIGHT), ::testing::ExitedWithCode(1), "");
    app.currentPart = 4;
    EXPECT_EXIT(Key(VK_ESCAPE), ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(MainWindowProc(window, WM_DESTROY, 0, 0), ::testing::ExitedWithCode(1), "");
    // Closing goes through the default handling to WM_DESTROY.
    EXPECT_EXIT(MainWindowProc(window, WM_CLOSE, 0, 0), ::testing::ExitedWithCode(1), "");
}

TEST_F(ShellTest, MessagesAreDrainedBeforeAFrameIsDrawn) {
    // Parts 6 to 8: the frame drawn is part 8's, which needs no effect objects.
    app.currentPart = 6;
    Sys_PostMessage(window, WM_KEYDOWN, VK_RIGHT, 0);
    Sys_PostQuitMessage(0);  // dispatched like any other, ends nothing
    Sys_PostMessage(window, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_FALSE(RunFramePass());
    EXPECT_EQ(app.currentPart, 7);
    EXPECT_FALSE(RunFramePass());
    EXPECT_FALSE(RunFramePass());
    EXPECT_EQ(app.currentPart, 8);
    EXPECT_EQ(g_frames, 0);
    EXPECT_TRUE(RunFramePass());
    EXPECT_EQ(g_frames, 1);
}

// The options answer the question or set the scale; anything else is refused.
TEST(DemoOptions, AnswerTheQuestionOrSetTheScaleOrAreRefused) {
    using V = OptionsVerdict;
    const struct {
        std::vector<const char*> args;
        OptionsVerdict verdict;
        int answer, scale;
    } table[] = {
        {{}, V::Run, 0, 0}, {{"--fullscreen", "--scale", "2"}, V::Run, IDYES, 2},
        {{"--scale", "4", "--window", "--window"}, V::Run, IDNO, 4}, {{"--window", "--help"}, V::Help, IDNO, 0},
        {{"--bogus", "--help"}, V::Bad, 0, 0}, {{"--window", "--fullscreen"}, V::Bad, 0, 0}, {{"--scale"}, V::Bad, 0, 0},
        {{"--scale", "0"}, V::Bad, 0, 0}, {{"--scale", "5"}, V::Bad, 0, 0}, {{"--scale", "22"}, V::Bad, 0, 0}, {{"window"}, V::Bad, 0, 0},
    };
    for (const auto& t : table) {
        std::vector<const char*> argv = {"demo"};
        argv.insert(argv.end(), t.args.begin(), t.args.end());
        std::string said;
        for (const char* a : t.args) said += std::string(" ") + a;
        DemoOptions options;
        std::string error;
        EXPECT_EQ(ParseOptions(int(argv.size()), argv.data(), &options, &error), t.verdict) << said;
        EXPECT_EQ(error.empty(), t.verdict != V::Bad) << said;
        if (t.verdict != V::Bad) {
            EXPECT_EQ(std::vector<int>({options.answer, options.scale}), std::vector<int>({t.answer, t.scale})) << said;
        }
    }
}

// The usage and the errors name the program as it was started; a box's
// caption takes the file name alone, whichever slashes the system writes.
TEST(DemoOptions, TheUsageNamesTheProgramAsItWasStarted) {
    const char* const installed[] = {"/usr/games/demo017", "--bogus"};
    const char* const nameless[] = {"", "--help"};
    EXPECT_EQ(ProgramName(2, installed), "/usr/games/demo017");
    EXPECT_EQ(ProgramName(2, nameless), "demo");
    EXPECT_EQ(ProgramName(0, nullptr), "demo");
    EXPECT_EQ(DemoUsage("build/demo").substr(0, 36), "usage: build/demo [--fullscreen | --");
    EXPECT_EQ(ProgramFileName("/usr/games/demo017"), "demo017");
    EXPECT_EQ(ProgramFileName("C:\\Games\\Demo v0.17\\demo.exe"), "demo.exe");
    EXPECT_EQ(ProgramFileName("demo.exe"), "demo.exe");
    EXPECT_EQ(ProgramFileName("odd/"), "demo");
}

TEST(FrameDriverClock, FrameNIsDrawnAtNTimesThePeriod) {
    FrameDriver at60(60), at25(25), at7(7);
    EXPECT_EQ(at60.TickOfFrame(1), 16u);
    EXPECT_EQ(at60.TickOfFrame(498), 8300u);
    EXPECT_EQ(at25.TickOfFrame(250), 10000u);
    EXPECT_EQ(at60.TickOfFrame(60 * 3600 * 100), 360000000u);  // a 64-bit product
    EXPECT_EQ(at60.FrameAtSeconds(8.3), 498);
    // The first frame at or after the time.
    for (FrameDriver* d : {&at60, &at25, &at7})
        for (double s : {0.0, 0.001, 0.016, 0.017, 1.0, 8.3, 16.6, 50.1, 65.6}) {
            const int64_t n = d->FrameAtSeconds(s);
            EXPECT_GE(d->SecondsOfFrame(n) + 1e-9, s) << d->Fps() << " fps, " << s << " s";
            if (n > 0) {
                EXPECT_LT(d->SecondsOfFrame(n - 1), s) << d->Fps() << " fps, " << s << " s";
            }
        }
}

class FrameDriverTest : public GLTest {};

TEST_F(FrameDriverTest, StartsAtTickZeroStepsOnKeysAndEndsPastPartEight) {
    FrameDriver driver(50);
    ASSERT_TRUE(driver.Start());
    EXPECT_EQ(driver.CurrentPart(), 1);
    EXPECT_EQ(Sys_GetTickCount(), 0u);  // start-up runs at tick 0
    EXPECT_EQ(app.partStartTime, 0u);
    for (const std::string& m : driver.Messages())  // the question was answered without a box
        EXPECT_EQ(m.find("Fullscreen"), std::string::npos) << m;
    EXPECT_FALSE(app.fullscreen);
    std::vector<uint8_t> first, rgb;
    EXPECT_FALSE(driver.ReadFrame(&first));  // nothing drawn yet
    ASSERT_TRUE(driver.RunUntil(10));
    EXPECT_EQ(Sys_GetTickCount(), 180u);  // frame 9 at 9 x 20 ms
    EXPECT_EQ(PartClock(Sys_GetTickCount(), app.partStartTime), 36);
    ASSERT_TRUE(driver.ReadFrame(&first));
    EXPECT_EQ(first.size(), size_t(640 * 480 * 3));
    // A key is handled before the next frame, drawn at the part's clock 0.
    for (int part = 2; part <= 8; ++part) {
        driver.PostKey(VK_RIGHT);
        const int64_t n = driver.FrameIndex();
        ASSERT_TRUE(driver.RunFrame());
        EXPECT_EQ(driver.CurrentPart(), part);
        EXPECT_EQ(app.partStartTime, driver.TickOfFrame(n));
        ASSERT_TRUE(driver.RunUntil(n + 3));
    }
    ASSERT_TRUE(driver.ReadFrame(&rgb));  // the newest frame: part 8's
    EXPECT_NE(rgb, first);
    // The step past part 8 ends the demo: no frame, status 1; it stays ended.
    const int64_t last = driver.FrameIndex();
    driver.PostKey(VK_RIGHT);
    EXPECT_FALSE(driver.RunFrame());
    EXPECT_TRUE(driver.Ended());
    EXPECT_EQ(driver.ExitStatus(), 1);
    EXPECT_EQ(driver.FrameIndex(), last);
    EXPECT_FALSE(driver.RunUntil(last + 10));
}

TEST_F(FrameDriverTest, OneAtATimeAndEscapeGivesTheClockBack) {
    {
        FrameDriver driver(30), second(30);
        ASSERT_TRUE(driver.Start());
        EXPECT_FALSE(second.Start());
        EXPECT_FALSE(second.RunFrame());
        ASSERT_TRUE(driver.RunUntil(2));
        driver.PostKey(VK_ESCAPE);
        EXPECT_FALSE(driver.RunFrame());
        EXPECT_TRUE(driver.Ended());
        EXPECT_EQ(driver.ExitStatus(), 1);
    }
    // The real clock again: it keeps moving.
    const uint32_t a = Sys_GetTickCount();
    uint32_t b = a;
    for (int i = 0; i < 1000000 && b == a; ++i) b = Sys_GetTickCount();
    EXPECT_NE(a, b);
}

TEST_F(FrameDriverTest, ALaterRunStartsFromAFreshSurfaceAndState) {
    uint32_t randomAfterStartUp = 0;
    {
        FrameDriver driver(60);
        ASSERT_TRUE(driver.Start());
        randomAfterStartUp = DemoRandState();
        for (int i = 0; i < 5; ++i) DemoRand();
        for (int i = 0; i < 7; ++i) driver.PostKey(VK_RIGHT);
        ASSERT_TRUE(driver.RunUntil(3));
        ASSERT_EQ(driver.CurrentPart(), 8);
        // Leave some state behind that no part sets.
        glEnable(GL_BLEND);
        glColor3f(0.5f, 0.25f, 0.125f);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glTranslatef(3, 4, 5);
    }
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(Get(GL_MODELVIEW_STACK_DEPTH), std::vector<float>{1});
    EXPECT_EQ(Get(GL_CURRENT_COLOR, 4), std::vector<float>(4, 1));
    EXPECT_EQ(driver.CurrentPart(), 1);
    EXPECT_EQ(DemoRandState(), randomAfterStartUp);  // the sequence began again
    EXPECT_EQ(PixelAt(320, 240).b, 0);  // the old part-8 picture is gone
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
