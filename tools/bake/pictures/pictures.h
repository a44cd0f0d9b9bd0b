// pictures.h -- the demo's pictures: what each one shows and how it is stored.
#pragma once

#include <string>
#include <vector>

#include "tools/bake/pictures/canvas.h"

namespace bake {

// The lettering fonts (Debian package fonts-dejavu-core; the DejaVu licence
// allows embedding the rendered letters).
extern const char* const kFontSansBold;
extern const char* const kFontSans;

// One JPEG picture of the demo.
struct PictureEntry {
  const char* name;      // resource name and file name, upper case, e.g. "AUGE.JPG"
  int width, height;     // pixels, powers of two
  bool bottomRowFirst;   // stored upside down so it shows upright where t = 0 is the bottom
  int quality;           // JPEG quality 1..100, pinned
  bool subsample420;     // chroma subsampling 4:2:0 (else 4:4:4)
  // Paints the picture as it is meant to be seen (top row first). False when
  // a font cannot be used.
  bool (*paint)(Canvas& c);
};

// All 23 JPEG pictures, in resource-name order.
const std::vector<PictureEntry>& Pictures();

// SPLASH.TGA: 320 x 240 colour and alpha, top row first. False on font failure.
bool PaintSplash(Canvas* rgb, Mask* alpha);

}  // namespace bake
