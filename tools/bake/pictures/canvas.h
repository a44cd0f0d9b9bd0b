// canvas.h -- the picture baker's drawing kit: deterministic maths, noise,
// float RGB canvases, blur, lettering and the JPEG / TGA writers.
//
// Determinism: every picture must come out byte for byte the same on every
// run and every x86-64 Debian machine. The libm transcendental functions may
// pick CPU-specific code paths at run time, so the generators use only the
// functions below, which are built from +, -, *, /, sqrt, floor and ldexp
// (all exactly rounded by IEEE 754). No -ffast-math, no time, no locale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bake {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 6.28318530717958647692;

// Deterministic replacements for the libm functions (accuracy ~1e-15).
double Sin(double x);
double Cos(double x);
double Exp(double x);
double Log(double x);                 // x > 0
double Pow(double x, double y);       // x >= 0; Pow(0, y) = 0
double Atan2(double y, double x);     // radians, -pi..pi

double Clamp01(double x);
double Mix(double a, double b, double t);
// Hermite step: 0 at or below e0, 1 at or above e1 (e0 may exceed e1).
double SmoothStep(double e0, double e1, double x);

// Integer hash of a lattice point and a seed, as a value in [0, 1).
double Hash01(int32_t x, int32_t y, uint32_t seed);

// Value noise in [0, 1] with quintic interpolation. `period` > 0 makes it
// repeat every `period` units in x and y (for tiling pictures); 0 = no repeat.
double Noise(double x, double y, uint32_t seed, int period = 0);
// Sum of `octaves` noise layers, each double the frequency and `gain` times
// the weight of the one before, normalised back to [0, 1].
double Fbm(double x, double y, uint32_t seed, int octaves, double gain = 0.5, int period = 0);

struct Rgb {
  double r, g, b;
};
Rgb operator+(Rgb a, Rgb b);
Rgb operator*(Rgb a, double s);
Rgb operator*(Rgb a, Rgb b);
Rgb MixRgb(Rgb a, Rgb b, double t);

// A float RGB picture, top row first (as it is seen), values nominally 0..1.
struct Canvas {
  int width = 0, height = 0;
  std::vector<Rgb> px;
  Canvas() = default;
  Canvas(int w, int h, Rgb fill = {0, 0, 0});
  Rgb& At(int x, int y) { return px[size_t(y) * width + x]; }
  const Rgb& At(int x, int y) const { return px[size_t(y) * width + x]; }
};

// A single-channel float picture (coverage, alpha, masks), top row first.
struct Mask {
  int width = 0, height = 0;
  std::vector<double> v;
  Mask() = default;
  Mask(int w, int h) : width(w), height(h), v(size_t(w) * h, 0.0) {}
  double& At(int x, int y) { return v[size_t(y) * width + x]; }
  double At(int x, int y) const { return v[size_t(y) * width + x]; }
};

// Fills every pixel from f(u, v), u and v in 0..1 across the picture (left to
// right, top to bottom), averaging ss x ss samples per pixel.
template <class F>
void Shade(Canvas& c, int ss, F f) {
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      Rgb sum{0, 0, 0};
      for (int j = 0; j < ss; ++j) {
        for (int i = 0; i < ss; ++i) {
          double u = (x + (i + 0.5) / ss) / c.width;
          double v = (y + (j + 0.5) / ss) / c.height;
          sum = sum + f(u, v);
        }
      }
      c.At(x, y) = sum * (1.0 / (ss * ss));
    }
  }
}

// Gaussian blur with standard deviation `sigma` pixels, edges clamped.
Mask Blur(const Mask& m, double sigma);

// Lettering from a TrueType font. The text is laid out on one line, centred
// on (cx, cy) in pixels (cy is the middle of the capital height), with a pixel
// size `px`, scaled horizontally by `xScale` and slanted by `shear` (x offset
// per unit of height). Coverage is added (saturating) into `m`.
struct TextStyle {
  std::string font;      // path of the .ttf file
  double px = 32;        // em size in pixels
  double xScale = 1.0;   // horizontal squeeze or stretch
  double shear = 0.0;    // italic slant
  double tracking = 0.0; // extra space between letters, pixels
};
// Returns false when the font cannot be opened or a glyph fails to render.
bool DrawText(Mask& m, const TextStyle& style, const std::string& text, double cx, double cy);
// Width in pixels that DrawText would give the text.
double TextWidth(const TextStyle& style, const std::string& text);

// Quantises to 8 bits: rows top first, R, G, B per pixel; `flipRows` stores
// the bottom row first.
std::vector<uint8_t> ToRgb8(const Canvas& c, bool flipRows);

// Encodes packed RGB as a baseline JFIF JPEG (libjpeg-turbo, accurate DCT,
// fixed quality and subsampling). Empty on failure.
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height,
                                int quality, bool subsample420);
// Decodes a JPEG to packed RGB, rows in stream order. False on failure.
bool DecodeJpeg(const std::vector<uint8_t>& jpeg, int* width, int* height,
                std::vector<uint8_t>* rgb);

// An uncompressed 32-bit TGA 2.0 file: 18-byte header (descriptor 0x08,
// origin bottom left), B, G, R, A entries bottom row first, 26-byte footer.
// `rgb` and `alpha` are top row first.
std::vector<uint8_t> EncodeTga(const Canvas& rgb, const Mask& alpha);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace bake
