// sys_jpeg.cpp -- JPEG decoding on libjpeg-turbo's TurboJPEG interface.
#include "platform/sys_jpeg.h"

#include <turbojpeg.h>

bool Sys_JpegInit(JpegDecoder* jpeg) {
    jpeg->handle = tjInitDecompress();
    return jpeg->handle != nullptr;
}

bool Sys_JpegReadParams(JpegDecoder* jpeg) {
    if (!jpeg->handle || !jpeg->jpgBytes || jpeg->jpgSizeBytes == 0) return false;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(jpeg->handle, jpeg->jpgBytes, jpeg->jpgSizeBytes, &width, &height,
                            &subsampling, &colorspace) != 0)
        return false;
    if (width <= 0 || height <= 0) return false;
    jpeg->jpgWidth = width;
    jpeg->jpgHeight = height;
    return true;
}

bool Sys_JpegReadWholeImage(JpegDecoder* jpeg, uint8_t* rgb) {
    if (!jpeg->handle || !jpeg->jpgBytes || !rgb || jpeg->jpgWidth <= 0 || jpeg->jpgHeight <= 0)
        return false;
    // pitch = width * 3: packed rows. No TJFLAG_BOTTOMUP: the stream's first
    // row lands first in the buffer.
    const int pitch = jpeg->jpgWidth * 3;
    if (tjDecompress2(jpeg->handle, jpeg->jpgBytes, jpeg->jpgSizeBytes, rgb, jpeg->jpgWidth, pitch,
                      jpeg->jpgHeight, TJPF_RGB, 0) == 0)
        return true;
    // A warning (such as a stream that ends early) still leaves a complete
    // picture; only fatal errors fail.
    return tjGetErrorCode(jpeg->handle) == TJERR_WARNING;
}

void Sys_JpegFree(JpegDecoder* jpeg) {
    if (jpeg->handle) tjDestroy(jpeg->handle);
    jpeg->handle = nullptr;
}
