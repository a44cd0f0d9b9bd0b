// shader_source.cpp -- the fixed-function pipeline in GLSL ES 3.00: vertex
// transformation, per-vertex lighting (front and back), texture coordinate
// generation and the texture matrix, then per fragment the texture
// environment, fog, alpha test and the blend done by hand. program.cpp puts
// the #defines of one variant in front of each.
#include "program.h"

namespace gl11 {

const char* const kVertexShader = R"(
layout(location = 0) in vec4 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_colour;
layout(location = 3) in vec2 a_tex;
// The matrices arrive transposed: a vector times one is the dot products
// with the matrix's rows, as Mesa's fixed-function programs compute it, so
// positions come out the same to the last bit.
uniform mat4 u_mvp;
uniform mat4 u_modelview;
uniform mat3 u_normalMatrix;  // the inverse of the modelview's 3 x 3, not transposed
uniform mat4 u_texMatrix;
#ifdef POINTS
uniform float u_pointSize;   // a whole number of pixels
uniform vec4 u_viewport[2];  // x, y, width, height: GL's, and the driver's while points are drawn
flat out vec2 v_pointLow;    // the window pixel at the square's lower left
#endif
#ifdef WIDE
layout(location = 4) in vec4 a_other;  // the line's other end, and the side
uniform vec2 u_vpHalf;
uniform float u_halfWidth;
#endif
#ifdef LIGHTING
uniform vec4 u_lightModelAmbient;
uniform vec4 u_material[8];  // per side: ambient, diffuse, specular, emission
uniform float u_shininess[2];
uniform vec4 u_lightPos[8];  // eye space; a direction normalised, a position divided by w
uniform vec3 u_lightAmb[8];
uniform vec3 u_lightDiff[8];
uniform vec3 u_lightSpec[8];
uniform vec3 u_lightAtt[8];
uniform vec3 u_lightSpot[8];     // exponent, cosine of the cutoff, 1 when a spot light
uniform vec3 u_lightSpotDir[8];  // eye space, normalised
#endif
#ifdef GEN
uniform vec4 u_objectPlanes[4];
uniform vec4 u_eyePlanes[4];  // eye space
#endif
FLAT out vec4 v_colour;
#ifdef TWO_SIDE
FLAT out vec4 v_back;
#endif
#ifdef TEX_PROJ
out vec4 v_tex;
#else
out vec2 v_tex;
#endif
#ifdef FOG
out float v_fog;
#endif

#ifdef LIGHTING
// GL's lighting equation for one side, as Mesa evaluates it.
vec4 shade(vec3 n, vec3 eye, int side, bool tracked) {
    vec4 amb = u_material[side * 4], diff = u_material[side * 4 + 1];
    vec4 spec = u_material[side * 4 + 2], emis = u_material[side * 4 + 3];
    if (tracked) {
#ifdef CM_AMBIENT
        amb = a_colour;
#endif
#ifdef CM_DIFFUSE
        diff = a_colour;
#endif
#ifdef CM_SPECULAR
        spec = a_colour;
#endif
#ifdef CM_EMISSION
        emis = a_colour;
#endif
    }
#ifdef LOCAL_VIEWER
    vec3 V = -normalize(eye);
#else
    vec3 V = vec3(0.0, 0.0, 1.0);
#endif
    vec3 c = emis.rgb + amb.rgb * u_lightModelAmbient.rgb;
    for (int i = 0; i < LIGHT_COUNT; ++i) {
        vec3 L = u_lightPos[i].xyz;
        float att = 1.0;
        if (u_lightPos[i].w != 0.0) {
            // The direction to the light normalised by one reciprocal
            // square root, the distance its reciprocal, the attenuation
            // the dot product of (1, d, d * d): as Mesa's fixed function.
            vec3 d = u_lightPos[i].xyz - eye;
            float inverse = inversesqrt(dot(d, d));
            L = d * inverse;
#ifdef ATTENUATION
            float dist = 1.0 / inverse;
            att = 1.0 / dot(u_lightAtt[i], vec3(1.0, dist, dist * dist));
#endif
        }
#ifdef SPOT
        // The cone applies to directional lights as well (from the light's
        // direction), as GL's lighting equation has it.
        if (u_lightSpot[i].z != 0.0) {
            float s = dot(-L, u_lightSpotDir[i]);
            att *= s >= u_lightSpot[i].y ? (u_lightSpot[i].x == 0.0 ? 1.0 : pow(max(s, 0.0), u_lightSpot[i].x)) : 0.0;
        }
#endif
        float nl = dot(n, L);
        vec3 contribution = amb.rgb * u_lightAmb[i];
        if (nl > 0.0) {
            float nh = max(dot(n, normalize(L + V)), 0.0);
            // x^0 is 1 for every x here, 0 included (pow(0, 0) is undefined in GLSL).
            float f = u_shininess[side] == 0.0 ? 1.0 : pow(nh, u_shininess[side]);
            contribution += nl * diff.rgb * u_lightDiff[i] + f * spec.rgb * u_lightSpec[i];
        }
        c += att * contribution;
    }
    return clamp(vec4(c, diff.a), 0.0, 1.0);
}
#endif

void main() {
    gl_Position = a_pos * u_mvp;
#ifdef WIDE
    // A wide line as a quad: each end moved half the width across the
    // line's minor axis, in window pixels.
    vec4 other = vec4(a_other.xyz, 1.0) * u_mvp;
    vec2 d = other.xy / other.w * u_vpHalf - gl_Position.xy / gl_Position.w * u_vpHalf;
    vec2 offset = abs(d.x) >= abs(d.y) ? vec2(0.0, a_other.w * u_halfWidth) : vec2(a_other.w * u_halfWidth, 0.0);
    gl_Position.xy += offset / u_vpHalf * gl_Position.w;
#endif
#ifdef POINTS
    // GL 1.1 draws a point as a square of whole pixels: of an odd size
    // centred on the pixel the point falls in, of an even one on the pixel
    // corner nearest to it (the window position taken to 1/256 of a pixel,
    // as the rasteriser snaps it), and keeps or clips the whole point by
    // where the point itself is. ES centres its square on the position, where
    // a position on a pixel's edge falls to either side, and clips the square
    // to the viewport: the square is drawn a pixel larger, around GL's, into
    // a viewport grown past GL's (the same window position), and the
    // fragment shader keeps GL's pixels.
    gl_PointSize = u_pointSize + 1.0;
    vec2 exact = (gl_Position.xy / gl_Position.w * 0.5 + 0.5) * u_viewport[0].zw + u_viewport[0].xy;
    vec2 window = floor(exact * 256.0 + 0.5) / 256.0;
    v_pointLow = mod(u_pointSize, 2.0) == 1.0 ? floor(window) - (u_pointSize - 1.0) * 0.5
                                              : floor(window + 0.5) - u_pointSize * 0.5;
    // (A point that clipping put on the volume's boundary stays, rounding
    // or not.)
    if (any(greaterThan(abs(gl_Position.xyz), vec3(gl_Position.w * 1.000001))))
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);  // outside the clip volume: behind the far plane
    else
        gl_Position.xy = ((exact - u_viewport[1].xy) / u_viewport[1].zw * 2.0 - 1.0) * gl_Position.w;
#endif
#ifdef EYE
    vec4 eye4 = a_pos * u_modelview;
    vec3 eye = eye4.xyz / eye4.w;
#endif
#ifdef NORMAL
    vec3 n = a_normal * u_normalMatrix;
#ifdef NORMALIZE
    n = normalize(n);
#endif
#endif
#ifdef LIGHTING
    v_colour = shade(n, eye, 0, CM_FACES != 2);
#ifdef TWO_SIDE
    v_back = shade(-n, eye, 1, CM_FACES != 1);
#endif
#else
    v_colour = clamp(a_colour, 0.0, 1.0);
#endif
#ifdef FOG
    v_fog = abs(eye4.z);
#endif
    vec4 tc = vec4(a_tex, 0.0, 1.0);
#ifdef GEN
    vec2 sphere = vec2(0.0);
#if GEN_S == 3 || GEN_T == 3
    vec3 u = normalize(eye4.xyz);
    vec3 r = u - 2.0 * dot(n, u) * n;
    sphere = r.xy * (0.5 * inversesqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0))) + 0.5;
#endif
#endif
#define GENERATE(c, mode, i, sphereValue) \
    if (mode == 1) tc.c = dot(u_objectPlanes[i], a_pos); \
    if (mode == 2) tc.c = dot(u_eyePlanes[i], eye4); \
    if (mode == 3) tc.c = sphereValue;
#if GEN_S != 0
    GENERATE(x, GEN_S, 0, sphere.x)
#endif
#if GEN_T != 0
    GENERATE(y, GEN_T, 1, sphere.y)
#endif
#if GEN_R != 0
    GENERATE(z, GEN_R, 2, 0.0)
#endif
#if GEN_Q != 0
    GENERATE(w, GEN_Q, 3, 0.0)
#endif
#ifdef TEX_PROJ
    v_tex = u_texMatrix * tc;
#else
    v_tex = tc.xy;
#endif
}
)";

// Kept as plain as Mesa's own fixed-function shaders where the state is
// plain (a texel times the colour, read straight from the interpolated
// coordinate), so that llvmpipe takes its fast paths for them alike.
const char* const kFragmentShader = R"(
FLAT in vec4 v_colour;
#ifdef TWO_SIDE
FLAT in vec4 v_back;
#endif
#ifdef TEX_PROJ
in vec4 v_tex;
#else
in vec2 v_tex;
#endif
#ifdef POINTS
uniform float u_pointSize;
flat in vec2 v_pointLow;
#endif
#ifdef FOG
in float v_fog;
uniform vec4 u_fogParams;  // end, 1 / (end - start), density
uniform vec4 u_fogColour;
#endif
uniform sampler2D u_texture;
uniform vec4 u_envColour;
uniform float u_alphaRef;  // in the colour buffer's fixed point: 0 to 255
#if defined(BLEND_ALPHA) || defined(BLEND_COLOUR)
uniform sampler2D u_under;  // the pixels under the draw, from u_underOrigin on
uniform vec2 u_underOrigin;
// a * b / 255 for bytes, from t = a * b, as blend.cpp has it.
vec4 byteProduct(vec4 t) { return floor((t + floor(t / 256.0) + 128.0) / 256.0); }
#endif
out vec4 o_colour;
void main() {
#ifdef POINTS
    vec2 pixel = floor(gl_FragCoord.xy) - v_pointLow;
    if (any(lessThan(pixel, vec2(0.0))) || any(greaterThanEqual(pixel, vec2(u_pointSize)))) discard;
#endif
    vec4 c = v_colour;
#ifdef TWO_SIDE
#if FACE == 2
    c = v_back;
#elif FACE == 0
    if (!gl_FrontFacing) c = v_back;
#endif
#endif
#ifdef TEXTURE
#ifdef TEX_PROJ
    vec4 t = textureProj(u_texture, v_tex.xyw);
#else
    vec4 t = texture(u_texture, v_tex);
#endif
#if ENV == 0
    c = t * c;  // GL_MODULATE
#elif ENV == 1
    c.rgb = mix(c.rgb, t.rgb, t.a);  // GL_DECAL
#elif ENV == 2
    c = vec4(mix(c.rgb, u_envColour.rgb, t.rgb), c.a * t.a);  // GL_BLEND
#else
#ifdef TEX_ALPHA
    c = t;  // GL_REPLACE
#else
    c.rgb = t.rgb;
#endif
#endif
#endif
#ifdef FOG
#if FOG == 1
    float f = (u_fogParams.x - v_fog) * u_fogParams.y;
#elif FOG == 2
    float f = exp(-u_fogParams.z * v_fog);
#else
    float f = exp(-(u_fogParams.z * v_fog) * (u_fogParams.z * v_fog));
#endif
    c.rgb = mix(u_fogColour.rgb, c.rgb, clamp(f, 0.0, 1.0));
#endif
#ifdef ALPHA_FUNC
    // GL compares the alpha rounded to the colour buffer's fixed point (8
    // bits), as the reference is: values a fraction of a level apart are equal.
    float a = roundEven(clamp(c.a, 0.0, 1.0) * 255.0);
#if ALPHA_FUNC == 0x200
    discard;
#elif ALPHA_FUNC == 0x201
    if (!(a < u_alphaRef)) discard;
#elif ALPHA_FUNC == 0x202
    if (!(a == u_alphaRef)) discard;
#elif ALPHA_FUNC == 0x203
    if (!(a <= u_alphaRef)) discard;
#elif ALPHA_FUNC == 0x204
    if (!(a > u_alphaRef)) discard;
#elif ALPHA_FUNC == 0x205
    if (!(a != u_alphaRef)) discard;
#elif ALPHA_FUNC == 0x206
    if (!(a >= u_alphaRef)) discard;
#endif
#endif
    o_colour = c;
#if defined(BLEND_ALPHA) || defined(BLEND_COLOUR)
    vec4 s = floor(clamp(o_colour, 0.0, 1.0) * 255.0 + 0.5);
    vec4 d = floor(texelFetch(u_under, ivec2(gl_FragCoord.xy - u_underOrigin), 0) * 255.0 + 0.5);
#ifdef BLEND_ALPHA
    vec4 w = vec4(s.a);
#else
    vec4 w = s;
#endif
    o_colour = (byteProduct(s * w) + byteProduct(d * (255.0 - w))) / 255.0;
#endif
}
)";

}  // namespace gl11
