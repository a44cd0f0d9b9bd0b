/* gl11 -- OpenGL 1.1 fixed-function drawing on OpenGL ES 3.0 / WebGL 2.
 *
 * This header stands in for the system's <GL/gl.h>: put gl11/include first
 * on the include path and the ordinary GL 1.1 calls of a program land in the
 * layer (every name below is a macro onto a gl11_ symbol, so the layer never
 * clashes with libGL, libGLESv2 or a browser's GL library). Call gl11_Init
 * (gl11.h) once the ES 3.0 context is current; before that, and after the
 * context is lost, every call records an error and does nothing.
 *
 * Every entry point declared here either does what OpenGL 1.1 says it
 * does, or records the error GL gives for a bad value of
 * that argument (GL_INVALID_ENUM, GL_INVALID_VALUE, GL_INVALID_OPERATION)
 * and leaves the state as it was. Errors the driver reports reach
 * glGetError too (the layer's first, then the driver's).
 *
 * Implemented:
 *  - matrix stacks (modelview and projection 32, texture 10 deep, as Mesa;
 *    overflow and underflow give GL_STACK_OVERFLOW / GL_STACK_UNDERFLOW),
 *    glLoadIdentity, glLoadMatrixf, glMultMatrixf, glTranslatef, glRotatef,
 *    glScalef, glOrtho, glFrustum; gluPerspective, gluLookAt (glu.h)
 *  - immediate mode (glBegin/glEnd, glVertex2f/3f/3fv/4f, glNormal3f/3fv,
 *    glColor3f/4f/3fv/4fv/3ub, glTexCoord2f/2fv) with GL's current-attribute
 *    rules, glRectf
 *  - client arrays of every GL 1.1 type (vertices of 2 to 4 components,
 *    colours of 3 or 4, texture coordinates of 1 or 2) with glDrawArrays
 *    and glDrawElements (8, 16 and 32-bit indices, any spread of indices)
 *  - every primitive; quads and polygons split the way Mesa splits them,
 *    flat shading from the vertex GL names (for polygons drawn as lines or
 *    points too); polygon modes GL_FILL, GL_LINE, GL_POINT per face, culled
 *    and two-sided as polygons, drawn in their order; line width (rounded
 *    to whole pixels, drawn by the driver where its range reaches, see
 *    gl11.h); point size (rounded to whole pixels; each point the square of
 *    pixels GL places, kept or clipped by where the point is)
 *  - display lists (GL_COMPILE, GL_COMPILE_AND_EXECUTE), nested calls 64
 *    deep; geometry kept in buffers, arrays taken as they are at compile
 *    time with the list's own current values
 *  - lighting: 8 lights (directional, positional with attenuation, spot
 *    cones on either), front and back materials, two-sided lighting, local
 *    viewer, light model ambient, colour material (every face and mode; a
 *    glMaterial of a property it tracks is left to it), GL_NORMALIZE,
 *    computed per vertex as Mesa does it (a shininess of 0 gives the full
 *    specular colour wherever the light reaches, as Mesa's does); flat and
 *    smooth shading
 *  - 2D textures (internal format 1-4, GL_LUMINANCE, GL_LUMINANCE_ALPHA,
 *    GL_RGB, GL_RGBA, GL_RGB8, GL_RGBA8; RGB / RGBA / luminance / alpha
 *    upload of unsigned bytes) with mipmap levels; glTexImage2D compiles into
 *    lists; the texture environments GL_MODULATE, GL_DECAL, GL_BLEND,
 *    GL_REPLACE and the environment colour (GL_DECAL, which GL leaves
 *    undefined over luminance textures, leaves the colour as it is there,
 *    as Mesa does); the texture matrix (projective);
 *    texture generation: object-linear, eye-linear (s, t, r, q), sphere map
 *  - fog (GL_LINEAR, GL_EXP, GL_EXP2, per fragment from the eye distance as
 *    Mesa), alpha test (alpha and reference compared as bytes, the colour
 *    buffer's fixed point), blending (factors of OpenGL 1.4: GL_SRC_COLOR may be
 *    a source factor, as Mesa accepts it; GL_SRC_ALPHA / GL_ONE_MINUS_SRC_ALPHA
 *    and GL_SRC_COLOR / GL_ONE_MINUS_SRC_COLOR rounded as Mesa does on every
 *    renderer: in the shader where the driver rounds otherwise, see gl11.h;
 *    there the triangles of one such draw all blend with the pixels from
 *    before it, so where they overlap only one counts), depth test and mask,
 *    scissor, face culling, colour mask, dither, clears, hints (kept),
 *    glReadPixels in GL_RGB and GL_RGBA
 *  - glPushAttrib / glPopAttrib (every group of the mask that the layer
 *    keeps state of) and glPushClientAttrib / glPopClientAttrib
 *  - queries answered from the layer's own state, never the driver:
 *    glGetIntegerv / Floatv / Doublev / Booleanv, glIsEnabled, glIsList,
 *    glIsTexture, glGetTexLevelParameteriv, glGetTexParameteriv,
 *    glGetTexImage, glGetMaterialfv, glGetLightfv, glGetTexGeniv / fv,
 *    glGetTexEnviv / fv; glGetError asks the driver only when the layer has
 *    no error of its own
 *
 * Refused, with the error named (the state is left as it was):
 *  - glEnable of GL_LINE_STIPPLE, GL_*_SMOOTH, GL_POLYGON_STIPPLE,
 *    GL_STENCIL_TEST, GL_*_LOGIC_OP, GL_CLIP_PLANEi, GL_AUTO_NORMAL,
 *    GL_MAP*, GL_POLYGON_OFFSET_POINT / LINE: GL_INVALID_ENUM (glIsEnabled
 *    answers GL_FALSE for them)
 *  - glMaterial between glBegin and glEnd: GL_INVALID_OPERATION (the layer
 *    lights a block with one material)
 *  - texture borders, internal formats and pixel types other than those
 *    above: GL_INVALID_VALUE (border, internal format) or GL_INVALID_ENUM
 *    (type, format); glTexCoordPointer of 3 or 4 components:
 *    GL_INVALID_VALUE; glReadPixels in other formats: GL_INVALID_ENUM
 *  - a variant of the fixed function whose shader does not build on the
 *    driver: GL_INVALID_OPERATION once, and its draws are skipped
 *
 * Drawn otherwise than GL says: GL_CLAMP is drawn as GL_CLAMP_TO_EDGE (no
 * border colour); polygons drawn as lines or points under flat shading
 * take the provoking vertex's colour and normal but are lit at each end's
 * own position (the same as GL but for positional lights); where clipping
 * cuts a polygon drawn as points, the point it adds is lit at its own
 * position and normal (GL takes the colour between the lit vertices);
 * lines wider than the driver draws (see gl11.h) end where their vertices
 * are, not by the diamond-exit rule; no accumulation buffer (its clear does
 * nothing). Not in this header at all: selection, feedback, evaluators,
 * raster position, glDrawPixels, glBitmap, 1D and 3D texture images,
 * polygon offset values, stencil functions.
 */
#ifndef GL11_GL_H
#define GL11_GL_H
#define __gl_h_ 1
#define GL_VERSION_1_1 1

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef signed char GLbyte;
typedef short GLshort;
typedef int GLint;
typedef int GLsizei;
typedef unsigned char GLubyte;
typedef unsigned short GLushort;
typedef unsigned int GLuint;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;

#define GL_FALSE 0
#define GL_TRUE 1
#define GL_NO_ERROR 0
#define GL_INVALID_ENUM 0x0500
#define GL_INVALID_VALUE 0x0501
#define GL_INVALID_OPERATION 0x0502
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504
#define GL_OUT_OF_MEMORY 0x0505

#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_LINE_LOOP 0x0002
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009

#define GL_BYTE 0x1400
#define GL_UNSIGNED_BYTE 0x1401
#define GL_SHORT 0x1402
#define GL_UNSIGNED_SHORT 0x1403
#define GL_INT 0x1404
#define GL_UNSIGNED_INT 0x1405
#define GL_FLOAT 0x1406
#define GL_DOUBLE 0x140A

#define GL_CONTEXT_LOST 0x0507

#define GL_POINT_BIT 0x00000002
#define GL_LINE_BIT 0x00000004
#define GL_POLYGON_BIT 0x00000008
#define GL_POLYGON_STIPPLE_BIT 0x00000010
#define GL_PIXEL_MODE_BIT 0x00000020
#define GL_LIGHTING_BIT 0x00000040
#define GL_FOG_BIT 0x00000080
#define GL_ACCUM_BUFFER_BIT 0x00000200
#define GL_STENCIL_BUFFER_BIT 0x00000400
#define GL_VIEWPORT_BIT 0x00000800
#define GL_TRANSFORM_BIT 0x00001000
#define GL_HINT_BIT 0x00008000
#define GL_EVAL_BIT 0x00010000
#define GL_LIST_BIT 0x00020000
#define GL_TEXTURE_BIT 0x00040000
#define GL_SCISSOR_BIT 0x00080000
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000
#define GL_CURRENT_BIT 0x00000001
#define GL_ENABLE_BIT 0x00002000
#define GL_ALL_ATTRIB_BITS 0xFFFFFFFF
#define GL_CLIENT_PIXEL_STORE_BIT 0x00000001
#define GL_CLIENT_VERTEX_ARRAY_BIT 0x00000002
#define GL_CLIENT_ALL_ATTRIB_BITS 0xFFFFFFFF

#define GL_NEVER 0x0200
#define GL_LESS 0x0201
#define GL_EQUAL 0x0202
#define GL_LEQUAL 0x0203
#define GL_GREATER 0x0204
#define GL_NOTEQUAL 0x0205
#define GL_GEQUAL 0x0206
#define GL_ALWAYS 0x0207

#define GL_ZERO 0
#define GL_ONE 1
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_ALPHA 0x0304
#define GL_ONE_MINUS_DST_ALPHA 0x0305
#define GL_DST_COLOR 0x0306
#define GL_ONE_MINUS_DST_COLOR 0x0307
#define GL_SRC_ALPHA_SATURATE 0x0308

#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_FRONT_AND_BACK 0x0408
#define GL_CW 0x0900
#define GL_CCW 0x0901

#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_FLAT 0x1D00
#define GL_SMOOTH 0x1D01

#define GL_CURRENT_COLOR 0x0B00
#define GL_CURRENT_NORMAL 0x0B02
#define GL_CURRENT_TEXTURE_COORDS 0x0B03
#define GL_POINT_SMOOTH 0x0B10
#define GL_POINT_SIZE 0x0B11
#define GL_LINE_SMOOTH 0x0B20
#define GL_LINE_WIDTH 0x0B21
#define GL_LINE_STIPPLE 0x0B24
#define GL_LIST_INDEX 0x0B33
#define GL_LIST_MODE 0x0B30
#define GL_MAX_LIST_NESTING 0x0B31
#define GL_POLYGON_MODE 0x0B40
#define GL_POLYGON_SMOOTH 0x0B41
#define GL_CULL_FACE 0x0B44
#define GL_CULL_FACE_MODE 0x0B45
#define GL_FRONT_FACE 0x0B46
#define GL_LIGHTING 0x0B50
#define GL_LIGHT_MODEL_LOCAL_VIEWER 0x0B51
#define GL_LIGHT_MODEL_TWO_SIDE 0x0B52
#define GL_LIGHT_MODEL_AMBIENT 0x0B53
#define GL_SHADE_MODEL 0x0B54
#define GL_COLOR_MATERIAL_FACE 0x0B55
#define GL_COLOR_MATERIAL_PARAMETER 0x0B56
#define GL_COLOR_MATERIAL 0x0B57
#define GL_FOG 0x0B60
#define GL_FOG_INDEX 0x0B61
#define GL_FOG_DENSITY 0x0B62
#define GL_FOG_START 0x0B63
#define GL_FOG_END 0x0B64
#define GL_FOG_MODE 0x0B65
#define GL_FOG_COLOR 0x0B66
#define GL_EXP 0x0800
#define GL_EXP2 0x0801
#define GL_DEPTH_RANGE 0x0B70
#define GL_DEPTH_TEST 0x0B71
#define GL_DEPTH_WRITEMASK 0x0B72
#define GL_DEPTH_CLEAR_VALUE 0x0B73
#define GL_DEPTH_FUNC 0x0B74
#define GL_ALPHA_TEST 0x0BC0
#define GL_ALPHA_TEST_FUNC 0x0BC1
#define GL_ALPHA_TEST_REF 0x0BC2
#define GL_MATRIX_MODE 0x0BA0
#define GL_NORMALIZE 0x0BA1
#define GL_VIEWPORT 0x0BA2
#define GL_MODELVIEW_STACK_DEPTH 0x0BA3
#define GL_PROJECTION_STACK_DEPTH 0x0BA4
#define GL_TEXTURE_STACK_DEPTH 0x0BA5
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_TEXTURE_MATRIX 0x0BA8
#define GL_ATTRIB_STACK_DEPTH 0x0BB0
#define GL_CLIENT_ATTRIB_STACK_DEPTH 0x0BB1
#define GL_DITHER 0x0BD0
#define GL_BLEND_DST 0x0BE0
#define GL_BLEND_SRC 0x0BE1
#define GL_BLEND 0x0BE2
#define GL_SCISSOR_BOX 0x0C10
#define GL_SCISSOR_TEST 0x0C11
#define GL_COLOR_CLEAR_VALUE 0x0C22
#define GL_COLOR_WRITEMASK 0x0C23
#define GL_DOUBLEBUFFER 0x0C32
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_POINT_SMOOTH_HINT 0x0C51
#define GL_LINE_SMOOTH_HINT 0x0C52
#define GL_POLYGON_SMOOTH_HINT 0x0C53
#define GL_FOG_HINT 0x0C54
#define GL_TEXTURE_GEN_S 0x0C60
#define GL_TEXTURE_GEN_T 0x0C61
#define GL_TEXTURE_GEN_R 0x0C62
#define GL_TEXTURE_GEN_Q 0x0C63
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_PACK_ROW_LENGTH 0x0D02
#define GL_PACK_ALIGNMENT 0x0D05
#define GL_MAX_LIGHTS 0x0D31
#define GL_MAX_TEXTURE_SIZE 0x0D33
#define GL_MAX_ATTRIB_STACK_DEPTH 0x0D35
#define GL_MAX_MODELVIEW_STACK_DEPTH 0x0D36
#define GL_MAX_PROJECTION_STACK_DEPTH 0x0D38
#define GL_MAX_TEXTURE_STACK_DEPTH 0x0D39
#define GL_MAX_VIEWPORT_DIMS 0x0D3A
#define GL_MAX_CLIENT_ATTRIB_STACK_DEPTH 0x0D3B
#define GL_TEXTURE_1D 0x0DE0
#define GL_TEXTURE_2D 0x0DE1
#define GL_TEXTURE_WIDTH 0x1000
#define GL_TEXTURE_HEIGHT 0x1001
#define GL_TEXTURE_INTERNAL_FORMAT 0x1003
#define GL_TEXTURE_COMPONENTS 0x1003
#define GL_TEXTURE_BORDER 0x1005
#define GL_DONT_CARE 0x1100
#define GL_FASTEST 0x1101
#define GL_NICEST 0x1102

#define GL_LIGHT0 0x4000
#define GL_LIGHT1 0x4001
#define GL_LIGHT2 0x4002
#define GL_LIGHT3 0x4003
#define GL_LIGHT4 0x4004
#define GL_LIGHT5 0x4005
#define GL_LIGHT6 0x4006
#define GL_LIGHT7 0x4007
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_SPOT_DIRECTION 0x1204
#define GL_SPOT_EXPONENT 0x1205
#define GL_SPOT_CUTOFF 0x1206
#define GL_CONSTANT_ATTENUATION 0x1207
#define GL_LINEAR_ATTENUATION 0x1208
#define GL_QUADRATIC_ATTENUATION 0x1209
#define GL_EMISSION 0x1600
#define GL_SHININESS 0x1601
#define GL_AMBIENT_AND_DIFFUSE 0x1602

#define GL_COMPILE 0x1300
#define GL_COMPILE_AND_EXECUTE 0x1301

#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_TEXTURE 0x1702

#define GL_COLOR 0x1800
#define GL_DEPTH 0x1801
#define GL_STENCIL 0x1802

#define GL_ALPHA 0x1906
#define GL_RGB 0x1907
#define GL_RGBA 0x1908
#define GL_LUMINANCE 0x1909
#define GL_LUMINANCE_ALPHA 0x190A
#define GL_RGB8 0x8051
#define GL_RGBA8 0x8058

#define GL_VENDOR 0x1F00
#define GL_RENDERER 0x1F01
#define GL_VERSION 0x1F02
#define GL_EXTENSIONS 0x1F03

#define GL_S 0x2000
#define GL_T 0x2001
#define GL_R 0x2002
#define GL_Q 0x2003
#define GL_REPLACE 0x1E01
#define GL_MODULATE 0x2100
#define GL_DECAL 0x2101
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_TEXTURE_ENV_COLOR 0x2201
#define GL_TEXTURE_ENV 0x2300
#define GL_EYE_LINEAR 0x2400
#define GL_OBJECT_LINEAR 0x2401
#define GL_SPHERE_MAP 0x2402
#define GL_TEXTURE_GEN_MODE 0x2500
#define GL_OBJECT_PLANE 0x2501
#define GL_EYE_PLANE 0x2502
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_NEAREST_MIPMAP_NEAREST 0x2700
#define GL_LINEAR_MIPMAP_NEAREST 0x2701
#define GL_NEAREST_MIPMAP_LINEAR 0x2702
#define GL_LINEAR_MIPMAP_LINEAR 0x2703
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_TEXTURE_WRAP_S 0x2802
#define GL_TEXTURE_WRAP_T 0x2803
#define GL_CLAMP 0x2900
#define GL_REPEAT 0x2901
#define GL_CLAMP_TO_EDGE 0x812F
#define GL_TEXTURE_BINDING_2D 0x8069

#define GL_VERTEX_ARRAY 0x8074
#define GL_NORMAL_ARRAY 0x8075
#define GL_COLOR_ARRAY 0x8076
#define GL_TEXTURE_COORD_ARRAY 0x8078
#define GL_POLYGON_OFFSET_FILL 0x8037

/* Each GL name stands for the layer's own entry point. */
#define glAlphaFunc gl11_glAlphaFunc
#define glBegin gl11_glBegin
#define glBindTexture gl11_glBindTexture
#define glBlendFunc gl11_glBlendFunc
#define glCallList gl11_glCallList
#define glClear gl11_glClear
#define glClearColor gl11_glClearColor
#define glClearDepth gl11_glClearDepth
#define glColor3f gl11_glColor3f
#define glColor3fv gl11_glColor3fv
#define glColor4f gl11_glColor4f
#define glColor4fv gl11_glColor4fv
#define glColor3ub gl11_glColor3ub
#define glColorMask gl11_glColorMask
#define glColorMaterial gl11_glColorMaterial
#define glColorPointer gl11_glColorPointer
#define glCullFace gl11_glCullFace
#define glDeleteLists gl11_glDeleteLists
#define glDeleteTextures gl11_glDeleteTextures
#define glDepthFunc gl11_glDepthFunc
#define glDepthMask gl11_glDepthMask
#define glDisable gl11_glDisable
#define glDisableClientState gl11_glDisableClientState
#define glDrawArrays gl11_glDrawArrays
#define glDrawElements gl11_glDrawElements
#define glEnable gl11_glEnable
#define glEnableClientState gl11_glEnableClientState
#define glEnd gl11_glEnd
#define glEndList gl11_glEndList
#define glFinish gl11_glFinish
#define glFogf gl11_glFogf
#define glFogfv gl11_glFogfv
#define glFogi gl11_glFogi
#define glFlush gl11_glFlush
#define glFrontFace gl11_glFrontFace
#define glFrustum gl11_glFrustum
#define glGenLists gl11_glGenLists
#define glGenTextures gl11_glGenTextures
#define glGetBooleanv gl11_glGetBooleanv
#define glGetDoublev gl11_glGetDoublev
#define glGetError gl11_glGetError
#define glGetFloatv gl11_glGetFloatv
#define glGetIntegerv gl11_glGetIntegerv
#define glGetLightfv gl11_glGetLightfv
#define glGetMaterialfv gl11_glGetMaterialfv
#define glGetString gl11_glGetString
#define glGetTexEnvfv gl11_glGetTexEnvfv
#define glGetTexEnviv gl11_glGetTexEnviv
#define glGetTexGenfv gl11_glGetTexGenfv
#define glGetTexGeniv gl11_glGetTexGeniv
#define glGetTexImage gl11_glGetTexImage
#define glGetTexLevelParameteriv gl11_glGetTexLevelParameteriv
#define glGetTexParameteriv gl11_glGetTexParameteriv
#define glHint gl11_glHint
#define glIsEnabled gl11_glIsEnabled
#define glIsList gl11_glIsList
#define glIsTexture gl11_glIsTexture
#define glLightModelfv gl11_glLightModelfv
#define glLightModeli gl11_glLightModeli
#define glLightf gl11_glLightf
#define glLightfv gl11_glLightfv
#define glLineWidth gl11_glLineWidth
#define glLoadIdentity gl11_glLoadIdentity
#define glLoadMatrixf gl11_glLoadMatrixf
#define glMaterialf gl11_glMaterialf
#define glMaterialfv gl11_glMaterialfv
#define glMatrixMode gl11_glMatrixMode
#define glMultMatrixf gl11_glMultMatrixf
#define glNewList gl11_glNewList
#define glNormal3f gl11_glNormal3f
#define glNormal3fv gl11_glNormal3fv
#define glNormalPointer gl11_glNormalPointer
#define glOrtho gl11_glOrtho
#define glPixelStorei gl11_glPixelStorei
#define glPointSize gl11_glPointSize
#define glPolygonMode gl11_glPolygonMode
#define glPopAttrib gl11_glPopAttrib
#define glPopClientAttrib gl11_glPopClientAttrib
#define glPopMatrix gl11_glPopMatrix
#define glPushAttrib gl11_glPushAttrib
#define glPushClientAttrib gl11_glPushClientAttrib
#define glPushMatrix gl11_glPushMatrix
#define glReadPixels gl11_glReadPixels
#define glRectf gl11_glRectf
#define glRotatef gl11_glRotatef
#define glScalef gl11_glScalef
#define glScissor gl11_glScissor
#define glShadeModel gl11_glShadeModel
#define glTexCoord2f gl11_glTexCoord2f
#define glTexCoord2fv gl11_glTexCoord2fv
#define glTexCoordPointer gl11_glTexCoordPointer
#define glTexEnvf gl11_glTexEnvf
#define glTexEnvfv gl11_glTexEnvfv
#define glTexEnvi gl11_glTexEnvi
#define glTexGenf gl11_glTexGenf
#define glTexGenfv gl11_glTexGenfv
#define glTexGeni gl11_glTexGeni
#define glTexGeniv gl11_glTexGeniv
#define glTexImage2D gl11_glTexImage2D
#define glTexParameterf gl11_glTexParameterf
#define glTexParameteri gl11_glTexParameteri
#define glTranslatef gl11_glTranslatef
#define glVertex2f gl11_glVertex2f
#define glVertex3f gl11_glVertex3f
#define glVertex3fv gl11_glVertex3fv
#define glVertex4f gl11_glVertex4f
#define glVertexPointer gl11_glVertexPointer
#define glViewport gl11_glViewport

void gl11_glAlphaFunc(GLenum func, GLclampf ref);
void gl11_glBegin(GLenum mode);
void gl11_glBindTexture(GLenum target, GLuint texture);
void gl11_glBlendFunc(GLenum sfactor, GLenum dfactor);
void gl11_glCallList(GLuint list);
void gl11_glClear(GLbitfield mask);
void gl11_glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void gl11_glClearDepth(GLclampd depth);
void gl11_glColor3f(GLfloat red, GLfloat green, GLfloat blue);
void gl11_glColor3fv(const GLfloat* v);
void gl11_glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void gl11_glColor4fv(const GLfloat* v);
void gl11_glColor3ub(GLubyte red, GLubyte green, GLubyte blue);
void gl11_glColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha);
void gl11_glColorMaterial(GLenum face, GLenum mode);
void gl11_glColorPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_glCullFace(GLenum mode);
void gl11_glDeleteLists(GLuint list, GLsizei range);
void gl11_glDeleteTextures(GLsizei n, const GLuint* textures);
void gl11_glDepthFunc(GLenum func);
void gl11_glDepthMask(GLboolean flag);
void gl11_glDisable(GLenum cap);
void gl11_glDisableClientState(GLenum array);
void gl11_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void gl11_glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices);
void gl11_glEnable(GLenum cap);
void gl11_glEnableClientState(GLenum array);
void gl11_glEnd(void);
void gl11_glEndList(void);
void gl11_glFinish(void);
void gl11_glFogf(GLenum pname, GLfloat param);
void gl11_glFogfv(GLenum pname, const GLfloat* params);
void gl11_glFogi(GLenum pname, GLint param);
void gl11_glFlush(void);
void gl11_glFrontFace(GLenum mode);
void gl11_glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
GLuint gl11_glGenLists(GLsizei range);
void gl11_glGenTextures(GLsizei n, GLuint* textures);
void gl11_glGetBooleanv(GLenum pname, GLboolean* params);
void gl11_glGetDoublev(GLenum pname, GLdouble* params);
GLenum gl11_glGetError(void);
void gl11_glGetFloatv(GLenum pname, GLfloat* params);
void gl11_glGetIntegerv(GLenum pname, GLint* params);
void gl11_glGetLightfv(GLenum light, GLenum pname, GLfloat* params);
void gl11_glGetMaterialfv(GLenum face, GLenum pname, GLfloat* params);
const GLubyte* gl11_glGetString(GLenum name);
void gl11_glGetTexEnvfv(GLenum target, GLenum pname, GLfloat* params);
void gl11_glGetTexEnviv(GLenum target, GLenum pname, GLint* params);
void gl11_glGetTexGenfv(GLenum coord, GLenum pname, GLfloat* params);
void gl11_glGetTexGeniv(GLenum coord, GLenum pname, GLint* params);
void gl11_glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, GLvoid* pixels);
void gl11_glGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params);
void gl11_glGetTexParameteriv(GLenum target, GLenum pname, GLint* params);
void gl11_glHint(GLenum target, GLenum mode);
GLboolean gl11_glIsEnabled(GLenum cap);
GLboolean gl11_glIsList(GLuint list);
GLboolean gl11_glIsTexture(GLuint texture);
void gl11_glLightModelfv(GLenum pname, const GLfloat* params);
void gl11_glLightModeli(GLenum pname, GLint param);
void gl11_glLightf(GLenum light, GLenum pname, GLfloat param);
void gl11_glLightfv(GLenum light, GLenum pname, const GLfloat* params);
void gl11_glLineWidth(GLfloat width);
void gl11_glLoadIdentity(void);
void gl11_glLoadMatrixf(const GLfloat* m);
void gl11_glMaterialf(GLenum face, GLenum pname, GLfloat param);
void gl11_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void gl11_glMatrixMode(GLenum mode);
void gl11_glMultMatrixf(const GLfloat* m);
void gl11_glNewList(GLuint list, GLenum mode);
void gl11_glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz);
void gl11_glNormal3fv(const GLfloat* v);
void gl11_glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
void gl11_glPixelStorei(GLenum pname, GLint param);
void gl11_glPointSize(GLfloat size);
void gl11_glPolygonMode(GLenum face, GLenum mode);
void gl11_glPopAttrib(void);
void gl11_glPopClientAttrib(void);
void gl11_glPopMatrix(void);
void gl11_glPushAttrib(GLbitfield mask);
void gl11_glPushClientAttrib(GLbitfield mask);
void gl11_glPushMatrix(void);
void gl11_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels);
void gl11_glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2);
void gl11_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void gl11_glScalef(GLfloat x, GLfloat y, GLfloat z);
void gl11_glScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void gl11_glShadeModel(GLenum mode);
void gl11_glTexCoord2f(GLfloat s, GLfloat t);
void gl11_glTexCoord2fv(const GLfloat* v);
void gl11_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_glTexEnvf(GLenum target, GLenum pname, GLfloat param);
void gl11_glTexEnvfv(GLenum target, GLenum pname, const GLfloat* params);
void gl11_glTexEnvi(GLenum target, GLenum pname, GLint param);
void gl11_glTexGenf(GLenum coord, GLenum pname, GLfloat param);
void gl11_glTexGenfv(GLenum coord, GLenum pname, const GLfloat* params);
void gl11_glTexGeni(GLenum coord, GLenum pname, GLint param);
void gl11_glTexGeniv(GLenum coord, GLenum pname, const GLint* params);
void gl11_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const GLvoid* pixels);
void gl11_glTexParameterf(GLenum target, GLenum pname, GLfloat param);
void gl11_glTexParameteri(GLenum target, GLenum pname, GLint param);
void gl11_glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void gl11_glVertex2f(GLfloat x, GLfloat y);
void gl11_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void gl11_glVertex3fv(const GLfloat* v);
void gl11_glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w);
void gl11_glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_glViewport(GLint x, GLint y, GLsizei width, GLsizei height);

#ifdef __cplusplus
}
#endif
#endif
