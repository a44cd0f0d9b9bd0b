// canvas.cpp -- see canvas.h.
#include "tools/bake/pictures/canvas.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <turbojpeg.h>

namespace bake {

// ---------------------------------------------------------------------------
// Deterministic maths
// ---------------------------------------------------------------------------

namespace {

constexpr double kHalfPi = 1.57079632679489661923;
constexpr double kLn2 = 0.693147180559945309417;

// Taylor polynomials on |s| <= pi/4.
double SinPoly(double s) {
  double s2 = s * s;
  return s * (1 + s2 * (-1.0 / 6 + s2 * (1.0 / 120 + s2 * (-1.0 / 5040 + s2 * (1.0 / 362880 +
         s2 * (-1.0 / 39916800 + s2 * (1.0 / 6227020800.0 + s2 * (-1.0 / 1307674368000.0))))))));
}
double CosPoly(double s) {
  double s2 = s * s;
  return 1 + s2 * (-1.0 / 2 + s2 * (1.0 / 24 + s2 * (-1.0 / 720 + s2 * (1.0 / 40320 +
         s2 * (-1.0 / 3628800 + s2 * (1.0 / 479001600.0 + s2 * (-1.0 / 87178291200.0)))))));
}

// atan on 0 <= t <= 1, after two half-angle reductions (t <= 0.2).
double AtanUnit(double t) {
  for (int i = 0; i < 2; ++i) t = t / (1 + std::sqrt(1 + t * t));
  double t2 = t * t, term = t, sum = 0;
  for (int k = 0; k < 14; ++k) {
    sum += (k % 2 ? -term : term) / (2 * k + 1);
    term *= t2;
  }
  return 4 * sum;
}

}  // namespace

double Sin(double x) {
  double k = std::floor(x / kTwoPi + 0.5);
  double r = x - k * kTwoPi;                 // -pi..pi
  double q = std::floor(r / kHalfPi + 0.5);  // -2..2
  double s = r - q * kHalfPi;                // -pi/4..pi/4
  int quadrant = (int(q) % 4 + 4) % 4;
  switch (quadrant) {
    case 0: return SinPoly(s);
    case 1: return CosPoly(s);
    case 2: return -SinPoly(s);
    default: return -CosPoly(s);
  }
}

double Cos(double x) { return Sin(x + kHalfPi); }

double Exp(double x) {
  if (x < -700) return 0;
  if (x > 700) x = 700;
  double k = std::floor(x / kLn2 + 0.5);
  double r = x - k * kLn2;  // |r| <= 0.35
  double sum = 1, term = 1;
  for (int n = 1; n <= 16; ++n) {
    term *= r / n;
    sum += term;
  }
  return std::ldexp(sum, int(k));
}

double Log(double x) {
  int e = 0;
  double m = std::frexp(x, &e);  // 0.5..1
  if (m < 0.70710678118654752440) {
    m *= 2;
    --e;
  }
  double f = (m - 1) / (m + 1), f2 = f * f, term = f, sum = 0;
  for (int k = 0; k < 12; ++k) {
    sum += term / (2 * k + 1);
    term *= f2;
  }
  return 2 * sum + e * kLn2;
}

double Pow(double x, double y) {
  if (x <= 0) return 0;
  return Exp(y * Log(x));
}

double Atan2(double y, double x) {
  double ax = std::fabs(x), ay = std::fabs(y);
  if (ax == 0 && ay == 0) return 0;
  double a = ay <= ax ? AtanUnit(ay / ax) : kHalfPi - AtanUnit(ax / ay);
  if (x < 0) a = kPi - a;
  return y < 0 ? -a : a;
}

double Clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
double SmoothStep(double e0, double e1, double x) {
  double t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb operator*(Rgb a, double s) { return {a.r * s, a.g * s, a.b * s}; }
Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Rgb MixRgb(Rgb a, Rgb b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }

Canvas::Canvas(int w, int h, Rgb fill) : width(w), height(h), px(size_t(w) * h, fill) {}

// ---------------------------------------------------------------------------
// Noise
// ---------------------------------------------------------------------------

double Hash01(int32_t x, int32_t y, uint32_t seed) {
  uint64_t h = (uint64_t(uint32_t(x)) << 32) ^ uint32_t(y);
  h ^= uint64_t(seed) * 0x9E3779B97F4A7C15ull;
  h += 0x9E3779B97F4A7C15ull;
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  h ^= h >> 31;
  return double(h >> 11) * (1.0 / 9007199254740992.0);
}

double Noise(double x, double y, uint32_t seed, int period) {
  double fx = std::floor(x), fy = std::floor(y);
  int32_t ix = int32_t(fx), iy = int32_t(fy);
  double tx = x - fx, ty = y - fy;
  double sx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
  double sy = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
  auto wrap = [period](int32_t i) { return period > 0 ? ((i % period) + period) % period : i; };
  int32_t x0 = wrap(ix), x1 = wrap(ix + 1), y0 = wrap(iy), y1 = wrap(iy + 1);
  double a = Hash01(x0, y0, seed), b = Hash01(x1, y0, seed);
  double c = Hash01(x0, y1, seed), d = Hash01(x1, y1, seed);
  return Mix(Mix(a, b, sx), Mix(c, d, sx), sy);
}

double Fbm(double x, double y, uint32_t seed, int octaves, double gain, int period) {
  double sum = 0, weight = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * Noise(x, y, seed + 101u * o, period);
    total += weight;
    weight *= gain;
    x *= 2;
    y *= 2;
    if (period > 0) period *= 2;
  }
  return sum / total;
}

// ---------------------------------------------------------------------------
// Blur
// ---------------------------------------------------------------------------

Mask Blur(const Mask& m, double sigma) {
  int radius = int(std::ceil(sigma * 3));
  std::vector<double> k(size_t(2 * radius + 1));
  double total = 0;
  for (int i = -radius; i <= radius; ++i) {
    k[i + radius] = Exp(-(i * i) / (2 * sigma * sigma));
    total += k[i + radius];
  }
  for (double& w : k) w /= total;
  Mask tmp(m.width, m.height), out(m.width, m.height);
  for (int y = 0; y < m.height; ++y) {
    for (int x = 0; x < m.width; ++x) {
      double s = 0;
      for (int i = -radius; i <= radius; ++i) {
        int xx = x + i < 0 ? 0 : (x + i >= m.width ? m.width - 1 : x + i);
        s += k[i + radius] * m.At(xx, y);
      }
      tmp.At(x, y) = s;
    }
  }
  for (int y = 0; y < m.height; ++y) {
    for (int x = 0; x < m.width; ++x) {
      double s = 0;
      for (int i = -radius; i <= radius; ++i) {
        int yy = y + i < 0 ? 0 : (y + i >= m.height ? m.height - 1 : y + i);
        s += k[i + radius] * tmp.At(x, yy);
      }
      out.At(x, y) = s;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Lettering
// ---------------------------------------------------------------------------

namespace {

struct Face {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  bool Open(const TextStyle& st) {
    if (FT_Init_FreeType(&lib) != 0) return false;
    if (FT_New_Face(lib, st.font.c_str(), 0, &face) != 0) return false;
    // 26.6 fixed point; the pixel size is rounded to 1/64 so it is exact.
    FT_Set_Char_Size(face, FT_F26Dot6(std::floor(st.px * 64 + 0.5)), 0, 72, 72);
    FT_Matrix mat;
    mat.xx = FT_Fixed(std::floor(st.xScale * 65536 + 0.5));
    mat.xy = FT_Fixed(std::floor(st.shear * 65536 + 0.5));
    mat.yx = 0;
    mat.yy = 0x10000;
    FT_Set_Transform(face, &mat, nullptr);
    return true;
  }
  ~Face() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
};

// Walks the glyphs of `text`, calling f(glyph slot, pen x in pixels).
template <class F>
bool Layout(Face& f, const TextStyle& st, const std::string& text, F each, double* width) {
  double pen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (FT_Load_Char(f.face, (unsigned char)text[i], FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0)
      return false;
    each(f.face->glyph, pen);
    pen += f.face->glyph->advance.x / 64.0;
    if (i + 1 < text.size()) pen += st.tracking;
  }
  *width = pen;
  return true;
}

}  // namespace

double TextWidth(const TextStyle& style, const std::string& text) {
  Face f;
  if (!f.Open(style)) return 0;
  double w = 0;
  Layout(f, style, text, [](FT_GlyphSlot, double) {}, &w);
  return w;
}

bool DrawText(Mask& m, const TextStyle& style, const std::string& text, double cx, double cy) {
  Face f;
  if (!f.Open(style)) return false;
  double width = 0;
  if (!Layout(f, style, text, [](FT_GlyphSlot, double) {}, &width)) return false;
  // Capital height from the font's 'H', to centre the line vertically.
  if (FT_Load_Char(f.face, 'H', FT_LOAD_NO_HINTING) != 0) return false;
  double capHeight = f.face->glyph->metrics.height / 64.0;
  int originX = int(std::floor(cx - width / 2 + 0.5));
  int baseY = int(std::floor(cy + capHeight / 2 + 0.5));
  return Layout(f, style, text, [&](FT_GlyphSlot g, double pen) {
    const FT_Bitmap& bm = g->bitmap;
    int left = originX + int(std::floor(pen + 0.5)) + g->bitmap_left;
    int top = baseY - g->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r) {
      for (unsigned c = 0; c < bm.width; ++c) {
        int x = left + int(c), y = top + int(r);
        if (x < 0 || y < 0 || x >= m.width || y >= m.height) continue;
        double cov = bm.buffer[r * bm.pitch + c] / 255.0;
        double& d = m.At(x, y);
        d = d + cov > 1 ? 1 : d + cov;
      }
    }
  }, &width);
}

// ---------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------

namespace {
uint8_t To8(double v) {
  v = Clamp01(v) * 255 + 0.5;
  return uint8_t(int(v));
}
}  // namespace

std::vector<uint8_t> ToRgb8(const Canvas& c, bool flipRows) {
  std::vector<uint8_t> out(size_t(c.width) * c.height * 3);
  for (int y = 0; y < c.height; ++y) {
    int sy = flipRows ? c.height - 1 - y : y;
    for (int x = 0; x < c.width; ++x) {
      const Rgb& p = c.At(x, sy);
      uint8_t* o = &out[(size_t(y) * c.width + x) * 3];
      o[0] = To8(p.r);
      o[1] = To8(p.g);
      o[2] = To8(p.b);
    }
  }
  return out;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height,
                                int quality, bool subsample420) {
  // The TurboJPEG API reads a few environment variables that would change
  // the stream (progressive, optimised or arithmetic coding, restart marks).
  for (const char* var : {"TJ_OPTIMIZE", "TJ_ARITHMETIC", "TJ_PROGRESSIVE", "TJ_RESTART"})
    unsetenv(var);
  std::vector<uint8_t> out;
  tjhandle h = tjInitCompress();
  if (!h) return out;
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  int rc = tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &buf, &size,
                       subsample420 ? TJSAMP_420 : TJSAMP_444, quality,
                       TJFLAG_ACCURATEDCT);
  if (rc == 0) out.assign(buf, buf + size);
  tjFree(buf);
  tjDestroy(h);
  return out;
}

bool DecodeJpeg(const std::vector<uint8_t>& jpeg, int* width, int* height,
                std::vector<uint8_t>* rgb) {
  tjhandle h = tjInitDecompress();
  if (!h) return false;
  int subsamp = 0, colorspace = 0;
  bool ok = tjDecompressHeader3(h, jpeg.data(), (unsigned long)jpeg.size(), width, height,
                                &subsamp, &colorspace) == 0;
  if (ok) {
    rgb->assign(size_t(*width) * *height * 3, 0);
    ok = tjDecompress2(h, jpeg.data(), (unsigned long)jpeg.size(), rgb->data(), *width, 0,
                       *height, TJPF_RGB, TJFLAG_ACCURATEDCT) == 0;
  }
  tjDestroy(h);
  return ok;
}

std::vector<uint8_t> EncodeTga(const Canvas& rgb, const Mask& alpha) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;
  out[12] = uint8_t(rgb.width & 0xFF);
  out[13] = uint8_t(rgb.width >> 8);
  out[14] = uint8_t(rgb.height & 0xFF);
  out[15] = uint8_t(rgb.height >> 8);
  out[16] = 32;
  out[17] = 0x08;
  for (int y = rgb.height - 1; y >= 0; --y) {
    for (int x = 0; x < rgb.width; ++x) {
      const Rgb& p = rgb.At(x, y);
      out.push_back(To8(p.b));
      out.push_back(To8(p.g));
      out.push_back(To8(p.r));
      out.push_back(To8(alpha.At(x, y)));
    }
  }
  for (int i = 0; i < 8; ++i) out.push_back(0);  // extension and developer offsets
  const char sig[] = "TRUEVISION-XFILE.";
  for (int i = 0; i < 17; ++i) out.push_back(uint8_t(sig[i]));
  out.push_back(0);
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace bake
