// quad_strips.cpp -- textured quad strips drawn from one array.
#include "scenes/quad_strips.h"

#include <GL/gl.h>

void DrawQuadStrips(const StripVertex* vertices, int strips, int perStrip) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(StripVertex), &vertices[0].s);
    glVertexPointer(3, GL_FLOAT, sizeof(StripVertex), &vertices[0].x);
    for (int m = 0; m < strips; ++m) glDrawArrays(GL_QUAD_STRIP, m * perStrip, perStrip);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    const StripVertex& last = vertices[strips * perStrip - 1];
    glTexCoord2f(last.s, last.t);
}
