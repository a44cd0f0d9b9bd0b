// particle_system.h -- an emitter owning a fixed number of particles.
//
// Particles spawn in a cube of half-width 0.99 x spawnSpread around origin,
// start with a velocity by spawnMode/speedMode, move by their velocity once
// per Update (no time step: every amount is per Update call), age by
// lifeDecay and respawn or die by lifeMode. Draw shows the live ones as GL
// points or camera-facing quads with additive blending, plus an optional
// emitter sprite at origin. Lengths are world units of the drawing scene.
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId
#include "fx/vec4.h"

class ParticleSystem {
public:
    enum : int32_t { Dead = 1, Alive = 2 };

    ParticleSystem();   // the defaults below; allocates nothing
    ~ParticleSystem();  // frees positions, velocities, lives, states
    ParticleSystem(const ParticleSystem&) = delete;  // owns its arrays: never copied
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // Decodes a ZYN_JPEGTEX picture into a new texture stored in `texture`.
    void LoadTexture(const char* resourceName);
    // Allocates the four arrays (zeroed) for `count`, then respawns every
    // particle in index order and marks it Alive.
    void Init();
    // Places particle i anew: position, start velocity, life (random draws
    // in that order: position x, y, z; the velocity's; the life last); its
    // state is left alone. A radial start whose divisor is zero (particle at
    // the world origin, or zero spread) gives velocity zero.
    void Respawn(int32_t i);
    // One step: acceleration, movement, ageing, respawn or death.
    void Update();
    // Draws the live particles with the current modelview. Quads leave
    // blending and texturing off and depth writes on; points touch neither.
    // The quad list is compiled again only when the mode, size or texture it
    // was made for changed (likewise the emitter sprite's).
    void Draw();
    // Draws the sprite at origin with the given facing matrix (16 floats).
    void DrawEmitterSprite(const float* billboardMatrix);

    Vec4 origin = {0, 0, 0, 0};            // spawn-cube centre, sprite position
    Vec4 direction = {0, 1, 0, 0};         // directed rule's main direction
    Vec4 acceleration = {0, 0, 0, 0};      // added to every velocity per Update
    float colour[3] = {1, 1, 1};           // r, g, b, sent as material colour
    int32_t count = 100;                   // particles; fixes the arrays at Init
    int32_t spawnMode = 2;                 // 1 directed, 2 radial, 3 frozen
    int32_t drawMode = 1;                  // 1 points, 2 flat quads, 3 textured quads
    int32_t lifeMode = 3;                  // 1 age only, 2 die, 3 respawn
    int32_t speedMode = 1;                 // start-velocity variant, 1 or 2
    int32_t lifeInitMode = 2;              // 1 full maxLife, 2 random share of it
    int32_t fadeMode = 2;                  // 1 alpha = life / maxLife, else constantAlpha
    int32_t emitterSpriteMode = 2;         // 1 draws the sprite (textured quads only)
    float maxLife = 200.0f;                // full life, in Updates
    float lifeDecay = 1.0f;                // life lost per Update
    float spawnSpread = 5.0f;              // cube half-width is 0.99 x this
    float directionJitter = 0.0f;          // random deviation of direction
    float particleSize = 2.0f;             // point size or quad edge length
    float speed = 1.0f;                    // start-speed factor
    float constantAlpha = 1.0f;            // quad alpha when fadeMode is not 1
    float emitterSpriteSize = 1.0f;        // sprite edge length

    Vec4* positions = nullptr;   // count entries
    Vec4* velocities = nullptr;  // count entries
    float* lives = nullptr;            // count entries, remaining life
    int32_t* states = nullptr;         // count entries, Alive or Dead
    TextureId texture = 0;

private:
    // A compiled quad and what it was compiled for.
    struct QuadList {
        uint32_t list = 0;
        int32_t mode = 0;
        float size = 0.0f;
        TextureId texture = 0;
    };
    // The list for a quad of this mode (2 flat, 3 textured with a normal,
    // 4 the emitter sprite: textured, no normal), size and the texture.
    uint32_t CompiledQuad(QuadList* cache, int32_t mode, float size);
    QuadList particleQuad_, spriteQuad_;
};
