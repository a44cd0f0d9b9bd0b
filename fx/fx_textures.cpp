// fx_textures.cpp -- the picture loading of the effect objects.
//
// Kept in a file of its own so that programs which draw the objects with
// textures of their own (the tests, the benchmarks) link without the JPEG
// loader.
#include "fx/billboard.h"
#include "fx/particle_system.h"
#include "image/texture_loader.h"

void ParticleSystem::LoadTexture(const char* resourceName) {
    ::LoadTexture(texture, resourceName);
}

void Billboard::LoadTexture(const char* resourceName) {
    ::LoadTexture(texture, resourceName);
}
