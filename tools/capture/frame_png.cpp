// frame_png.cpp -- libpng's simplified writer with its fast flag.
#include "tools/capture/frame_png.h"

#include <png.h>

#include <cstring>

#include "tools/capture/contact_sheet.h"

bool WriteFramePng(const std::string& path, const Picture& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGB;
    image.flags = PNG_IMAGE_FLAG_FAST;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), picture.width * 3, nullptr) != 0;
}
