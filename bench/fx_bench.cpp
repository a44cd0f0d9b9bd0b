// Micro-benchmarks of the effect objects' per-frame work (run by hand:
// build-release/bench/bench_fx).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include "fx/billboard.h"
#include "fx/particle_system.h"
#include "fx/spring_mesh.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

// A 4:3 perspective looking at the origin from 6 units, tilted by 30 degrees.
inline void SceneView() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.665, 0.665, -0.5, 0.5, 1, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -6);
    glRotatef(30, 1, 0, 0);
}

// Particle system 1 as set up for part 2.
void SystemOne(ParticleSystem& ps, GLuint texture) {
    ps.drawMode = 3;
    ps.fadeMode = 1;
    ps.lifeInitMode = 2;
    ps.count = 150;
    ps.spawnMode = 2;
    ps.emitterSpriteMode = 1;
    ps.maxLife = 50;
    ps.particleSize = 0.3f;
    ps.emitterSpriteSize = 0.1f;
    ps.speed = 0.2f;
    ps.spawnSpread = 0.5f;
    ps.directionJitter = 0;
    ps.direction.y = 0;
    ps.direction.z = 1;
    ps.texture = texture;
    ps.Init();
}

void BM_SpringMeshStep51x51(benchmark::State& state) {
    SpringMesh m;
    StartUpMesh(m);
    int frame = 0;
    for (auto _ : state) {
        // Keeps the mesh moving, as the part-6 scene does.
        m.SetNode(1300 + frame % 50, 0, -100, 0, 0);
        m.Step();
        m.SetNode(1300 + frame % 50, 0, 0, 0, 0);
        ++frame;
        benchmark::DoNotOptimize(m.nodePositions[1300]);
    }
    state.SetItemsProcessed(state.iterations() * 51 * 51);
}
BENCHMARK(BM_SpringMeshStep51x51);

void BM_ParticleUpdate150(benchmark::State& state) {
    ParticleSystem ps;
    SystemOne(ps, 0);
    for (auto _ : state) {
        ps.Update();
        benchmark::DoNotOptimize(ps.positions[0]);
    }
    state.SetItemsProcessed(state.iterations() * 150);
}
BENCHMARK(BM_ParticleUpdate150);

// Argument 0: issuing the draw only (what the frame loop pays before the
// swap); 1: the draw through to finished pixels on the software rasteriser.
void BM_ParticleDraw150(benchmark::State& state) {
    if (!MakeHeadlessGL()) {
        state.SkipWithError("no headless GL");
        return;
    }
    const bool finished = state.range(0) != 0;
    ResetGLState();
    SceneView();
    glEnable(GL_LIGHTING);
    const GLuint tex = MakeTestTexture(64, false);
    ParticleSystem ps;
    SystemOne(ps, tex);
    for (auto _ : state) {
        ps.Draw();
        if (finished) glFinish();
    }
    glFinish();
    glDeleteTextures(1, &tex);
}
BENCHMARK(BM_ParticleDraw150)->Arg(0)->Arg(1);

void BM_SpringMeshDraw51x51(benchmark::State& state) {
    if (!MakeHeadlessGL()) {
        state.SkipWithError("no headless GL");
        return;
    }
    ResetGLState();
    SpringMesh m;
    StartUpMesh(m);
    for (auto _ : state) m.Draw();
    glFinish();
}
BENCHMARK(BM_SpringMeshDraw51x51);

// Part 7's load: three lists rebuilt, 216 sprites drawn.
void BM_BillboardFrame216(benchmark::State& state) {
    if (!MakeHeadlessGL()) {
        state.SkipWithError("no headless GL");
        return;
    }
    ResetGLState();
    SceneView();
    const GLuint tex = MakeTestTexture(64, false);
    Billboard b[3];
    for (Billboard& bb : b) bb.texture = tex;
    for (auto _ : state) {
        for (Billboard& bb : b) {
            bb.size = 6.0f;
            bb.BuildList();
        }
        for (int i = 0; i < 216; ++i) {
            Billboard& bb = b[i % 3];
            bb.position[0] = float(i % 6) - 2.5f;
            bb.position[1] = float(i / 6 % 6) - 2.5f;
            bb.position[2] = float(i / 36) - 2.5f;
            bb.Draw();
        }
    }
    glFinish();
    glDeleteTextures(1, &tex);
}
BENCHMARK(BM_BillboardFrame216);

}  // namespace

BENCHMARK_MAIN();
