// png.cpp -- PNG files through libpng's simplified API.
#include "tools/common/png.h"

#include <png.h>

#include <cstring>

#include "tools/common/files.h"

namespace {

// rowStride in bytes; a negative stride walks the rows from the last one up.
// Encoded in memory and written in one go, so a failed write says why.
bool WriteRgb(const std::string& path, int width, int height, const uint8_t* rgb, int rowStride,
              std::string* why = nullptr) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    std::vector<uint8_t> bytes;
    if (!png_image_write_get_memory_size(image, size, 0, rgb, rowStride, nullptr)) {
        if (why) *why = image.message;
        return false;
    }
    bytes.resize(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb, rowStride, nullptr)) {
        if (why) *why = image.message;
        return false;
    }
    return WriteWholeFile(path, bytes.data(), size, why);
}

}  // namespace

bool WritePngRgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* why) {
    return WriteRgb(path, width, height, rgb, width * 3, why);
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
