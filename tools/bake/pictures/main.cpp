// bake-pictures -- paints the demo's pictures and writes them as files.
//
//   bake-pictures --out DIR          the 23 JPEGs and SPLASH.TGA into DIR
//   bake-pictures --sheet FILE.png   a contact sheet of every picture, for review
//
// Both options may be given together. The output depends on nothing but this
// program, its fonts and libjpeg-turbo: the same bytes on every run.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/bake/pictures/canvas.h"
#include "tools/bake/pictures/pictures.h"
#include "tools/common/png.h"

using namespace bake;

namespace {

struct Baked {
  std::string name;
  std::vector<uint8_t> bytes;
};

// The contact sheet shows each picture as decoded from its file, turned
// upright, in a grid with its name underneath; the splash over a checkerboard.
bool WriteSheet(const std::string& path, const std::vector<Baked>& jpegs, const Canvas& splashRgb,
                const Mask& splashAlpha) {
  const int cell = 256, pad = 12, label = 20, cols = 6;
  int count = int(jpegs.size()) + 1;
  int rows = (count + cols - 1) / cols;
  int W = cols * (cell + pad) + pad, H = rows * (cell + pad + label) + pad;
  Canvas sheet(W, H, {0.2, 0.2, 0.22});
  Mask names(W, H);
  TextStyle font;
  font.font = kFontSans;
  font.px = 13;
  auto place = [&](int index, const std::vector<uint8_t>& rgb, int w, int h, bool upsideDown,
                   const std::string& name) {
    int ox = pad + (index % cols) * (cell + pad), oy = pad + (index / cols) * (cell + pad + label);
    int step = w > cell ? w / cell : 1;
    int shownW = w / step, shownH = h / step;
    int x0 = ox + (cell - shownW) / 2, y0 = oy + (cell - shownH) / 2;
    for (int y = 0; y < shownH; ++y) {
      int sy = y * step;
      if (upsideDown) sy = h - 1 - sy;
      for (int x = 0; x < shownW; ++x) {
        const uint8_t* p = &rgb[(size_t(sy) * w + x * step) * 3];
        sheet.At(x0 + x, y0 + y) = {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
      }
    }
    DrawText(names, font, name, ox + cell / 2.0, oy + cell + label / 2.0 + 1);
  };
  const auto& entries = Pictures();
  for (size_t i = 0; i < jpegs.size(); ++i) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!DecodeJpeg(jpegs[i].bytes, &w, &h, &rgb)) return false;
    place(int(i), rgb, w, h, entries[i].bottomRowFirst, jpegs[i].name);
  }
  // The splash, composed over a checkerboard so its alpha shows.
  std::vector<uint8_t> splash(size_t(splashRgb.width) * splashRgb.height * 3);
  for (int y = 0; y < splashRgb.height; ++y) {
    for (int x = 0; x < splashRgb.width; ++x) {
      double a = splashAlpha.At(x, y);
      double check = ((x / 16 + y / 16) & 1) ? 0.75 : 0.55;
      const Rgb& p = splashRgb.At(x, y);
      uint8_t* o = &splash[(size_t(y) * splashRgb.width + x) * 3];
      o[0] = uint8_t(Clamp01(Mix(check, p.r, a)) * 255 + 0.5);
      o[1] = uint8_t(Clamp01(Mix(check, p.g, a)) * 255 + 0.5);
      o[2] = uint8_t(Clamp01(Mix(check, p.b, a)) * 255 + 0.5);
    }
  }
  // Shown at 4/5 so it fits a cell.
  std::vector<uint8_t> small(256 * 192 * 3);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x)
      for (int k = 0; k < 3; ++k)
        small[(size_t(y) * 256 + x) * 3 + k] = splash[(size_t(y * 5 / 4) * 320 + x * 5 / 4) * 3 + k];
  place(int(jpegs.size()), small, 256, 192, false, "SPLASH.TGA");
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) sheet.At(x, y) = MixRgb(sheet.At(x, y), {1, 1, 1}, names.At(x, y));
  std::vector<uint8_t> out = ToRgb8(sheet, false);
  return WritePngRgb(path, W, H, out.data());
}

int Usage() {
  std::fprintf(stderr, "usage: bake-pictures [--out DIR] [--sheet FILE.png]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir, sheetPath;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      outDir = argv[++i];
    } else if (std::strcmp(argv[i], "--sheet") == 0 && i + 1 < argc) {
      sheetPath = argv[++i];
    } else {
      return Usage();
    }
  }
  if (outDir.empty() && sheetPath.empty()) return Usage();

  std::vector<Baked> jpegs;
  for (const PictureEntry& entry : Pictures()) {
    Canvas c(entry.width, entry.height);
    if (!entry.paint(c)) {
      std::fprintf(stderr, "bake-pictures: %s: cannot render its lettering (font %s)\n", entry.name,
                   kFontSansBold);
      return 1;
    }
    std::vector<uint8_t> rgb = ToRgb8(c, entry.bottomRowFirst);
    std::vector<uint8_t> jpeg = EncodeJpeg(rgb, entry.width, entry.height, entry.quality, entry.subsample420);
    if (jpeg.empty()) {
      std::fprintf(stderr, "bake-pictures: %s: JPEG encoding failed\n", entry.name);
      return 1;
    }
    jpegs.push_back({entry.name, std::move(jpeg)});
  }
  Canvas splashRgb;
  Mask splashAlpha;
  if (!PaintSplash(&splashRgb, &splashAlpha)) {
    std::fprintf(stderr, "bake-pictures: SPLASH.TGA: cannot render its lettering\n");
    return 1;
  }

  if (!outDir.empty()) {
    for (const Baked& b : jpegs) {
      if (!WriteFile(outDir + "/" + b.name, b.bytes)) {
        std::fprintf(stderr, "bake-pictures: cannot write %s/%s\n", outDir.c_str(), b.name.c_str());
        return 1;
      }
    }
    if (!WriteFile(outDir + "/SPLASH.TGA", EncodeTga(splashRgb, splashAlpha))) {
      std::fprintf(stderr, "bake-pictures: cannot write %s/SPLASH.TGA\n", outDir.c_str());
      return 1;
    }
  }
  if (!sheetPath.empty() && !WriteSheet(sheetPath, jpegs, splashRgb, splashAlpha)) {
    std::fprintf(stderr, "bake-pictures: cannot write the contact sheet %s\n", sheetPath.c_str());
    return 1;
  }
  return 0;
}
