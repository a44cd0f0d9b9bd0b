// sys_jpeg.h -- baseline JPEG decoding from memory to packed 8-bit RGB.
//
// The loader drives the decoder in four steps, each on one record:
//   Sys_JpegInit            prepare the decoder;
//   Sys_JpegReadParams      read the header of jpgBytes/jpgSizeBytes and fill
//                           jpgWidth and jpgHeight;
//   Sys_JpegReadWholeImage  decode every pixel;
//   Sys_JpegFree            release the decoder.
// libjpeg-turbo (its TurboJPEG interface) does the work behind these calls.
#pragma once

#include <cstdint>

struct JpegDecoder {
    const uint8_t* jpgBytes = nullptr;  // the JPEG stream, owned by the caller
    uint32_t jpgSizeBytes = 0;          // its length in bytes
    int jpgWidth = 0;                   // pixels, set by Sys_JpegReadParams (0 before)
    int jpgHeight = 0;                  // pixels, set by Sys_JpegReadParams (0 before)
    void* handle = nullptr;             // decoder state, between init and free
};

// Prepares the record's decoder. False when no decoder can be made.
bool Sys_JpegInit(JpegDecoder* jpeg);

// Reads the header of the stream named by jpgBytes/jpgSizeBytes and sets
// jpgWidth and jpgHeight. False (sizes left as they were) when the decoder
// was not prepared, the stream is missing or empty, or the header is bad.
bool Sys_JpegReadParams(JpegDecoder* jpeg);

// Decodes the whole stream into rgb: jpgWidth x jpgHeight texels, 3 bytes
// each (R, G, B), rows packed back to back with no padding, the stream's
// first (top) row first. rgb must hold jpgWidth * jpgHeight * 3 bytes.
// A stream that merely ends early still yields a whole picture (the decoder
// fills the missing rows) and counts as success. False on a fatal error;
// the buffer may then be partly written.
bool Sys_JpegReadWholeImage(JpegDecoder* jpeg, uint8_t* rgb);

// Releases the decoder; the record may be prepared again. Safe on a record
// whose init failed.
void Sys_JpegFree(JpegDecoder* jpeg);
