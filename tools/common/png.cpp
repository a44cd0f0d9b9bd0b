// png.cpp -- PNG files through libpng's simplified API.
#include "tools/common/png.h"

#include <png.h>

#include <cstring>

namespace {

// rowStride in bytes; a negative stride walks the rows from the last one up.
bool WriteRgb(const std::string& path, int width, int height, const uint8_t* rgb, int rowStride) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb, rowStride, nullptr) != 0;
}

}  // namespace

bool WritePngRgb(const std::string& path, int width, int height, const uint8_t* rgb) {
    return WriteRgb(path, width, height, rgb, width * 3);
}

bool WritePngRgbBottomUp(const std::string& path, int width, int height, const uint8_t* rgb) {
    return WriteRgb(path, width, height, rgb, -width * 3);
}

bool ReadPngRgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) return false;
    *width = int(image.width);
    *height = int(image.height);
    return true;
}
