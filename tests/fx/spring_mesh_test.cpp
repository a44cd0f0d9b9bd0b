// The spring grid: layout, simulation steps and the geometry it sends.
#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fx/spring_mesh.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

constexpr int kNodes = 51 * 51;

float MaxDeviationFromRest(const SpringMesh& m) {
    float worst = 0;
    for (int i = 0; i < kNodes; ++i) {
        worst = std::fmax(worst, Length(m.nodePositions[i] - m.restPositions[i]));
    }
    return worst;
}

TEST(SpringMeshTest, BuildLaysOutAFlatGridAroundTheCentre) {
    SpringMesh m;
    m.columns = 4;
    m.rows = 2;
    m.spacing = 0.5f;
    m.centre = Vec4{10, 3, -1, 0};
    m.Build();
    // Row stride is columns + 1; x grows with the column, z with the row.
    const Vec4 first = m.nodePositions[0], last = m.nodePositions[14];
    EXPECT_FLOAT_EQ(first.x, 9.0f);
    EXPECT_FLOAT_EQ(first.y, 3.0f);
    EXPECT_FLOAT_EQ(first.z, -1.5f);
    EXPECT_FLOAT_EQ(last.x, 11.0f);
    EXPECT_FLOAT_EQ(last.z, -0.5f);
    EXPECT_FLOAT_EQ(m.nodePositions[5].x, 9.0f);  // row 1, column 0
    EXPECT_FLOAT_EQ(m.nodePositions[5].z, -1.0f);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(m.nodeModes[i], SpringMesh::Free);
        EXPECT_EQ(std::memcmp(&m.nodePositions[i], &m.restPositions[i], sizeof(Vec4)), 0);
    }
}

TEST(SpringMeshTest, StartUpPinsSitWhereExpected) {
    SpringMesh m;
    StartUpMesh(m);
    const struct { int i; float x, z; } pins[] = {
        {0, -12.5f, -12.5f}, {2401, -10.5f, 11.0f}, {2352, -9.5f, 10.5f}, {49, 12.0f, -12.5f}};
    for (const auto& p : pins) {
        EXPECT_EQ(m.nodeModes[p.i], SpringMesh::Pinned);
        EXPECT_FLOAT_EQ(m.nodePositions[p.i].x, p.x);
        EXPECT_FLOAT_EQ(m.nodePositions[p.i].z, p.z);
    }
    EXPECT_FLOAT_EQ(m.nodePositions[kNodes - 1].x, 12.5f);
    EXPECT_FLOAT_EQ(m.nodePositions[kNodes - 1].z, 12.5f);
}

TEST(SpringMeshTest, MeshAtRestStaysExactlyAtRest) {
    SpringMesh m;
    StartUpMesh(m);
    for (int s = 0; s < 200; ++s) m.Step();
    for (int i = 0; i < kNodes; ++i) {
        ASSERT_EQ(std::memcmp(&m.nodePositions[i], &m.restPositions[i], sizeof(Vec4)), 0) << i;
        ASSERT_EQ(m.nodeVelocities[i].x, 0.0f);
        ASSERT_EQ(m.nodeVelocities[i].y, 0.0f);
        ASSERT_EQ(m.nodeVelocities[i].z, 0.0f);
    }
}

TEST(SpringMeshTest, ForceOnAPinnedNodeDoesNothing) {
    SpringMesh m;
    StartUpMesh(m);
    m.SetNode(2401, 0, -100, 0, 0);
    for (int s = 0; s < 20; ++s) m.Step();
    EXPECT_EQ(MaxDeviationFromRest(m), 0.0f);
}

TEST(SpringMeshTest, PushedNodeDragsItsNeighboursAndTheMeshSettlesBack) {
    SpringMesh m;
    StartUpMesh(m);
    const int centre = 25 * 51 + 25;
    m.SetNode(centre, 0, -100, 0, 0);
    m.Step();
    // 0.05 x -100 on a node at rest; the neighbours saw the old positions.
    EXPECT_FLOAT_EQ(m.nodePositions[centre].y, -5.0f);
    EXPECT_EQ(m.nodePositions[centre + 1].y, 0.0f);
    EXPECT_EQ(m.nodePositions[centre + 51].y, 0.0f);
    m.Step();
    EXPECT_LT(m.nodePositions[centre].y, -5.0f);
    for (int nb : {centre - 1, centre + 1, centre - 51, centre + 51}) {
        EXPECT_LT(m.nodePositions[nb].y, 0.0f) << nb;
    }
    EXPECT_EQ(m.nodePositions[centre + 2].y, 0.0f);  // two apart: not yet
    for (int s = 0; s < 30; ++s) m.Step();
    EXPECT_LT(m.nodePositions[centre + 5].y, 0.0f);

    m.SetNode(centre, 0, 0, 0, 0);
    for (int s = 0; s < 3000; ++s) m.Step();
    EXPECT_LT(MaxDeviationFromRest(m), 1e-3f);
    for (int i = 0; i < kNodes; ++i) ASSERT_TRUE(std::isfinite(m.nodePositions[i].y)) << i;
}

TEST(SpringMeshTest, GravityMovesOnlyFreeNodes) {
    SpringMesh m;
    StartUpMesh(m);
    m.gravity = Vec4{0, -0.01f, 0, 0};
    m.Step();
    // Gravity joins the velocity before the damping.
    EXPECT_FLOAT_EQ(m.nodePositions[1].y, -0.01f * 0.85f);
    EXPECT_EQ(m.nodePositions[0].y, 0.0f);
    EXPECT_EQ(m.nodePositions[49].y, 0.0f);
}

TEST(SpringMeshTest, ForcesOnSpringsAndAnchors) {
    SpringMesh m;
    m.spacing = 0.5f;
    const Vec4 o{0, 0, 0, 0};
    // Stretched to 2: pulled toward q by 1.5; squeezed to 0.25: pushed away.
    Vec4 f = m.SpringForce(o, Vec4{2, 0, 0, 0});
    EXPECT_FLOAT_EQ(f.x, 1.5f);
    f = m.SpringForce(o, Vec4{0, 0, 0.25f, 0});
    EXPECT_FLOAT_EQ(f.z, -0.25f);
    f = m.SpringForce(o, Vec4{0, 0.5f, 0, 0});
    EXPECT_EQ(f.y, 0.0f);
    // Coinciding points: no force rather than NaN.
    f = m.SpringForce(Vec4{1, 1, 1, 0}, Vec4{1, 1, 1, 0});
    EXPECT_EQ(f.x, 0.0f);
    EXPECT_EQ(f.y, 0.0f);
    EXPECT_EQ(f.z, 0.0f);
    f = m.AnchorForce(Vec4{1, 2, 3, 0}, Vec4{1, 2, 3, 0});
    EXPECT_EQ(f.x, 0.0f);
    f = m.AnchorForce(o, Vec4{0, -3, 4, 0});
    EXPECT_FLOAT_EQ(f.y, -3.0f);
    EXPECT_FLOAT_EQ(f.z, 4.0f);
}

TEST(SpringMeshTest, GetNodeReturnsWhatSetNodeStored) {
    SpringMesh m;
    StartUpMesh(m);
    m.SetNode(700, 1.5f, -2.5f, 3.25f, 9.0f);
    const Vec4 v = m.GetNode(700);
    EXPECT_EQ(v.x, 1.5f);
    EXPECT_EQ(v.y, -2.5f);
    EXPECT_EQ(v.z, 3.25f);
    EXPECT_EQ(v.w, 9.0f);
    const Vec4 untouched = m.GetNode(701);
    EXPECT_EQ(untouched.x, 0.0f);
    EXPECT_EQ(untouched.y, 0.0f);
    EXPECT_EQ(untouched.z, 0.0f);
}

// --- drawing, read back through GL feedback --------------------------------

struct FeedbackVertex {
    float x, y, z;     // window coordinates
    float r, g, b, a;  // lit colour
    float s, t, q, v4; // texture coordinate
};

// Draws the mesh in feedback mode, seen from above (x to the right, z
// toward the top of the window), lit by a white light straight from +y.
std::vector<FeedbackVertex> FeedbackOf(SpringMesh& m) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-12.5, 12.5, -12.5, 12.5, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat up[4] = {0, 1, 0, 0}, white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
    glRotatef(90, 1, 0, 0);
    glLightfv(GL_LIGHT0, GL_POSITION, up);  // +y of the mesh's own frame
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);

    std::vector<GLfloat> buf(1 << 20);
    glFeedbackBuffer(GLsizei(buf.size()), GL_3D_COLOR_TEXTURE, buf.data());
    glRenderMode(GL_FEEDBACK);
    GLStateSnapshot snap;
    m.Draw();
    const GLint used = glRenderMode(GL_RENDER);
    snap.ExpectLeftBehind();
    glDisable(GL_LIGHTING);
    std::vector<FeedbackVertex> out;
    for (GLint i = 0; i < used;) {
        const int token = int(buf[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int n = int(buf[i++]);
            for (int k = 0; k < n; ++k, i += 11) {
                FeedbackVertex v;
                std::memcpy(&v, &buf[i], sizeof(float) * 11);
                out.push_back(v);
            }
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return out;
}

class SpringMeshDrawTest : public GLTest {};

TEST_F(SpringMeshDrawTest, FlatMeshFacesUpWithTheTextureSpanningIt) {
    SpringMesh m;
    StartUpMesh(m);
    const std::vector<FeedbackVertex> verts = FeedbackOf(m);
    ASSERT_GT(verts.size(), 50u * 100u);
    float sMin = 2, sMax = -1, tMin = 2, tMax = -1;
    for (const FeedbackVertex& v : verts) {
        // Lit fully by the light from above: every normal, the last column's
        // too, is (0, 1, 0).
        ASSERT_NEAR(v.r, 1.0f, 1e-3f);
        // s runs 1 to 0 along x, t from 1 at z = -12.5 to 0 at z = 12.5.
        ASSERT_NEAR(v.s, 1.0f - v.x / 640.0f, 1e-3f);
        ASSERT_NEAR(v.t, v.y / 480.0f, 1e-3f);
        sMin = std::fmin(sMin, v.s), sMax = std::fmax(sMax, v.s);
        tMin = std::fmin(tMin, v.t), tMax = std::fmax(tMax, v.t);
    }
    EXPECT_NEAR(sMin, 0.0f, 1e-4f);
    EXPECT_NEAR(sMax, 1.0f, 1e-6f);
    EXPECT_NEAR(tMin, 0.0f, 1e-4f);
    EXPECT_NEAR(tMax, 1.0f, 1e-6f);
}

TEST_F(SpringMeshDrawTest, NoRowsDrawNothing) {
    SpringMesh m;
    m.columns = 10;
    m.rows = 0;
    m.spacing = 1;
    m.Build();
    m.Step();
    EXPECT_TRUE(FeedbackOf(m).empty());
    EXPECT_FLOAT_EQ(m.nodePositions[10].x, 5.0f);  // one row of 11 nodes
}

}  // namespace
