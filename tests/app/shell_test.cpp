// The window procedure, the exits and the frame loop, on a headless context.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "app/shell.h"
#include "tests/support/gl_test.h"

namespace {

uint32_t g_now = 0;
uint32_t FakeTicks() { return g_now; }
int g_frames = 0;
void CountFrame() { ++g_frames; }

class ShellTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        Sys_ResetWindowing();
        Sys_SetTickSource(FakeTicks);
        Sys_SetFrameHook(CountFrame);
        g_now = 1000;
        g_frames = 0;
        app = AppState{};
        ASSERT_TRUE(Sys_RegisterClass("Application", MainWindowProc));
        window = Sys_CreateWindow("Application", "Demo v0.17", WindowStyle::Overlapped, 0, 0, 640, 480);
        ASSERT_NE(window, 0u);
        app.mainWindow = window;
    }
    void TearDown() override {
        Sys_SetTickSource(nullptr);
        Sys_SetFrameHook(nullptr);
        Sys_ResetWindowing();
    }
    LRESULT Key(uint32_t vk) { return MainWindowProc(window, WM_KEYDOWN, vk, 0); }
    HWND window = 0;
};

TEST_F(ShellTest, LeftAndRightStepThePartAndRestartItsClock) {
    app.currentPart = 1;
    app.partStartTime = 5;
    glClearColor(0.7f, 0.7f, 0.7f, 1);
    g_now = 4242;
    EXPECT_EQ(Key(VK_LEFT), 0);
    EXPECT_EQ(app.currentPart, 1);  // stays at 1, but starts again
    EXPECT_EQ(app.partStartTime, 4242u);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.0f);  // render state applied again

    g_now = 5000;
    for (int part = 2; part <= 8; ++part) {
        Key(VK_RIGHT);
        EXPECT_EQ(app.currentPart, part);
    }
    EXPECT_EQ(app.partStartTime, 5000u);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[2], 0.3f);  // part 8's dark blue
    Key(VK_LEFT);
    EXPECT_EQ(app.currentPart, 7);
}

TEST_F(ShellTest, OtherKeysAreSwallowed) {
    app.currentPart = 3;
    app.partStartTime = 77;
    for (uint32_t vk : {uint32_t(VK_UP), uint32_t(VK_SPACE), uint32_t('A'), uint32_t(VK_OTHER)}) {
        EXPECT_EQ(Key(vk), 0);
        EXPECT_EQ(app.currentPart, 3);
        EXPECT_EQ(app.partStartTime, 77u);
    }
}

TEST_F(ShellTest, SizeSetsTheViewportAndPostsAPaint) {
    MainWindowProc(window, WM_SIZE, 0, LPARAM(320 | (200 << 16)));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 200);
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
    // Parts 6 to 8: the frame drawn at the end is part 8's, which needs no
    // effect objects (none are made here).
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

TEST(DemoOptions, AnswerTheQuestionOrSetTheScaleOrAreRefused) {
    const struct {
        std::vector<const char*> args;
        OptionsVerdict verdict;
        int answer, scale;
    } table[] = {
        {{}, OptionsVerdict::Run, 0, 0},
        {{"--fullscreen", "--scale", "2"}, OptionsVerdict::Run, IDYES, 2},
        {{"--scale", "4", "--window", "--window"}, OptionsVerdict::Run, IDNO, 4},
        {{"--window", "--help"}, OptionsVerdict::Help, IDNO, 0},
        {{"--bogus", "--help"}, OptionsVerdict::Bad, 0, 0},
        {{"--window", "--fullscreen"}, OptionsVerdict::Bad, 0, 0},
        {{"--scale"}, OptionsVerdict::Bad, 0, 0},
        {{"--scale", "0"}, OptionsVerdict::Bad, 0, 0},
        {{"--scale", "5"}, OptionsVerdict::Bad, 0, 0},
        {{"--scale", "22"}, OptionsVerdict::Bad, 0, 0},
        {{"window"}, OptionsVerdict::Bad, 0, 0},
    };
    for (const auto& t : table) {
        std::vector<const char*> argv = {"demo"};
        argv.insert(argv.end(), t.args.begin(), t.args.end());
        std::string said;
        for (const char* a : t.args) said += std::string(" ") + a;
        DemoOptions options;
        std::string error;
        EXPECT_EQ(ParseOptions(int(argv.size()), argv.data(), &options, &error), t.verdict) << said;
        EXPECT_EQ(error.empty(), t.verdict != OptionsVerdict::Bad) << said;
        if (t.verdict == OptionsVerdict::Bad) continue;
        EXPECT_EQ(options.answer, t.answer) << said;
        EXPECT_EQ(options.scale, t.scale) << said;
    }
}

TEST_F(ShellTest, ThePartClockSurvivesAWrapOfTheTickCount) {
    EXPECT_EQ(PartClock(1000, 1000), 0);
    EXPECT_EQ(PartClock(1004, 1000), 0);
    EXPECT_EQ(PartClock(1005, 1000), 1);
    EXPECT_EQ(PartClock(6000, 1000), 1000);
    // 0xFFFFFFF6 is 10 ms before the wrap: 40 ms later the count reads 30.
    EXPECT_EQ(PartClock(30u, 0xFFFFFFF6u), 8);
}

}  // namespace
