// The committed pictures: what the loader, the splash and the scenes rely on.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

struct Expected {
  const char* name;
  int width, height;
};

const Expected kJpegs[] = {
    {"AUGE.JPG", 256, 256},        {"BALL.JPG", 256, 256},       {"BALL2.JPG", 256, 256},
    {"BLACK.JPG", 128, 128},       {"BODEN.JPG", 256, 256},      {"GLOW.JPG", 256, 256},
    {"GLOW2.JPG", 256, 256},       {"GRIDMAP.JPG", 256, 256},    {"LOOK.JPG", 256, 256},
    {"MAP.JPG", 512, 512},         {"OUTTRO.JPG", 256, 256},     {"PARTICLE1.JPG", 256, 256},
    {"PARTICLE2.JPG", 256, 256},   {"PARTICLE3.JPG", 256, 256},  {"PLASMA.JPG", 256, 256},
    {"SMOKE.JPG", 256, 256},       {"SPIKEFRONT.JPG", 256, 256}, {"SPIKEFRONT2.JPG", 256, 256},
    {"SPIRAL.JPG", 256, 256},      {"SPIRALFRONT.JPG", 256, 256}, {"TESTPATTERN.JPG", 512, 512},
    {"TITLE.JPG", 256, 256},       {"WHITE.JPG", 128, 128},
};

std::string ResourceDir() { return std::string(RESOURCE_DIR) + "/"; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A decoded picture, rows in stream order (the order the loader uploads).
struct Picture {
  int width = 0, height = 0, subsamp = -1, colorspace = -1;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
  int Max(int x, int y) const {
    const uint8_t* p = At(x, y);
    return std::max(p[0], std::max(p[1], p[2]));
  }
};

bool Decode(const std::vector<uint8_t>& jpeg, Picture* pic) {
  tjhandle h = tjInitDecompress();
  bool ok = h && tjDecompressHeader3(h, jpeg.data(), (unsigned long)jpeg.size(), &pic->width,
                                     &pic->height, &pic->subsamp, &pic->colorspace) == 0;
  if (ok) {
    pic->rgb.assign(size_t(pic->width) * pic->height * 3, 0);
    ok = tjDecompress2(h, jpeg.data(), (unsigned long)jpeg.size(), pic->rgb.data(), pic->width, 0,
                       pic->height, TJPF_RGB, 0) == 0;
  }
  if (h) tjDestroy(h);
  return ok;
}

Picture Load(const std::string& name) {
  Picture pic;
  EXPECT_TRUE(Decode(ReadBytes(ResourceDir() + name), &pic)) << name;
  return pic;
}

// Walks the marker segments up to the first scan. Returns the SOF marker
// seen (0xC0 = baseline) and fills the frame's precision and component count.
struct FrameInfo {
  bool soi = false, jfif = false;
  int sofMarker = 0, precision = 0, components = 0, width = 0, height = 0;
};
FrameInfo ReadFrame(const std::vector<uint8_t>& b) {
  FrameInfo f;
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return f;
  f.soi = true;
  size_t i = 2;
  while (i + 4 <= b.size() && b[i] == 0xFF) {
    int marker = b[i + 1];
    size_t len = size_t(b[i + 2]) << 8 | b[i + 3];
    if (marker == 0xE0 && i + 9 <= b.size() && std::memcmp(&b[i + 4], "JFIF", 5) == 0) f.jfif = true;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC &&
        i + 10 <= b.size()) {
      f.sofMarker = marker;
      f.precision = b[i + 4];
      f.height = b[i + 5] << 8 | b[i + 6];
      f.width = b[i + 7] << 8 | b[i + 8];
      f.components = b[i + 9];
    }
    if (marker == 0xDA) break;
    i += 2 + len;
  }
  return f;
}

TEST(Pictures, EveryPictureIsABaselineJfifOfTheTableSize) {
  for (const Expected& e : kJpegs) {
    SCOPED_TRACE(e.name);
    std::vector<uint8_t> bytes = ReadBytes(ResourceDir() + e.name);
    ASSERT_FALSE(bytes.empty());
    EXPECT_LT(bytes.size(), 80u * 1024) << "keep the pictures modest";
    FrameInfo f = ReadFrame(bytes);
    EXPECT_TRUE(f.soi);
    EXPECT_TRUE(f.jfif);
    EXPECT_EQ(f.sofMarker, 0xC0) << "baseline sequential DCT";
    EXPECT_EQ(f.precision, 8);
    EXPECT_EQ(f.components, 3);
    EXPECT_EQ(f.width, e.width);
    EXPECT_EQ(f.height, e.height);
    Picture pic;
    ASSERT_TRUE(Decode(bytes, &pic));
    EXPECT_EQ(pic.width, e.width);
    EXPECT_EQ(pic.height, e.height);
    EXPECT_EQ(pic.colorspace, TJCS_YCbCr);
  }
}

// The executable carries the whole set, byte for byte the committed files,
// under the picture type (the three never loaded included).
TEST(Pictures, TheExecutableEmbedsAllTwentyFour) {
  std::vector<std::string> names;
  for (const Expected& e : kJpegs) names.push_back(e.name);
  names.push_back("SPLASH.TGA");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Resource r;
    ASSERT_TRUE(Sys_FindResource("ZYN_JPEGTEX", name.c_str(), &r));
    std::vector<uint8_t> file = ReadBytes(ResourceDir() + name);
    ASSERT_EQ(r.size, file.size());
    EXPECT_EQ(std::memcmp(r.data, file.data(), file.size()), 0);
  }
  Resource r;
  EXPECT_FALSE(Sys_FindResource("ZYN_JPEGTEX", "auge.jpg", &r)) << "names are upper case";
}

// The loader uploads the first stored row as t = 0, and the overlays put t = 0
// at the bottom of the screen, so "upright" is the stored picture with its
// rows reversed. The lettering must read the right way up there.
TEST(Pictures, LetteredPicturesReadUprightWhenShownBottomRowFirst) {
  // Centroid of bright texels in the upright picture (y down from the top).
  // Only texels with x in [x0, x1) and upright y in [y0, y1) count.
  auto brightCentroid = [](const Picture& p, double* cx, double* cy, int x0, int x1, int y0 = 0,
                           int y1 = 256) {
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < p.height; ++y) {
      int upright = p.height - 1 - y;
      if (upright < y0 || upright >= y1) continue;
      for (int x = x0; x < x1; ++x)
        if (p.Max(x, y) > 160) {
          sx += x;
          sy += upright;
          n += 1;
        }
    }
    *cx = n ? sx / n : -1;
    *cy = n ? sy / n : -1;
    return n;
  };
  double cx, cy;
  // TITLE: the big word sits above the middle, the small version number
  // below it on the right.
  Picture title = Load("TITLE.JPG");
  ASSERT_GT(brightCentroid(title, &cx, &cy, 0, 256), 500);
  EXPECT_LT(cy, 122) << "the title lettering is upside down";
  // OUTTRO: the end title stands in the lower third.
  Picture outro = Load("OUTTRO.JPG");
  ASSERT_GT(brightCentroid(outro, &cx, &cy, 0, 256), 500);
  EXPECT_GT(cy, 160) << "the outro lettering is upside down";
  // SPIRALFRONT: inside its frame lines, the caption sits in the
  // bottom-left corner.
  Picture front = Load("SPIRALFRONT.JPG");
  ASSERT_GT(brightCentroid(front, &cx, &cy, 20, 90, 24, 232), 100);
  EXPECT_GT(cy, 190) << "the spiral caption is upside down";
  // LOOK is the one picture stored upright: its bright streak and core are
  // centred, so only check it is not empty.
  Picture look = Load("LOOK.JPG");
  EXPECT_GT(look.Max(128, 128), 200);
}

// Sprites are drawn additively: their outer texels must add nothing.
TEST(Pictures, SpritesFadeToBlackBeforeTheirEdges) {
  const char* sprites[] = {"PARTICLE1.JPG", "PARTICLE2.JPG", "PARTICLE3.JPG",
                           "GLOW.JPG",      "GLOW2.JPG",     "SMOKE.JPG"};
  const int depth = 4;
  for (const char* name : sprites) {
    SCOPED_TRACE(name);
    Picture p = Load(name);
    ASSERT_EQ(p.width, 256);
    int worst = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        if (x < depth || y < depth || x >= p.width - depth || y >= p.height - depth)
          worst = std::max(worst, p.Max(x, y));
    EXPECT_LE(worst, 2);
    EXPECT_GT(p.Max(128, 128), 100) << "a sprite needs a bright middle";
  }
}

TEST(Pictures, BlackAndWhiteAreFlat) {
  Picture black = Load("BLACK.JPG"), white = Load("WHITE.JPG");
  ASSERT_EQ(black.rgb.size(), 128u * 128 * 3);
  ASSERT_EQ(white.rgb.size(), 128u * 128 * 3);
  for (uint8_t v : black.rgb) ASSERT_LE(v, 2);
  for (uint8_t v : white.rgb) ASSERT_GE(v, 253);
}

// The colour-keyed pictures: grey only (colour would tint the scene), and
// mostly black, since black is where the scene shows through.
TEST(Pictures, KeyedFrontPicturesAreGreyAndMostlyBlack) {
  const char* keyed[] = {"TITLE.JPG", "OUTTRO.JPG", "SPIRALFRONT.JPG", "SPIKEFRONT.JPG",
                         "SPIKEFRONT2.JPG"};
  for (const char* name : keyed) {
    SCOPED_TRACE(name);
    Picture p = Load(name);
    int black = 0, worstTint = 0;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* c = p.At(x, y);
        int lo = std::min(c[0], std::min(c[1], c[2])), hi = p.Max(x, y);
        worstTint = std::max(worstTint, hi - lo);
        if (hi <= 4) ++black;
      }
    }
    EXPECT_LE(worstTint, 8);
    EXPECT_GT(black, p.width * p.height / 2);
  }
}

TEST(Pictures, SplashIsA32BitTgaWithASoftOutline) {
  std::vector<uint8_t> t = ReadBytes(ResourceDir() + "SPLASH.TGA");
  ASSERT_EQ(t.size(), 307244u);
  EXPECT_EQ(t[0], 0);   // no image ID
  EXPECT_EQ(t[1], 0);   // no colour map
  EXPECT_EQ(t[2], 2);   // uncompressed true colour
  for (int i = 3; i < 12; ++i) EXPECT_EQ(t[i], 0) << "header byte " << i;
  EXPECT_EQ(t[12] | t[13] << 8, 320);
  EXPECT_EQ(t[14] | t[15] << 8, 240);
  EXPECT_EQ(t[16], 32);
  EXPECT_EQ(t[17], 0x08);
  const uint8_t* footer = &t[t.size() - 26];
  for (int i = 0; i < 8; ++i) EXPECT_EQ(footer[i], 0);
  EXPECT_EQ(std::memcmp(footer + 8, "TRUEVISION-XFILE.", 17), 0);
  EXPECT_EQ(footer[25], 0);

  // Entries B, G, R, A from the bottom row up.
  auto alpha = [&](int x, int yFromBottom) { return t[18 + (size_t(yFromBottom) * 320 + x) * 4 + 3]; };
  int clear = 0, opaque = 0, soft = 0;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      int a = alpha(x, y);
      (a == 0 ? clear : a == 255 ? opaque : soft)++;
    }
  EXPECT_GT(clear, 1000);
  EXPECT_GT(opaque, 1000);
  EXPECT_GT(soft, 10000) << "a wide soft band";
  for (int x = 0; x < 320; ++x) {
    EXPECT_EQ(alpha(x, 0), 0);
    EXPECT_EQ(alpha(x, 239), 0);
  }
  for (int y = 0; y < 240; ++y) {
    EXPECT_EQ(alpha(0, y), 0);
    EXPECT_EQ(alpha(319, y), 0);
  }
  EXPECT_EQ(alpha(160, 120), 255);
}

// Runs the baker into a fresh temporary folder with `env` in front of the
// command, compares every file with the committed one and removes the folder.
void ExpectBakerReproducesTheCommittedFiles(const std::string& env) {
  char dir[] = "/tmp/bake-pictures-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string cmd = env + " " + BAKE_PICTURES + " --out " + dir;
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::vector<std::string> names;
  for (const Expected& e : kJpegs) names.push_back(e.name);
  names.push_back("SPLASH.TGA");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> fresh = ReadBytes(std::string(dir) + "/" + name);
    std::vector<uint8_t> committed = ReadBytes(ResourceDir() + name);
    EXPECT_FALSE(fresh.empty());
    EXPECT_TRUE(fresh == committed) << "run `make assets` and commit the pictures";
  }
  // Nothing else is written.
  int files = 0;
  if (DIR* d = opendir(dir)) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      ++files;
      std::remove((std::string(dir) + "/" + e->d_name).c_str());
    }
    closedir(d);
  }
  rmdir(dir);
  EXPECT_EQ(files, 24);
}

// The committed files are exactly what the baker makes.
TEST(Pictures, TheBakerRegeneratesEveryFileByteForByte) {
  ExpectBakerReproducesTheCommittedFiles("env");
}

// Other machines take other SIMD paths in libjpeg-turbo (forced off here),
// and TurboJPEG reads encoder switches from the environment; neither may
// change a byte. Nor may the locale.
TEST(Pictures, TheBytesDoNotDependOnTheCpuPathOrTheEnvironment) {
  ExpectBakerReproducesTheCommittedFiles(
      "env JSIMD_FORCENONE=1 TJ_OPTIMIZE=1 TJ_PROGRESSIVE=1 TJ_RESTART=4 LC_ALL=C.UTF-8");
}

}  // namespace
