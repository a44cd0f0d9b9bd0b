// dispatcher.cpp -- the part table and the asset set-up.
#include "timeline/dispatcher.h"

#include <GL/gl.h>

#include <initializer_list>
#include <new>

#include "app/globals.h"
#include "fx/billboard.h"
#include "fx/helix_ribbon.h"
#include "fx/particle_system.h"
#include "fx/spring_mesh.h"
#include "image/texture_loader.h"
#include "scenes/ball_floor_scene.h"
#include "scenes/eye_scene.h"
#include "scenes/lattice_scene.h"
#include "scenes/outro_scene.h"
#include "scenes/spiral_scene.h"
#include "scenes/spring_grid_scene.h"
#include "scenes/title_scene.h"
#include "timeline/music_player.h"

namespace {

// One particle system as set-up configures it; every other field keeps the
// class default.
struct ParticleSetup {
    const char* picture;
    int32_t count;
    int32_t spawnMode;
    int32_t emitterSpriteMode;
    float maxLife;
    float particleSize;
    float emitterSpriteSize;
    float speed;
    float spawnSpread;
    float directionZ;
    float accelerationY;
    float originZ;
};

// Particle systems 1 to 5 are the eye of part 2, 6 the stream of part 3.
const ParticleSetup kParticleSetups[6] = {
    {"PARTICLE1.JPG", 150, 2, 1, 50, 0.3f, 0.1f, 0.2f, 0.5f, 1, 0, 0},
    {"PARTICLE2.JPG", 150, 2, 1, 50, 0.3f, 0.1f, 0.2f, 0.5f, 1, 0, 0},
    {"PARTICLE3.JPG", 150, 2, 1, 50, 0.3f, 0.1f, 0.2f, 0.5f, 1, 0, 0},
    {"GLOW2.JPG", 150, 2, 1, 100, 0.3f, 0.1f, 0.1f, 0.5f, 1, 0, 0},
    {"SMOKE.JPG", 100, 2, 2, 50, 0.4f, 4, 0.01f, 0.5f, 1, 0.001f, 0},
    {"GLOW2.JPG", 150, 1, 2, 1000, 10, 100, 2, 20, -1, 0, 100},
};

Billboard* MakeBillboard(const char* picture) {
    Billboard* billboard = new Billboard;
    billboard->size = 40.0f;
    billboard->LoadTexture(picture);
    billboard->BuildList();
    return billboard;
}

ParticleSystem* MakeParticleSystem(const ParticleSetup& setup) {
    ParticleSystem* system = new ParticleSystem;
    system->count = setup.count;
    system->spawnMode = setup.spawnMode;
    system->emitterSpriteMode = setup.emitterSpriteMode;
    system->maxLife = setup.maxLife;
    system->particleSize = setup.particleSize;
    system->emitterSpriteSize = setup.emitterSpriteSize;
    system->speed = setup.speed;
    system->spawnSpread = setup.spawnSpread;
    system->direction.y = 0.0f;
    system->direction.z = setup.directionZ;
    system->acceleration.y = setup.accelerationY;
    system->origin.z = setup.originZ;
    system->directionJitter = 0.0f;
    system->drawMode = 3;
    system->fadeMode = 1;
    system->lifeInitMode = 2;
    system->LoadTexture(setup.picture);
    system->Init();
    return system;
}

}  // namespace

void SetUpAssets(HWND mainWindow) {
    // 1. The textures the scenes are handed, in loading order.
    LoadTexture(assets.white, "WHITE.JPG");
    LoadTexture(assets.black, "BLACK.JPG");
    LoadTexture(assets.plasma, "PLASMA.JPG");
    LoadTexture(assets.ball, "BALL.JPG");
    LoadTexture(assets.ball2, "BALL2.JPG");
    LoadTexture(assets.boden, "BODEN.JPG");
    LoadTexture(assets.title, "TITLE.JPG");
    LoadTexture(assets.outtro, "OUTTRO.JPG");
    LoadTexture(assets.look, "LOOK.JPG");
    LoadTexture(assets.spiral, "SPIRAL.JPG");
    LoadTexture(assets.spiralFront, "SPIRALFRONT.JPG");
    LoadTexture(assets.auge, "AUGE.JPG");
    LoadTexture(assets.gridmap, "GRIDMAP.JPG");
    LoadTexture(assets.spikeFront, "SPIKEFRONT.JPG");
    LoadTexture(assets.spikeFront2, "SPIKEFRONT2.JPG");

    // 2. The billboards, each with its own copy of its picture.
    assets.particle1Billboard = MakeBillboard("PARTICLE1.JPG");
    assets.particle2Billboard = MakeBillboard("PARTICLE2.JPG");
    assets.particle3Billboard = MakeBillboard("PARTICLE3.JPG");

    // 3. The spring mesh: 51 x 51 nodes, four of them held in place.
    SpringMesh* mesh = new SpringMesh;
    mesh->columns = 50;
    mesh->rows = 50;
    mesh->spacing = 0.5f;
    mesh->stiffness = 0.05f;
    mesh->damping = 0.85f;
    mesh->centre.y = 0.0f;
    mesh->gravity.y = 0.0f;
    mesh->Build();
    for (int32_t node : {0, 2401, 2352, 49}) mesh->SetNodeMode(node, SpringMesh::Pinned);
    assets.springMesh = mesh;

    // 4. Particle systems 1 to 6.
    for (int i = 0; i < 6; ++i) assets.particleSystems[i] = MakeParticleSystem(kParticleSetups[i]);

    // 5. The helix ribbon; the scene sets its start angles.
    HelixRibbon* ribbon = new HelixRibbon;
    ribbon->SetRadius(10.0f);
    ribbon->SetSegmentCount(250);
    ribbon->SetZStep(5.0f);
    ribbon->SetAngleStep(0.3f, 0.3f);
    assets.helixRibbon = ribbon;

    // 6. The music last: it starts playing as set-up ends. Without the
    // player the parts change by the keys alone.
    assets.musicPlayer = new (std::nothrow) MusicPlayer(mainWindow, "ZYN_MUCKE");
}

void RunPartFrame(int32_t part, int32_t partClock, HWND mainWindow) {
    // 1. The scene of the part, with that part's textures and objects.
    AssetSet& a = assets;
    switch (part) {
        case 1: DrawTitleScene(partClock, a.plasma, a.title); break;
        case 2:
            DrawEyeParticleScene(partClock, a.particleSystems[0], a.particleSystems[1],
                                 a.particleSystems[2], a.particleSystems[3], a.particleSystems[4],
                                 a.auge);
            break;
        case 3:
            DrawSpiralScene(partClock, a.helixRibbon, a.particleSystems[5], a.spiral, a.spiralFront);
            break;
        case 4:
            DrawBallFloorScene(partClock, a.boden, a.ball, a.particle1Billboard, a.spikeFront);
            break;
        case 5:
            DrawBallFloorScene(partClock, a.boden, a.ball, a.particle1Billboard, a.spikeFront2);
            break;
        case 6: DrawSpringGridScene(partClock, a.springMesh, a.gridmap); break;
        case 7:
            DrawBillboardLatticeScene(partClock, a.particle1Billboard, a.particle2Billboard,
                                      a.particle3Billboard);
            break;
        case 8: DrawOutroScene(partClock, a.ball2, a.outtro); break;
        default: break;  // the shell keeps the part within 1 to 8
    }

    // 2. Whatever the part, the music may have passed its next sync time:
    // move on one part through the window procedure, as the Right key would.
    if (assets.musicPlayer && assets.musicPlayer->SyncReached(1))
        Sys_PostMessage(mainWindow, WM_KEYDOWN, VK_RIGHT, 0);
}

void ReleaseAssets() {
    // The music first, so it stops before anything else goes.
    delete assets.musicPlayer;
    assets.musicPlayer = nullptr;
    delete assets.particle1Billboard;
    delete assets.particle2Billboard;
    delete assets.particle3Billboard;
    assets.particle1Billboard = assets.particle2Billboard = assets.particle3Billboard = nullptr;
    delete assets.springMesh;
    assets.springMesh = nullptr;
    for (ParticleSystem*& system : assets.particleSystems) {
        delete system;
        system = nullptr;
    }
    delete assets.helixRibbon;
    assets.helixRibbon = nullptr;
}
