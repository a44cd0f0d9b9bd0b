// pictures.cpp -- paints every picture of the demo.
//
// One palette and one look across the set: deep blue-violet darkness, glows
// in amber, cyan and magenta, white lettering with soft halos. Pictures that
// lie over the whole 4:3 screen (the eye, the vortex, the keyed fronts and
// titles) are painted in screen proportions: a square texture is stretched
// 4:3 on screen, so their x axis is squeezed by 3/4 here.
#include "tools/bake/pictures/pictures.h"

#include <cmath>
#include <utility>

namespace bake {

const char* const kFontSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const kFontSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

namespace {

constexpr double kScreenAspect = 4.0 / 3.0;

double Len(double x, double y) { return std::sqrt(x * x + y * y); }
double Frac(double x) { return x - std::floor(x); }

// Screen-proportioned coordinates of a full-screen picture: X from -4/3 to
// 4/3 left to right, Y from 1 (top) to -1 (bottom).
void ScreenXY(double u, double v, double* x, double* y) {
  *x = (u - 0.5) * 2 * kScreenAspect;
  *y = (0.5 - v) * 2;
}

// Cosine palette: a + b cos(2 pi (c t + d)) per channel.
Rgb Palette(double t, Rgb a, Rgb b, Rgb c, Rgb d) {
  return {a.r + b.r * Cos(kTwoPi * (c.r * t + d.r)), a.g + b.g * Cos(kTwoPi * (c.g * t + d.g)),
          a.b + b.b * Cos(kTwoPi * (c.b * t + d.b))};
}

// Round glow for additive sprites: bright core, coloured glow, wide halo,
// all forced to black from `edge` (1 = the middle of the picture's sides).
Rgb Glow(double u, double v, Rgb colour, double core, double glow, double halo, double haloGain,
         double edge) {
  double r = 2 * Len(u - 0.5, v - 0.5);
  double window = SmoothStep(edge, edge * 0.55, r);
  double c = Exp(-(r / core) * (r / core));
  double g = Exp(-(r / glow) * (r / glow));
  double h = Exp(-(r / halo) * (r / halo));
  Rgb white{1, 1, 1};
  return (white * (c * 0.95) + colour * (g * 0.85 + h * haloGain)) * window;
}

// Letters are white; `halo` mask adds a grey glow around them (grey mixes
// in the colour-keyed overlay, white replaces, black leaves the scene).
void ComposeKeyed(Canvas& c, const Mask& letters, const Mask& halo, double haloGain) {
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      double l = letters.At(x, y);
      double h = Clamp01(halo.At(x, y) * haloGain);
      Rgb& p = c.At(x, y);
      double base = Clamp01((p.r + p.g + p.b) / 3);
      double g = Clamp01(base + h - base * h);
      double v = l + g * (1 - l);
      p = {v, v, v};
    }
  }
}

// Horizontal anti-aliased line of thickness 1 px into a mask, intensity fading
// out toward its ends when `fade` > 0.
void HLine(Mask& m, int y, double x0, double x1, double level, double fade = 0) {
  for (int x = 0; x < m.width; ++x) {
    double cx = x + 0.5;
    double cover = Clamp01(std::fmin(cx - x0 + 0.5, x1 - cx + 0.5));
    if (cover <= 0) continue;
    double f = 1;
    if (fade > 0) {
      double mid = (x0 + x1) / 2, half = (x1 - x0) / 2;
      double t = std::fabs(cx - mid) / half;
      f = Pow(Clamp01(1 - t), fade);
    }
    double& d = m.At(x, y);
    d = std::fmax(d, cover * level * f);
  }
}
void VLine(Mask& m, int x, double y0, double y1, double level) {
  for (int y = 0; y < m.height; ++y) {
    double cy = y + 0.5;
    double cover = Clamp01(std::fmin(cy - y0 + 0.5, y1 - cy + 0.5));
    if (cover <= 0) continue;
    double& d = m.At(x, y);
    d = std::fmax(d, cover * level);
  }
}

TextStyle Style(const char* font, double px, double xScale, double shear = 0, double tracking = 0) {
  TextStyle s;
  s.font = font;
  s.px = px;
  s.xScale = xScale;
  s.shear = shear;
  s.tracking = tracking;
  return s;
}

// ---------------------------------------------------------------------------
// Flat pictures
// ---------------------------------------------------------------------------

bool PaintWhite(Canvas& c) {
  Shade(c, 1, [](double, double) { return Rgb{1, 1, 1}; });
  return true;
}
bool PaintBlack(Canvas& c) {
  Shade(c, 1, [](double, double) { return Rgb{0, 0, 0}; });
  return true;
}

// ---------------------------------------------------------------------------
// PLASMA.JPG: tiling colour plasma. Every term is periodic over the picture,
// so the texture repeats seamlessly where the ripples push the coordinates
// past its edges.
// ---------------------------------------------------------------------------

// Colour ramp of the plasma: night blue, blue, violet, magenta, orange, gold.
Rgb PlasmaRamp(double t) {
  static const Rgb stops[6] = {{0.02, 0.02, 0.14}, {0.08, 0.3, 0.95}, {0.55, 0.12, 0.85},
                               {1.0, 0.25, 0.5},   {1.0, 0.62, 0.12}, {1.0, 0.86, 0.45}};
  double x = Clamp01(t) * 5;
  int i = x >= 5 ? 4 : int(x);
  return MixRgb(stops[i], stops[i + 1], SmoothStep(0, 1, x - i));
}

bool PaintPlasma(Canvas& c) {
  Shade(c, 1, [](double u, double v) {
    double a = kTwoPi * u, b = kTwoPi * v;
    double p = Sin(a + 1.2 * Sin(b)) + Sin(2 * b + 0.9 * Sin(a - b)) + 0.8 * Sin(a + b + 1.4 * Sin(2 * a - b));
    double q = Sin(2 * a - b + 0.8 * Cos(a + 2 * b));
    double t = Pow(0.5 + 0.5 * Sin(p * 1.6 + q * 0.5), 1.35);
    return PlasmaRamp(t) * (0.62 + 0.3 * (0.5 + 0.5 * Sin(p * 3.1 - q)));
  });
  return true;
}

// ---------------------------------------------------------------------------
// Keyed lettering pictures
// ---------------------------------------------------------------------------

// A title line with a chrome-like fill: white at the top of the letters,
// slightly translucent grey further down, a glowing halo and a light streak.
bool PaintTitle(Canvas& c) {
  Mask letters(c.width, c.height);
  TextStyle big = Style(kFontSansBold, 92, 0.75, 0.2, -2);
  TextStyle small = Style(kFontSansBold, 30, 0.75, 0.2, 1);
  double wBig = TextWidth(big, "Demo"), wSmall = TextWidth(small, "v0.17");
  if (!DrawText(letters, big, "Demo", 128, 108)) return false;
  if (!DrawText(letters, small, "v0.17", 128 + wBig / 2 - wSmall / 2, 158)) return false;
  // Chrome fill: the letters' grey level follows a vertical ramp with a
  // bright band just above the middle of the capitals.
  Mask fill(c.width, c.height);
  for (int y = 0; y < c.height; ++y) {
    double t = (y - 75.0) / 66.0;  // 0 at the top of "Demo", 1 at its baseline
    double level = 1.0 - 0.22 * SmoothStep(0.45, 0.55, t) + 0.22 * SmoothStep(0.85, 1.0, t);
    if (y > 145) level = 1.0;  // the version number stays plain white
    for (int x = 0; x < c.width; ++x) fill.At(x, y) = letters.At(x, y) * level;
  }
  Mask wide = Blur(letters, 7), tight = Blur(letters, 2.2);
  Mask halo(c.width, c.height);
  for (size_t i = 0; i < halo.v.size(); ++i) halo.v[i] = 0.75 * wide.v[i] + 0.45 * tight.v[i];
  // A light streak along the baseline, strongest in the middle.
  Mask streak(c.width, c.height);
  HLine(streak, 143, 10, 246, 0.9, 2.2);
  HLine(streak, 144, 40, 216, 0.35, 2.0);
  for (size_t i = 0; i < halo.v.size(); ++i) halo.v[i] += streak.v[i];
  ComposeKeyed(c, fill, halo, 1.0);
  return true;
}

bool PaintOutro(Canvas& c) {
  Mask letters(c.width, c.height);
  TextStyle big = Style(kFontSansBold, 50, 0.75, 0.0, 3);
  TextStyle small = Style(kFontSans, 12, 0.75, 0.0, 1);
  if (!DrawText(letters, big, "THE END", 128, 188)) return false;
  if (!DrawText(letters, small, "thanks for watching  -  Demo v0.17", 128, 222)) return false;
  Mask halo = Blur(letters, 6);
  Mask tight = Blur(letters, 1.8);
  for (size_t i = 0; i < halo.v.size(); ++i) halo.v[i] = 0.8 * halo.v[i] + 0.4 * tight.v[i];
  Mask streak(c.width, c.height);
  HLine(streak, 208, 6, 250, 0.8, 2.5);
  for (size_t i = 0; i < halo.v.size(); ++i) halo.v[i] += streak.v[i];
  ComposeKeyed(c, letters, halo, 1.0);
  return true;
}

// Draws `text` with its right end at x = right.
bool DrawTextRight(Mask& m, const TextStyle& st, const std::string& text, double right, double cy) {
  return DrawText(m, st, text, right - TextWidth(st, text) / 2, cy);
}

// Front picture of the demo's third part: a thin screen frame with tick
// marks and a caption.
bool PaintSpiralFront(Canvas& c) {
  Mask lines(c.width, c.height), letters(c.width, c.height);
  const int top = 14, bottom = 238;
  HLine(lines, top, 10, 246, 0.85);
  HLine(lines, bottom, 10, 246, 0.85);
  VLine(lines, 10, top, top + 12, 0.85);
  VLine(lines, 245, top, top + 12, 0.85);
  VLine(lines, 10, bottom - 11, bottom + 1, 0.85);
  VLine(lines, 245, bottom - 11, bottom + 1, 0.85);
  for (int x = 26; x < 240; x += 12) VLine(lines, x, bottom - 3, bottom, x % 48 == 26 ? 0.8 : 0.45);
  for (int x = 26; x < 240; x += 12) VLine(lines, x, top + 1, top + 3, 0.45);
  if (!DrawText(letters, Style(kFontSansBold, 22, 0.75, 0.15, 2), "HELIX", 42, 222)) return false;
  if (!DrawTextRight(letters, Style(kFontSans, 10, 0.75, 0, 1), "into the vortex", 240, 227))
    return false;
  if (!DrawTextRight(letters, Style(kFontSansBold, 14, 0.75, 0, 1), "03", 240, 28)) return false;
  for (size_t i = 0; i < lines.v.size(); ++i) letters.v[i] = std::fmax(letters.v[i], lines.v[i]);
  Mask halo = Blur(letters, 3.5);
  ComposeKeyed(c, letters, halo, 1.1);
  return true;
}

// Front picture of the fourth part: corner brackets and a caption.
bool PaintSpikeFront(Canvas& c) {
  Mask marks(c.width, c.height);
  const double inset = 14, arm = 34;
  for (int t = 0; t < 2; ++t) {
    int top = int(inset) + t, bottom = c.height - 1 - int(inset) - t;
    int left = int(inset) + t, right = c.width - 1 - int(inset) - t;
    HLine(marks, top, inset, inset + arm, 0.9);
    HLine(marks, top, c.width - inset - arm, c.width - inset, 0.9);
    HLine(marks, bottom, inset, inset + arm, 0.9);
    HLine(marks, bottom, c.width - inset - arm, c.width - inset, 0.9);
    VLine(marks, left, inset, inset + arm, 0.9);
    VLine(marks, right, inset, inset + arm, 0.9);
    VLine(marks, left, c.height - inset - arm, c.height - inset, 0.9);
    VLine(marks, right, c.height - inset - arm, c.height - inset, 0.9);
  }
  if (!DrawTextRight(marks, Style(kFontSansBold, 24, 0.75, 0.2, 3), "SPIKE", 222, 212)) return false;
  if (!DrawTextRight(marks, Style(kFontSans, 10, 0.75, 0, 2), "part four", 220, 228)) return false;
  if (!DrawText(marks, Style(kFontSansBold, 14, 0.75, 0, 1), "04", 38, 34)) return false;
  Mask halo = Blur(marks, 4);
  ComposeKeyed(c, marks, halo, 1.0);
  return true;
}

// Front picture of the fifth part: large hollow, translucent lettering
// along the bottom, scan lines in the top left corner.
bool PaintSpikeFront2(Canvas& c) {
  Mask solid(c.width, c.height);
  TextStyle huge = Style(kFontSansBold, 70, 0.75, 0.18, 2);
  if (!DrawText(solid, huge, "PULSE", 128, 212)) return false;
  Mask grown = Blur(solid, 1.3);
  Mask letters(c.width, c.height);
  for (size_t i = 0; i < solid.v.size(); ++i) {
    double rim = Clamp01(grown.v[i] * 2.6) - solid.v[i];
    letters.v[i] = Clamp01(std::fmax(rim, 0) * 1.0 + solid.v[i] * 0.22);
  }
  // Scan lines across the top, fading to the right.
  for (int y = 12; y < 46; y += 3) HLine(letters, y, 12, 140, 0.35 * (1 - (y - 12) / 40.0), 1.2);
  if (!DrawText(letters, Style(kFontSansBold, 14, 0.75, 0, 1), "05", 232, 26)) return false;
  HLine(letters, 244, 12, 244, 0.7, 1.5);
  Mask halo = Blur(letters, 4);
  ComposeKeyed(c, letters, halo, 0.9);
  return true;
}

// ---------------------------------------------------------------------------
// AUGE.JPG: a large eye filling the frame.
// ---------------------------------------------------------------------------

Rgb EyeAt(double u, double v) {
  double X, Y;
  ScreenXY(u, v, &X, &Y);
  const double corner = 1.3;
  double k = Clamp01(1 - (X / corner) * (X / corner));
  double upper = 0.05 + 0.47 * Pow(k, 0.7);
  double lower = 0.05 - 0.48 * Pow(k, 0.9);
  double inside = std::fmin(upper - Y, Y - lower);
  double open = SmoothStep(-0.006, 0.02, inside) * (std::fabs(X) < corner ? 1 : 0);

  // Skin around the eye: dark, with a lid crease and soft pores.
  double pores = Fbm(X * 9, Y * 9, 11, 5, 0.55);
  Rgb skin = Rgb{0.27, 0.18, 0.17} * (0.55 + 0.6 * pores);
  double crease = upper + 0.24 + 0.03 * X * X;
  skin = skin * (1 - 0.55 * Exp(-((Y - crease) / 0.035) * ((Y - crease) / 0.035)));
  skin = skin * (0.55 + 0.45 * SmoothStep(0.35, 0.0, std::fabs(inside)));
  // Fine folds following the lower lid.
  double below = lower - Y;
  double fold = 0.5 + 0.5 * Sin(below * 95 + 6 * Fbm(X * 3, Y * 3, 13, 3));
  skin = skin * (1 - 0.25 * fold * SmoothStep(0.0, 0.05, below) * SmoothStep(0.35, 0.1, below) * k);
  // Wet rims along both lids.
  double rimU = Exp(-((Y - upper - 0.012) / 0.012) * ((Y - upper - 0.012) / 0.012));
  double rimL = Exp(-((Y - lower + 0.015) / 0.013) * ((Y - lower + 0.015) / 0.013));
  skin = skin + Rgb{0.55, 0.38, 0.36} * (0.35 * rimU + 0.6 * rimL) * k;
  // Lashes: fine dark strands hanging over the upper lid edge.
  double strands = Noise(X * 55 + (Y - upper) * 30 * X, 0.5, 23);
  double lash = 0.6 * SmoothStep(0.5, 0.8, strands) * SmoothStep(0.05, 0.0, std::fabs(Y - upper + 0.012));

  // Sclera: white, shaded toward the corners and under the upper lid.
  Rgb sclera{0.66, 0.64, 0.66};
  double shade = (0.35 + 0.65 * SmoothStep(corner, 0.25, std::fabs(X))) *
                 (0.35 + 0.65 * SmoothStep(0.0, 0.3, upper - Y));
  // Rounded: brighter next to the iris, darker toward the lids and corners.
  double fromIris = Len(X, Y - 0.08);
  shade *= 1.1 - 0.45 * SmoothStep(0.5, 1.3, fromIris);
  sclera = sclera * shade;
  double veinField = Fbm(X * 5 + 3, Y * 5, 31, 5, 0.55);
  double vein = SmoothStep(0.018, 0.0, std::fabs(veinField - 0.5)) * SmoothStep(0.45, 1.1, std::fabs(X));
  sclera = MixRgb(sclera, Rgb{0.6, 0.1, 0.1} * shade, 0.7 * vein);

  // Iris.
  const double cx = 0.0, cy = 0.08, R = 0.5, pupil = 0.16;
  double dx = X - cx, dy = Y - cy, r = Len(dx, dy), rn = r / R;
  double theta = Atan2(dy, dx);
  double a = theta / kTwoPi + 0.5;  // 0..1 around
  double fibres = Fbm(a * 48, rn * 3.0, 41, 4, 0.6, 48);
  double streak = Noise(a * 160, rn * 1.3, 43, 160);
  double fine = Noise(a * 300, rn * 4.0, 47, 300);
  Rgb deep{0.03, 0.16, 0.34}, light{0.25, 0.62, 0.85}, amber{0.85, 0.5, 0.14};
  Rgb iris = MixRgb(deep, light, SmoothStep(0.25, 0.8, fibres));
  double collar = 0.48 + 0.07 * (Noise(a * 20, 0.0, 53, 20) - 0.5);
  iris = MixRgb(iris, amber * (0.7 + 0.5 * streak), SmoothStep(collar + 0.08, collar - 0.06, rn));
  double hair = Noise(a * 640, rn * 0.9, 49, 640);
  iris = iris * (0.45 + 0.85 * streak * (0.7 + 0.3 * fine)) * (0.8 + 0.4 * hair);
  iris = iris + Rgb{0.9, 0.7, 0.3} * (0.5 * Exp(-((rn - collar) / 0.03) * ((rn - collar) / 0.03)));
  double crypt = SmoothStep(0.3, 0.2, Fbm(a * 24, rn * 5, 59, 3, 0.5, 24)) * SmoothStep(0.35, 0.6, rn);
  iris = iris * (1 - 0.6 * crypt);
  iris = iris * (0.2 + 0.8 * SmoothStep(1.0, 0.8, rn));  // dark limbal ring
  double pupilEdge = pupil / R + 0.015 * (Noise(a * 30, 0, 61, 30) - 0.5);
  iris = iris * SmoothStep(pupilEdge, pupilEdge + 0.04, rn);
  iris = iris * (0.35 + 0.65 * SmoothStep(0.0, 0.3, upper - Y));
  double inIris = SmoothStep(1.02, 0.98, rn);

  Rgb ball = MixRgb(sclera, iris, inIris);
  // Reflections of a bright window on the cornea.
  double h1 = Len(X - cx + 0.16, Y - cy - 0.16);
  double h2 = Len(X - cx - 0.13, Y - cy + 0.1);
  // The window: four soft panes bulged by the cornea.
  double wx = (X - cx + 0.17) / 0.06, wy = (Y - cy - 0.17) / 0.06;
  double pane = SmoothStep(1.0, 0.75, Len(wx * 0.9, wy)) *
                SmoothStep(0.04, 0.12, std::fabs(wx)) * SmoothStep(0.04, 0.12, std::fabs(wy));
  ball = ball + Rgb{0.9, 0.95, 1.0} * (0.8 * pane + 0.45 * Exp(-(h1 / 0.1) * (h1 / 0.1)) +
                                       0.8 * Exp(-(h2 / 0.02) * (h2 / 0.02)));
  ball = ball * (1 - 0.8 * lash);

  Rgb colour = MixRgb(skin, ball, open);
  double vignette = SmoothStep(1.55, 0.6, Len(X * 0.8, Y * 1.05));
  return colour * vignette;
}

bool PaintEye(Canvas& c) {
  Shade(c, 2, EyeAt);
  return true;
}

// ---------------------------------------------------------------------------
// Sprites: round glows, black well inside the edges.
// ---------------------------------------------------------------------------

bool PaintParticle1(Canvas& c) {  // amber
  Shade(c, 1, [](double u, double v) {
    return Glow(u, v, {1.0, 0.55, 0.12}, 0.08, 0.26, 0.5, 0.32, 0.88);
  });
  return true;
}

bool PaintParticle2(Canvas& c) {  // cyan, with a faint four-pointed star
  Shade(c, 2, [](double u, double v) {
    Rgb col{0.2, 0.62, 1.0};
    Rgb g = Glow(u, v, col, 0.07, 0.24, 0.5, 0.3, 0.88);
    double x = std::fabs(u - 0.5) * 2, y = std::fabs(v - 0.5) * 2;
    double ray = Exp(-x / 0.018) * Exp(-y / 0.22) + Exp(-y / 0.018) * Exp(-x / 0.22);
    double window = SmoothStep(0.85, 0.5, Len(x, y));
    return g + (Rgb{0.6, 0.85, 1.0} * (0.7 * ray * window));
  });
  return true;
}

bool PaintParticle3(Canvas& c) {  // magenta, with a soft ring
  Shade(c, 2, [](double u, double v) {
    Rgb col{1.0, 0.22, 0.7};
    Rgb g = Glow(u, v, col, 0.08, 0.22, 0.48, 0.28, 0.88);
    double r = 2 * Len(u - 0.5, v - 0.5);
    double ring = Exp(-((r - 0.36) / 0.05) * ((r - 0.36) / 0.05)) * SmoothStep(0.85, 0.5, r);
    return g + col * (0.35 * ring);
  });
  return true;
}

bool PaintGlow(Canvas& c) {  // big warm white glow
  Shade(c, 1, [](double u, double v) {
    return Glow(u, v, {1.0, 0.78, 0.45}, 0.12, 0.4, 0.7, 0.3, 0.97);
  });
  return true;
}

bool PaintGlow2(Canvas& c) {  // big violet-blue glow
  Shade(c, 1, [](double u, double v) {
    return Glow(u, v, {0.5, 0.35, 1.0}, 0.1, 0.38, 0.66, 0.35, 0.97);
  });
  return true;
}

bool PaintSmoke(Canvas& c) {
  Shade(c, 1, [](double u, double v) {
    double r = 2 * Len(u - 0.5, v - 0.5);
    double n = Fbm(u * 5, v * 5, 71, 5, 0.55);
    double m = Fbm(u * 11 + 7, v * 11, 73, 3, 0.5);
    double puff = Exp(-(r / 0.55) * (r / 0.55)) * SmoothStep(0.9, 0.45, r);
    double density = puff * Clamp01(0.15 + 1.5 * (n - 0.3)) * (0.75 + 0.5 * m);
    return Rgb{0.8, 0.8, 0.84} * density;
  });
  return true;
}

// ---------------------------------------------------------------------------
// SPIRAL.JPG: a deep vortex of glowing gas.
// ---------------------------------------------------------------------------

bool PaintSpiral(Canvas& c) {
  Shade(c, 2, [](double u, double v) {
    double X, Y;
    ScreenXY(u, v, &X, &Y);
    double r = Len(X, Y) + 1e-4;
    double theta = Atan2(Y, X);
    double lr = Log(r);
    double phi = theta + 2.4 * lr;               // logarithmic spiral
    double arms = 0.5 + 0.5 * Cos(3 * phi);
    arms = Pow(arms, 2.5);
    // Gas noise in the twisted frame: x wraps once around (period 8).
    double gx = phi / kTwoPi * 8;
    double gas = Fbm(gx, lr * 2.2, 81, 5, 0.55, 8);
    double wisps = Fbm(gx * 2 + 3, lr * 5, 83, 4, 0.5, 16);
    double density = (0.12 + arms * 1.1) * (0.2 + 1.5 * SmoothStep(0.3, 0.72, gas)) * (0.6 + 0.8 * wisps);
    Rgb outer{0.06, 0.1, 0.45}, mid{0.5, 0.18, 0.85}, inner{0.55, 0.85, 1.0};
    Rgb col = MixRgb(outer, mid, SmoothStep(1.2, 0.45, r));
    col = MixRgb(col, inner, SmoothStep(0.4, 0.08, r));
    double fade = SmoothStep(1.6, 0.25, r);
    double core = Exp(-(r / 0.1) * (r / 0.1));
    double depth = 1 - 0.85 * Exp(-(r / 0.035) * (r / 0.035));  // a dark eye in the middle
    // Faint stars, drawn into the whirl: sparse bright texels.
    double star = Hash01(int(std::floor(u * 256)), int(std::floor(v * 256)), 85);
    double stars = SmoothStep(0.996, 1.0, star) * SmoothStep(0.3, 0.9, r);
    return (col * (density * fade) + Rgb{0.8, 0.9, 1.0} * (core + 0.7 * stars)) * depth;
  });
  return true;
}

// ---------------------------------------------------------------------------
// BODEN.JPG: steel floor plates with glowing seams.
// ---------------------------------------------------------------------------

bool PaintFloor(Canvas& c) {
  Shade(c, 3, [](double u, double v) {
    const int plates = 8;
    double pu = u * plates, pv = v * plates;
    int i = int(std::floor(pu)), j = int(std::floor(pv));
    double fx = pu - i, fy = pv - j;
    bool tread = ((i + j) & 1) != 0;
    double vary = Hash01(i, j, 91) * 0.1;
    double blot = Fbm(u * 12, v * 12, 97, 4, 0.5);
    Rgb col;
    if (tread) {
      // Tread plate: rows of raised bars, alternating direction, lit from
      // the top left.
      col = Rgb{0.4, 0.42, 0.5} * (0.9 + vary);
      double gx = fx * 6, gy = fy * 6;
      int cx = int(std::floor(gx)), cy = int(std::floor(gy));
      double lx = gx - cx - 0.5, ly = gy - cy - 0.5;
      if ((cx + cy) & 1) std::swap(lx, ly);
      double ax = (lx + ly) * 0.7071, ay = (lx - ly) * 0.7071;  // bar along a diagonal
      double bar = SmoothStep(0.3, 0.24, std::fabs(ax)) * SmoothStep(0.1, 0.05, std::fabs(ay));
      double side = ay < 0 ? 1.45 : 0.6;
      col = col * Mix(1.0, side, bar * SmoothStep(0.0, 0.05, std::fabs(ay)));
      col = col * (1 + 0.25 * bar);
    } else {
      // Spun plate: fine concentric grain around the plate's middle.
      double r = Len(fx - 0.5, fy - 0.5);
      double grain = Noise(r * 140, Hash01(i, j, 93) * 50, 95);
      double sheen = 0.5 + 0.5 * Cos(2 * Atan2(fy - 0.5, fx - 0.5) - 0.8);
      col = Rgb{0.2, 0.22, 0.3} * (0.85 + vary + 0.2 * grain + 0.35 * sheen);
    }
    col = col * (0.85 + 0.3 * (blot - 0.5));
    // Bevelled edges.
    double e = std::fmin(std::fmin(fx, fy), std::fmin(1 - fx, 1 - fy));
    double bevel = SmoothStep(0.075, 0.055, e);
    bool litSide = std::fmin(fx, fy) < std::fmin(1 - fx, 1 - fy);
    col = col * Mix(1.0, litSide ? 1.5 : 0.45, bevel);
    // Rivets in the corners.
    for (int k = 0; k < 4; ++k) {
      double rx = (k & 1) ? 0.88 : 0.12, ry = (k & 2) ? 0.88 : 0.12;
      double d = Len(fx - rx, fy - ry) / 0.045;
      if (d < 1.4) {
        double dome = SmoothStep(1.0, 0.8, d);
        double hl = Exp(-Len(fx - rx + 0.015, fy - ry + 0.015) / 0.012);
        double shadow = SmoothStep(1.35, 1.0, Len(fx - rx - 0.012, fy - ry - 0.012) / 0.045);
        col = col * (1 - 0.5 * shadow * (1 - dome));
        col = MixRgb(col, Rgb{0.25, 0.26, 0.3} + Rgb{0.9, 0.9, 1.0} * hl, dome);
      }
    }
    // Seams: dark grooves lit from inside by a cyan glow.
    double groove = SmoothStep(0.014, 0.006, e);
    col = col * (1 - 0.85 * groove);
    col = col + Rgb{0.1, 0.75, 1.0} * (0.9 * Exp(-(e / 0.009) * (e / 0.009)));
    return col;
  });
  return true;
}

// ---------------------------------------------------------------------------
// Sphere maps: a mirrored world of sky, glowing horizon, tiled ground and sun.
// ---------------------------------------------------------------------------

struct SkyPalette {
  Rgb zenith, horizon, glow, ground, groundTile, sun;
};

Rgb SphereMapAt(double u, double v, const SkyPalette& p) {
  double x = 2 * u - 1, y = 1 - 2 * v;  // y up
  double rr = x * x + y * y;
  if (rr > 0.998) {
    double s = std::sqrt(0.998 / rr);
    x *= s;
    y *= s;
    rr = 0.998;
  }
  double nz = std::sqrt(1 - rr);
  double Rx = 2 * nz * x, Ry = 2 * nz * y, Rz = 2 * nz * nz - 1;
  Rgb col;
  if (Ry >= 0) {
    col = MixRgb(p.horizon, p.zenith, Pow(Ry, 0.45));
    double clouds = Fbm(Rx / (Ry + 0.25) * 2, Rz / (Ry + 0.25) * 2, 101, 4, 0.5);
    col = col + p.horizon * (0.25 * SmoothStep(0.55, 0.8, clouds) * (1 - Ry));
  } else {
    double gx = Rx / -Ry, gz = Rz / -Ry;
    double checker = ((int(std::floor(gx * 1.2)) + int(std::floor(gz * 1.2))) & 1) ? 1.0 : 0.0;
    double fadeOut = SmoothStep(0.0, -0.35, Ry);
    Rgb ground = MixRgb(p.ground, p.groundTile, checker * fadeOut);
    col = MixRgb(p.horizon * 0.6, ground, SmoothStep(0.0, -0.2, Ry));
  }
  col = col + p.glow * Exp(-(Ry / 0.04) * (Ry / 0.04));
  // Sun up and to the left, behind the viewer's shoulder.
  double sx = -0.45, sy = 0.55, sz = 0.7;
  double sl = Len(Len(sx, sy), sz);
  double d = (Rx * sx + Ry * sy + Rz * sz) / sl;
  if (d > 0) col = col + p.sun * (3.0 * Pow(d, 600) + 0.35 * Pow(d, 24));
  return col;
}

bool PaintBall(Canvas& c) {
  SkyPalette p{{0.01, 0.03, 0.16}, {0.25, 0.55, 0.9}, {0.6, 0.9, 1.0},
               {0.05, 0.05, 0.08}, {0.2, 0.25, 0.35}, {1.0, 0.95, 0.85}};
  Shade(c, 2, [&p](double u, double v) { return SphereMapAt(u, v, p); });
  return true;
}

bool PaintBall2(Canvas& c) {
  SkyPalette p{{0.12, 0.0, 0.18}, {0.9, 0.35, 0.2}, {1.0, 0.75, 0.35},
               {0.1, 0.02, 0.06}, {0.35, 0.1, 0.2}, {1.0, 0.85, 0.9}};
  Shade(c, 2, [&p](double u, double v) { return SphereMapAt(u, v, p); });
  return true;
}

// ---------------------------------------------------------------------------
// GRIDMAP.JPG: the cloth, a colour grid of bright lines on dark cells.
// ---------------------------------------------------------------------------

bool PaintGridMap(Canvas& c) {
  Shade(c, 2, [](double u, double v) {
    const double cells = 8;
    double du = std::fabs(Frac(u * cells + 0.5) - 0.5) * 256 / cells;  // pixels to line
    double dv = std::fabs(Frac(v * cells + 0.5) - 0.5) * 256 / cells;
    double d = std::fmin(du, dv);
    Rgb hue = Palette(u * 0.55 + v * 0.35, {0.55, 0.5, 0.6}, {0.45, 0.45, 0.4}, {1, 1, 1},
                      {0.55, 0.75, 0.95});
    double cu = Frac(u * cells) - 0.5, cv = Frac(v * cells) - 0.5;
    double cellGlow = 0.3 + 0.2 * Exp(-Len(cu, cv) * Len(cu, cv) / 0.08);
    Rgb col = hue * cellGlow;
    double line = SmoothStep(2.4, 1.2, d);
    double glow = Exp(-(d / 5) * (d / 5));
    col = col + hue * (0.6 * glow);
    col = MixRgb(col, MixRgb(hue, Rgb{1, 1, 1}, 0.35), line);
    return col;
  });
  return true;
}

// ---------------------------------------------------------------------------
// LOOK.JPG (stored upright): a lens-flare look: glowing rings and ghosts.
// ---------------------------------------------------------------------------

bool PaintLook(Canvas& c) {
  Shade(c, 2, [](double u, double v) {
    double x = (u - 0.5) * 2, y = (0.5 - v) * 2;
    double r = Len(x, y);
    Rgb col = Rgb{1.0, 0.9, 0.75} * Exp(-(r / 0.08) * (r / 0.08)) * 1.2;
    col = col + Rgb{0.9, 0.5, 0.2} * (0.45 * Exp(-(r / 0.3) * (r / 0.3)));
    // A spectral ring.
    double ringT = (r - 0.55) / 0.08;
    if (std::fabs(ringT) < 3) {
      Rgb spectrum = Palette(ringT * 0.18 + 0.5, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1, 1, 1},
                             {0.0, 0.33, 0.67});
      col = col + spectrum * (0.45 * Exp(-ringT * ringT / 2));
    }
    // Ghosts along the diagonal.
    const double gx[3] = {-0.35, 0.25, 0.55}, gr[3] = {0.09, 0.05, 0.13};
    const Rgb gc[3] = {{0.3, 0.6, 1.0}, {1.0, 0.4, 0.8}, {0.4, 1.0, 0.6}};
    for (int k = 0; k < 3; ++k) {
      double d = Len(x - gx[k], y + gx[k]) / gr[k];
      col = col + gc[k] * (0.35 * SmoothStep(1.0, 0.85, d) * (0.5 + 0.5 * d));
    }
    // Streak.
    col = col + Rgb{0.6, 0.75, 1.0} * (0.6 * Exp(-std::fabs(y) / 0.01) * Exp(-std::fabs(x) / 0.45));
    return col * SmoothStep(1.45, 0.7, r);
  });
  return true;
}

// ---------------------------------------------------------------------------
// MAP.JPG: a glowing contour map of an island landscape with a lettered grid.
// ---------------------------------------------------------------------------

bool PaintMap(Canvas& c) {
  Shade(c, 2, [](double u, double v) {
    double h = Fbm(u * 3 + 1.7, v * 3 + 0.3, 111, 4, 0.45);
    double land = h - 0.3 * Len(u - 0.5, v - 0.5);
    const double sea = 0.3;
    Rgb col;
    if (land < sea) {  // dark sea, deepening away from the coast
      col = MixRgb(Rgb{0.02, 0.12, 0.2}, Rgb{0.0, 0.01, 0.05}, SmoothStep(sea, sea - 0.12, land));
    } else {           // dark land, brighter on the heights
      col = MixRgb(Rgb{0.03, 0.1, 0.07}, Rgb{0.12, 0.2, 0.1}, SmoothStep(sea, 0.55, land));
    }
    // Contour lines every 0.035 of height, glowing green on land.
    double f = std::fabs(Frac((land - sea) / 0.035) - 0.5);
    double contour = SmoothStep(0.12, 0.03, 0.5 - f) * (land > sea ? 1.0 : 0.0);
    col = col + Rgb{0.25, 0.9, 0.55} * (0.5 * contour);
    double coast = Exp(-((land - sea) / 0.005) * ((land - sea) / 0.005));
    col = col + Rgb{0.5, 1.0, 1.0} * (0.9 * coast);
    double gu = std::fabs(Frac(u * 8 + 0.5) - 0.5) * 64, gv = std::fabs(Frac(v * 8 + 0.5) - 0.5) * 64;
    col = col + Rgb{0.15, 0.35, 0.7} * (0.45 * SmoothStep(1.0, 0.3, std::fmin(gu, gv)));
    return col;
  });
  Mask letters(c.width, c.height);
  TextStyle label = Style(kFontSansBold, 14, 1.0);
  for (int k = 0; k < 8; ++k) {
    char col[2] = {char('A' + k), 0}, row[2] = {char('1' + k), 0};
    if (!DrawText(letters, label, col, 64 * k + 32, 12)) return false;
    if (!DrawText(letters, label, row, 10, 64 * k + 32)) return false;
  }
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      c.At(x, y) = MixRgb(c.At(x, y), Rgb{0.85, 1.0, 1.0}, letters.At(x, y));
  return true;
}

// ---------------------------------------------------------------------------
// TESTPATTERN.JPG: grid, circle, colour bars, grey steps, lettering.
// ---------------------------------------------------------------------------

bool PaintTestPattern(Canvas& c) {
  Shade(c, 2, [](double u, double v) {
    double x = u * 512, y = v * 512;
    Rgb col{0.13, 0.13, 0.16};
    double gx = std::fabs(Frac(x / 32 + 0.5) - 0.5) * 32, gy = std::fabs(Frac(y / 32 + 0.5) - 0.5) * 32;
    col = MixRgb(col, Rgb{0.55, 0.55, 0.6}, SmoothStep(1.0, 0.4, std::fmin(gx, gy)));
    double r = Len(x - 256, y - 256);
    if (y >= 176 && y < 256 && std::fabs(x - 256) < 192) {  // colour bars
      static const Rgb bars[8] = {{0.75, 0.75, 0.75}, {0.75, 0.75, 0}, {0, 0.75, 0.75}, {0, 0.75, 0},
                                  {0.75, 0, 0.75},    {0.75, 0, 0},    {0, 0, 0.75},    {0, 0, 0}};
      col = bars[int((x - 64) / 48)];
    } else if (y >= 256 && y < 300 && std::fabs(x - 256) < 192) {  // grey steps
      double step = std::floor((x - 64) / 24) / 15;
      col = Rgb{1, 1, 1} * step;
    } else if (y >= 300 && y < 336 && std::fabs(x - 256) < 192) {  // frequency sweep
      double f = 0.02 + (x - 64) / 384 * 0.45;
      double s = 0.5 + 0.5 * Sin(kTwoPi * f * (x - 64) * 0.5);
      col = Rgb{s, s, s};
    }
    col = MixRgb(col, Rgb{1, 1, 1}, SmoothStep(1.6, 0.6, std::fabs(r - 200)));
    col = MixRgb(col, Rgb{1, 1, 1}, SmoothStep(1.2, 0.4, std::fabs(r - 40)));
    double cross = std::fmin(std::fabs(x - 256), std::fabs(y - 256));
    if (r < 40) col = MixRgb(col, Rgb{1, 1, 1}, SmoothStep(1.0, 0.4, cross));
    // Corner markers: a triangle pointing into each corner.
    double cxd = std::fmin(x, 512 - x), cyd = std::fmin(y, 512 - y);
    if (cxd + cyd < 28) col = Rgb{1.0, 0.55, 0.1};
    return col;
  });
  Mask letters(c.width, c.height);
  if (!DrawText(letters, Style(kFontSansBold, 30, 1.0, 0, 2), "TESTPATTERN", 256, 130)) return false;
  if (!DrawText(letters, Style(kFontSans, 20, 1.0, 0, 1), "512 x 512", 256, 372)) return false;
  if (!DrawText(letters, Style(kFontSansBold, 16, 1.0), "TOP", 256, 16)) return false;
  if (!DrawText(letters, Style(kFontSansBold, 16, 1.0), "BOTTOM", 256, 496)) return false;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      c.At(x, y) = MixRgb(c.At(x, y), Rgb{1, 1, 1}, letters.At(x, y));
  return true;
}

}  // namespace

const std::vector<PictureEntry>& Pictures() {
  static const std::vector<PictureEntry> pictures = {
      {"AUGE.JPG", 256, 256, true, 90, false, PaintEye},
      {"BALL.JPG", 256, 256, true, 85, true, PaintBall},
      {"BALL2.JPG", 256, 256, true, 85, true, PaintBall2},
      {"BLACK.JPG", 128, 128, false, 90, true, PaintBlack},
      {"BODEN.JPG", 256, 256, false, 88, true, PaintFloor},
      {"GLOW.JPG", 256, 256, false, 88, true, PaintGlow},
      {"GLOW2.JPG", 256, 256, false, 88, true, PaintGlow2},
      {"GRIDMAP.JPG", 256, 256, false, 88, true, PaintGridMap},
      {"LOOK.JPG", 256, 256, false, 88, true, PaintLook},
      {"MAP.JPG", 512, 512, true, 78, true, PaintMap},
      {"OUTTRO.JPG", 256, 256, true, 90, true, PaintOutro},
      {"PARTICLE1.JPG", 256, 256, false, 88, true, PaintParticle1},
      {"PARTICLE2.JPG", 256, 256, false, 88, true, PaintParticle2},
      {"PARTICLE3.JPG", 256, 256, false, 88, true, PaintParticle3},
      {"PLASMA.JPG", 256, 256, false, 88, true, PaintPlasma},
      {"SMOKE.JPG", 256, 256, false, 85, true, PaintSmoke},
      {"SPIKEFRONT.JPG", 256, 256, true, 90, true, PaintSpikeFront},
      {"SPIKEFRONT2.JPG", 256, 256, true, 90, true, PaintSpikeFront2},
      {"SPIRAL.JPG", 256, 256, true, 85, true, PaintSpiral},
      {"SPIRALFRONT.JPG", 256, 256, true, 90, true, PaintSpiralFront},
      {"TESTPATTERN.JPG", 512, 512, true, 85, true, PaintTestPattern},
      {"TITLE.JPG", 256, 256, true, 90, true, PaintTitle},
      {"WHITE.JPG", 128, 128, false, 90, true, PaintWhite},
  };
  return pictures;
}

bool PaintSplash(Canvas* rgb, Mask* alpha) {
  const int w = 320, h = 240;
  *rgb = Canvas(w, h);
  *alpha = Mask(w, h);
  // A rounded card whose outline fades over a wide band.
  const double halfW = 152, halfH = 112, corner = 40, band = 44;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double px = std::fabs(x + 0.5 - w / 2.0) - (halfW - corner);
      double py = std::fabs(y + 0.5 - h / 2.0) - (halfH - corner);
      double outside = Len(std::fmax(px, 0), std::fmax(py, 0)) + std::fmin(std::fmax(px, py), 0.0) - corner;
      alpha->At(x, y) = SmoothStep(0, -band, outside);
    }
  }
  Shade(*rgb, 2, [](double u, double v) {
    double x = (u - 0.5) * 2 * (320.0 / 240.0), y = (0.5 - v) * 2;
    double r = Len(x, y);
    Rgb col = MixRgb(Rgb{0.16, 0.05, 0.26}, Rgb{0.01, 0.02, 0.08}, SmoothStep(0.0, 1.3, r));
    double theta = Atan2(y, x), lr = Log(r + 1e-4);
    double arms = Pow(0.5 + 0.5 * Cos(3 * (theta + 2.4 * lr)), 3);
    col = col + Rgb{0.1, 0.15, 0.45} * (0.5 * arms * SmoothStep(1.4, 0.2, r));
    return col;
  });
  Mask letters(w, h), small(w, h);
  if (!DrawText(letters, Style(kFontSansBold, 34, 1.0, 0.2, -1), "Demo v0.17", 160, 104)) return false;
  if (!DrawText(small, Style(kFontSans, 13, 1.0, 0, 4), "loading ...", 160, 152)) return false;
  Mask halo = Blur(letters, 5), smallHalo = Blur(small, 2);
  Mask streak(w, h);
  HLine(streak, 131, 20, 300, 1.0, 2.0);
  Mask streakHalo = Blur(streak, 1.5);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      Rgb& p = rgb->At(x, y);
      p = p + Rgb{0.3, 0.6, 1.0} * (0.9 * halo.At(x, y)) + Rgb{0.4, 0.7, 1.0} * (0.6 * smallHalo.At(x, y));
      p = p + Rgb{0.5, 0.8, 1.0} * (streak.At(x, y) * 0.8 + streakHalo.At(x, y) * 0.6);
      p = MixRgb(p, Rgb{1, 1, 1}, letters.At(x, y));
      p = MixRgb(p, Rgb{0.75, 0.85, 1.0}, small.At(x, y));
    }
  }
  return true;
}

}  // namespace bake
