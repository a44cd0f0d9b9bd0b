/* gl11 -- the two GLU calls the layer offers, computed as Mesa's GLU does.
 * gluPerspective and gluLookAt only; nothing else of GLU. */
#ifndef GL11_GLU_H
#define GL11_GLU_H
#define __glu_h__ 1
#include <GL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

#define gluPerspective gl11_gluPerspective
#define gluLookAt gl11_gluLookAt

void gl11_gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
void gl11_gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
                    GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ);

#ifdef __cplusplus
}
#endif
#endif
