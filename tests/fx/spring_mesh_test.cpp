// The spring grid: layout, forces, simulation steps and its lit surface.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "fx/spring_mesh.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

constexpr int kNodes = 51 * 51, kCentre = 25 * 51 + 25;

float MaxDeviationFromRest(const SpringMesh& m) {
    float worst = 0;
    for (int i = 0; i < kNodes; ++i) worst = std::fmax(worst, Length(m.nodePositions[i] - m.restPositions[i]));
    return worst;
}

std::vector<float> Xyz(const Vec4& v) { return {v.x, v.y, v.z}; }

TEST(SpringMeshTest, BuildLaysOutAFlatGridAroundTheCentre) {
    SpringMesh m;
    m.columns = 4, m.rows = 2, m.spacing = 0.5f, m.centre = Vec4{10, 3, -1, 0};
    m.Build();
    // Row stride is columns + 1; x grows with the column, z with the row.
    EXPECT_EQ(Xyz(m.nodePositions[0]), std::vector<float>({9, 3, -1.5f}));
    EXPECT_EQ(Xyz(m.nodePositions[5]), std::vector<float>({9, 3, -1}));
    EXPECT_EQ(Xyz(m.nodePositions[14]), std::vector<float>({11, 3, -0.5f}));
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(m.nodeModes[i], SpringMesh::Free);
        EXPECT_EQ(std::memcmp(&m.nodePositions[i], &m.restPositions[i], sizeof(Vec4)), 0);
    }
    SpringMesh demo;  // as the demo sets it up
    StartUpMesh(demo);
    for (const auto& [i, x, z] : {std::tuple{0, -12.5f, -12.5f}, {2401, -10.5f, 11.0f}, {2352, -9.5f, 10.5f},
                                  {49, 12.0f, -12.5f}, {kNodes - 1, 12.5f, 12.5f}}) {
        EXPECT_EQ(demo.nodeModes[i], i == kNodes - 1 ? SpringMesh::Free : SpringMesh::Pinned) << i;
        EXPECT_EQ(Xyz(demo.nodePositions[i]), std::vector<float>({x, 0, z})) << i;
    }
}

// Stretched to 2: pulled toward q by 1.5; squeezed to 0.25: pushed away; w
// plays no part in a length; coinciding points: no force rather than NaN.
TEST(SpringMeshTest, ForcesOnSpringsAndAnchors) {
    SpringMesh m;
    m.spacing = 0.5f;
    const Vec4 o{0, 0, 0, 0};
    EXPECT_EQ(Xyz(m.SpringForce(o, Vec4{2, 0, 0, 0})), std::vector<float>({1.5f, 0, 0}));
    EXPECT_EQ(Xyz(m.SpringForce(o, Vec4{0, 0, 0.25f, 0})), std::vector<float>({0, 0, -0.25f}));
    EXPECT_EQ(Xyz(m.SpringForce(o, Vec4{0, 0.5f, 0, 0})), std::vector<float>({0, 0, 0}));
    EXPECT_NEAR(m.SpringForce(o, Vec4{0, 0.3f, 0.4f, 9}).z, 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(m.SpringForce(o, Vec4{0, 0, 1.5f, 0}).z, 1.0f);
    EXPECT_EQ(Xyz(m.SpringForce(Vec4{1, 1, 1, 0}, Vec4{1, 1, 1, 0})), std::vector<float>({0, 0, 0}));
    EXPECT_EQ(Xyz(m.AnchorForce(Vec4{1, 2, 3, 0}, Vec4{1, 2, 3, 0})), std::vector<float>({0, 0, 0}));
    EXPECT_EQ(Xyz(m.AnchorForce(o, Vec4{0, -3, 4, 0})), std::vector<float>({0, -3, 4}));
}

TEST(SpringMeshTest, OnlyFreeNodesMoveAndAMeshAtRestStaysExactlyThere) {
    SpringMesh m;
    StartUpMesh(m);
    m.SetNode(2401, 0, -100, 0, 0);  // a force on a pinned node
    for (int s = 0; s < 50; ++s) m.Step();
    for (int i = 0; i < kNodes; ++i) {
        ASSERT_EQ(std::memcmp(&m.nodePositions[i], &m.restPositions[i], sizeof(Vec4)), 0) << i;
        ASSERT_EQ(Length(m.nodeVelocities[i]), 0.0f) << i;
    }
    // Gravity joins the velocity before the damping, on free nodes only.
    m.gravity = Vec4{0, -0.01f, 0, 0};
    m.Step();
    EXPECT_FLOAT_EQ(m.nodePositions[1].y, -0.01f * 0.85f);
    EXPECT_EQ(m.nodePositions[0].y, 0.0f);
    EXPECT_EQ(m.nodePositions[49].y, 0.0f);
}

TEST(SpringMeshTest, PushedNodeDragsItsNeighboursAndTheMeshSettlesBack) {
    SpringMesh m;
    StartUpMesh(m);
    m.SetNode(kCentre, 0, -100, 0, 0);
    m.Step();
    // 0.05 x -100 on a node at rest; the neighbours saw the old positions.
    EXPECT_FLOAT_EQ(m.nodePositions[kCentre].y, -5.0f);
    EXPECT_EQ(m.nodePositions[kCentre + 1].y, 0.0f);
    EXPECT_EQ(m.nodePositions[kCentre + 51].y, 0.0f);
    m.Step();
    EXPECT_LT(m.nodePositions[kCentre].y, -5.0f);
    for (int nb : {kCentre - 1, kCentre + 1, kCentre - 51, kCentre + 51}) EXPECT_LT(m.nodePositions[nb].y, 0.0f) << nb;
    EXPECT_EQ(m.nodePositions[kCentre + 2].y, 0.0f);  // two apart: not yet
    for (int s = 0; s < 30; ++s) m.Step();
    EXPECT_LT(m.nodePositions[kCentre + 5].y, 0.0f);
    m.SetNode(kCentre, 0, 0, 0, 0);
    for (int s = 0; s < 300; ++s) m.Step();
    EXPECT_LT(MaxDeviationFromRest(m), 1e-3f);
}

// Seen from straight above, lit by a white light from +y, the flat mesh is
// one even colour: every normal, the last column's too, faces up. (Its
// texture and the mesh in motion show in part 6 of the reference frames.)
TEST(SpringMeshDrawTest, AFlatMeshIsLitEvenlyFromAbove) {
    ASSERT_TRUE(MakeHeadlessGL());
    ResetGLState();
    SpringMesh m;
    StartUpMesh(m);
    glMatrixMode(GL_PROJECTION);
    glOrtho(-12.5, 12.5, -12.5, 12.5, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glRotatef(90, 1, 0, 0);
    const GLfloat up[4] = {0, 1, 0, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, up);
    glEnable(GL_LIGHTING), glEnable(GL_LIGHT0);
    m.Draw();
    const std::vector<uint8_t> rgb = ReadSurface();
    EXPECT_GT(*std::min_element(rgb.begin(), rgb.end()), 150);
    EXPECT_EQ(*std::min_element(rgb.begin(), rgb.end()), *std::max_element(rgb.begin(), rgb.end()));
    SpringMesh none;  // no rows: nothing drawn, nothing divided by zero
    none.columns = 10, none.rows = 0, none.spacing = 1;
    none.Build();
    none.Step();
    glClear(GL_COLOR_BUFFER_BIT);
    none.Draw();
    const std::vector<uint8_t> after = ReadSurface();
    EXPECT_EQ(*std::max_element(after.begin(), after.end()), 0);
    EXPECT_FLOAT_EQ(none.nodePositions[10].x, 5.0f);  // one row of 11 nodes
}

}  // namespace
