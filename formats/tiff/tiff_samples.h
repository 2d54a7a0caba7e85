// From decoded chunk rows to the lines the loading pipeline takes: the predictor undone, samples
// of any depth brought to bytes, the channels the picture keeps picked out, YCbCr turned to RGB.
#pragma once

#include <cstddef>
#include <cstdint>

// One decoded row of a chunk, as the file lays it out.
struct SampleFormat {
    int bits = 8;        // per sample
    int samples = 1;     // per pixel
    bool big_endian = false;
    bool floating = false;
};

// Undoes horizontal differencing (2) or floating-point prediction (3) on `pixels` pixels.
// Floating-point rows come out with their values most significant byte first.
void tiff_undo_predictor(int predictor, const SampleFormat& format, uint8_t* row, int pixels, bool* now_big_endian);

// One sample brought to 8 bits: high bytes of 16- and 32-bit integers, floats from 0..1,
// other depths scaled over 0..255.
struct SampleReader {
    explicit SampleReader(const SampleFormat& format) : f(format) {}
    uint8_t operator()(const uint8_t* row, size_t index) const;
    SampleFormat f;
};

// Writes `pixels` pixels of `channels` bytes each: channel c from sample pick[c].
void tiff_pick_channels(const SampleFormat& format, const uint8_t* row, int pixels, const int* pick, int channels,
                        uint8_t* out);

struct YCbCrConverter {
    // Coefficients (tag 529) and reference black and white (tag 532).
    void init(const double coefficients[3], const double reference[6]);
    void to_rgb(int y, int cb, int cr, uint8_t* rgb) const;
    // A row of contiguous Y, Cb, Cr pixels.
    void row(const uint8_t* in, int pixels, uint8_t* out) const;
    // One row of subsampled blocks (h x v luma samples, then Cb and Cr) into v output rows of
    // `pixels` RGB pixels; rows past `rows` are not written.
    void blocks(const uint8_t* in, int h, int v, int pixels, int rows, uint8_t* const* out) const;

    float y_scale[256];
    float cr_red[256], cb_blue[256], cr_green[256], cb_green[256];
};
