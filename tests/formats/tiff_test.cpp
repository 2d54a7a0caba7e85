// TIFF files built byte by byte for the cases real files rarely show, the writer's round trips
// through every compression, and libtiff's tools reading what we write (when installed).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <random>

#include <zlib.h>

#include "codec_files.h"
#include "formats/common/bit_reader.h"
#include "formats/common/lzw.h"
#include "formats/tiff/tiff_ccitt.h"
#include "formats/tiff/tiff_codec.h"

namespace {

// One page of a file under construction: entries by tag, strips appended after the directory.
struct PageParts {
    std::map<uint16_t, std::pair<uint16_t, std::vector<uint32_t>>> entries;  // tag: type, values
    std::map<uint16_t, std::string> blobs;                                   // tag: raw bytes (type 7)
    std::vector<std::string> strips;
    bool tiles = false;

    PageParts& set(uint16_t tag, uint16_t type, std::vector<uint32_t> values)
    {
        entries[tag] = {type, std::move(values)};
        return *this;
    }
    PageParts& shorts(uint16_t tag, std::vector<uint32_t> values) { return set(tag, 3, std::move(values)); }
};

class TiffBytes {
public:
    explicit TiffBytes(bool big_endian = false) : big_(big_endian) {}

    void u16(std::string& s, uint32_t v) const
    {
        if (big_) s += {static_cast<char>(v >> 8), static_cast<char>(v)};
        else s += {static_cast<char>(v), static_cast<char>(v >> 8)};
    }
    void u32(std::string& s, uint32_t v) const
    {
        if (big_) {
            u16(s, v >> 16);
            u16(s, v & 0xFFFF);
        } else {
            u16(s, v & 0xFFFF);
            u16(s, v >> 16);
        }
    }

    // Pages chained in order; `last_next` overrides the final next-directory offset (loops).
    std::string build(std::vector<PageParts> pages, int64_t last_next = 0, bool swapped_version = false) const
    {
        std::string s = big_ ? "MM" : "II";
        if (swapped_version) s += big_ ? std::string("\x2A\x00", 2) : std::string("\x00\x2A", 2);
        else u16(s, 42);
        u32(s, 8);
        std::vector<size_t> directory_at;
        for (size_t p = 0; p < pages.size(); ++p) {
            PageParts& page = pages[p];
            // Strip data first (after this page's directory), so offsets are known.
            const size_t n = page.entries.size() + page.blobs.size() + 2;
            size_t at = s.size() + 2 + 12 * n + 4;
            std::string values;
            std::vector<uint32_t> offsets, counts;
            for (const std::string& strip : page.strips) {
                offsets.push_back(static_cast<uint32_t>(at + values.size()));
                counts.push_back(static_cast<uint32_t>(strip.size()));
                values += strip;
            }
            page.set(page.tiles ? 324 : 273, 4, offsets);
            page.set(page.tiles ? 325 : 279, 4, counts);
            std::map<uint16_t, std::string> entry_bytes;
            for (auto& [tag, tv] : page.entries) {
                std::string field;
                u16(field, tag);
                u16(field, tv.first);
                u32(field, static_cast<uint32_t>(tv.second.size()));
                std::string data;
                for (uint32_t v : tv.second) {
                    if (tv.first == 3) u16(data, v);
                    else u32(data, v);
                }
                if (data.size() <= 4) {
                    data.resize(4, '\0');
                    field += data;
                } else {
                    u32(field, static_cast<uint32_t>(at + values.size()));
                    values += data;
                }
                entry_bytes[tag] = field;
            }
            for (auto& [tag, blob] : page.blobs) {
                std::string field;
                u16(field, tag);
                u16(field, 7);
                u32(field, static_cast<uint32_t>(blob.size()));
                std::string data = blob;
                if (data.size() <= 4) {
                    data.resize(4, '\0');
                    field += data;
                } else {
                    u32(field, static_cast<uint32_t>(at + values.size()));
                    values += data;
                }
                entry_bytes[tag] = field;
            }
            directory_at.push_back(s.size());
            u16(s, static_cast<uint32_t>(entry_bytes.size()));
            for (auto& [tag, field] : entry_bytes) s += field;
            const size_t next_at = s.size();
            u32(s, 0);
            s.resize(at, '\0');
            s += values;
            if (s.size() & 1) s += '\0';
            const bool last = p + 1 == pages.size();
            std::string next;
            u32(next, last ? static_cast<uint32_t>(last_next) : static_cast<uint32_t>(s.size()));
            s.replace(next_at, 4, next);
        }
        return s;
    }

private:
    bool big_;
};

// A page of `w` x `h` pixels of `samples` samples of `bits` bits in one strip.
PageParts plain_page(int w, int h, int bits, int samples, int photometric, std::string data)
{
    PageParts p;
    p.set(256, 4, {static_cast<uint32_t>(w)}).set(257, 4, {static_cast<uint32_t>(h)});
    p.shorts(258, std::vector<uint32_t>(static_cast<size_t>(samples), static_cast<uint32_t>(bits)));
    p.shorts(259, {1}).shorts(262, {static_cast<uint32_t>(photometric)}).shorts(277, {static_cast<uint32_t>(samples)});
    p.set(278, 4, {static_cast<uint32_t>(h)});
    p.strips.push_back(std::move(data));
    return p;
}

std::string grey_ramp(int w, int h)
{
    std::string d;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) d += static_cast<char>(x * 16 + y);
    return d;
}

std::string lzw_code(const std::string& data, const LzwParams& params)
{
    std::string out;
    LzwEncoder* e = new LzwEncoder;
    lzw_encoder_init(e, params, [](void* d, const uint8_t* b, size_t n) {
        static_cast<std::string*>(d)->append(reinterpret_cast<const char*>(b), n);
        return true;
    }, &out);
    lzw_encode(e, reinterpret_cast<const uint8_t*>(data.data()), data.size());
    lzw_encode_finish(e);
    delete e;
    return out;
}

std::vector<std::string> random_rows(int width, int height, unsigned seed);

class Tiff : public CodecTest {
protected:
    Picture& load_ok(const std::string& bytes, uint32_t flags = 0, int page = 0)
    {
        LoadParams p = params("tiff", flags);
        p.image_index = page;
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".tif", &pic, p), STATUS_OK);
        return keep(pic);
    }
};

// --- structure -------------------------------------------------------------------------------

TEST_F(Tiff, ByteOrdersVersionsAndPages)
{
    const std::string ramp = grey_ramp(4, 3);
    for (bool big : {false, true})
        for (bool swapped : {false, true}) {
            SCOPED_TRACE(std::to_string(big) + std::to_string(swapped));
            const std::string file = TiffBytes(big).build({plain_page(4, 3, 8, 1, 1, ramp)}, 0, swapped);
            Picture& p = load_ok(file);
            ASSERT_EQ(p.type, PIXEL_GREY);
            EXPECT_EQ(row_bytes(p, 2), (Bytes{2, 18, 34, 50}));
        }

    // Three pages of widths 1, 2, 3: the page asked for, and page 0 for one that is not there.
    std::vector<PageParts> pages;
    for (int w = 1; w <= 3; ++w) pages.push_back(plain_page(w, 1, 8, 1, 1, std::string(static_cast<size_t>(w), '\x40')));
    const std::string three = TiffBytes(true).build(pages);
    EXPECT_EQ(load_ok(three, 0, 1).width, 2);
    EXPECT_EQ(load_ok(three, 0, 2).width, 3);
    EXPECT_EQ(load_ok(three, 0, 5).width, 1);

    // A chain that points back at its first directory still ends.
    const std::string looped = TiffBytes().build({plain_page(2, 1, 8, 1, 1, "ab"), plain_page(3, 1, 8, 1, 1, "abc")}, 8);
    EXPECT_EQ(load_ok(looped, 0, 7).width, 2);
    EXPECT_EQ(load_ok(looped, 0, 1).width, 3);
}

TEST_F(Tiff, TagsThatShapeThePicture)
{
    // A LONG rows-per-strip beyond the height is one strip.
    PageParts tall = plain_page(2, 2, 8, 1, 1, "\x01\x02\x03\x04");
    tall.set(278, 4, {70000});
    EXPECT_EQ(row_bytes(load_ok(TiffBytes().build({tall})), 1), (Bytes{3, 4}));

    // Orientation 3 stores the bottom line first, right to left.
    PageParts turned = plain_page(2, 2, 8, 1, 1, "\x01\x02\x03\x04");
    turned.shorts(274, {3});
    Picture& t = load_ok(TiffBytes().build({turned}));
    EXPECT_EQ(row_bytes(t, 0), (Bytes{4, 3}));
    EXPECT_EQ(row_bytes(t, 1), (Bytes{2, 1}));

    // White is zero: levels are inverted, and the file says so in a keyed text.
    const std::string white = TiffBytes().build({plain_page(2, 1, 8, 1, 0, std::string("\x00\x40", 2))});
    LoadParams lp = params("tiff", LOAD_KEEP_TEXTS | LOAD_KEEP_COMMENT);
    Picture pic{};
    FileInfo info{};
    ASSERT_EQ(load_bytes(white, ".tif", &pic, lp, &info), STATUS_OK);
    keep(pic);
    EXPECT_EQ(row_bytes(pic, 0), (Bytes{255, 191}));
    ASSERT_GE(info.text_count, 1);
    EXPECT_STREQ(info.texts[0], "Photometric Interpretation: White=0");
    file_info_free_texts(&info);

    // 16-bit RGB keeps the high byte of each sample, in either byte order.
    for (bool big : {false, true}) {
        TiffBytes b(big);
        std::string d;
        for (uint32_t v : {0x1234u, 0xABCDu, 0x00FFu}) b.u16(d, v);
        Picture& rgb = load_ok(b.build({plain_page(1, 1, 16, 3, 2, d)}));
        EXPECT_EQ(rgb.type, PIXEL_RGB);
        EXPECT_EQ(row_bytes(rgb, 0), (Bytes{0x12, 0xAB, 0x00}));
    }

    // Planar RGB: three strips, one per plane.
    PageParts planar = plain_page(2, 1, 8, 3, 2, "\x10\x11");
    planar.strips.push_back("\x20\x21");
    planar.strips.push_back("\x30\x31");
    planar.shorts(284, {2});
    EXPECT_EQ(row_bytes(load_ok(TiffBytes().build({planar})), 0), (Bytes{0x10, 0x20, 0x30, 0x11, 0x21, 0x31}));
}

TEST_F(Tiff, TextsResourcesAndExifAreKept)
{
    PageParts page = plain_page(2, 1, 8, 1, 1, "ab");
    page.blobs[270] = std::string("A description\0", 14);
    page.blobs[33723] = std::string("\x1C\x02\x05\x00\x03" "Cat", 8);
    page.set(34665, 4, {0});
    const size_t exif_at = (TiffBytes().build({page}).size() + 1) & ~size_t{1};
    page.set(34665, 4, {static_cast<uint32_t>(exif_at)});
    std::string file = TiffBytes().build({page});
    file.resize(exif_at, '\0');
    // An Exif directory of two entries: DateTimeOriginal and ExposureTime (1/250).
    const uint32_t values = static_cast<uint32_t>(exif_at + 2 + 2 * 12 + 4);
    TiffBytes b;
    b.u16(file, 2);
    b.u16(file, 0x829A), b.u16(file, 5), b.u32(file, 1), b.u32(file, values);
    b.u16(file, 0x9003), b.u16(file, 2), b.u32(file, 20), b.u32(file, values + 8);
    b.u32(file, 0);
    b.u32(file, 1), b.u32(file, 250);
    file += std::string("2024:01:02 03:04:05\0", 20);

    LoadParams lp = params("tiff", LOAD_KEEP_CHUNKS | LOAD_KEEP_COMMENT);
    Picture pic{};
    ASSERT_EQ(load_bytes(file, ".tif", &pic, lp), STATUS_OK);
    keep(pic);
    ASSERT_NE(pic.comment, nullptr);
    EXPECT_STREQ(pic.comment, "A description");
    const PictureChunk* exif = nullptr;
    const PictureChunk* iptc = nullptr;
    for (const PictureChunk* c = pic.chunks; c; c = c->next) (c->kind == CHUNK_EXIF ? exif : iptc) = c;
    ASSERT_NE(iptc, nullptr);
    const std::string resource(reinterpret_cast<const char*>(iptc->bytes), iptc->size);
    EXPECT_EQ(resource, std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0\x08" "\x1C\x02\x05\x00\x03" "Cat", 34));
    ASSERT_NE(exif, nullptr);
    const std::string block(reinterpret_cast<const char*>(exif->bytes), exif->size);
    ASSERT_EQ(block.substr(0, 14), std::string("Exif\0\0II\x2A\0\x08\0\0\0", 14));
    EXPECT_NE(block.find("2024:01:02 03:04:05"), std::string::npos);
    // The Exif directory sits where the first one points, with both entries.
    EXPECT_EQ(static_cast<uint8_t>(block[6 + 26]), 2);
}

TEST_F(Tiff, TilesAreReadAsTiles)
{
    // 20 x 18 RGB in 16 x 16 tiles: four tiles, three of them cut by the picture's edges.
    const int w = 20, h = 18;
    std::string full;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) full += {static_cast<char>(x), static_cast<char>(y), static_cast<char>(x ^ y)};
    PageParts tiled = plain_page(w, h, 8, 3, 2, "");
    tiled.strips.clear();
    tiled.entries.erase(278);
    tiled.tiles = true;
    tiled.set(322, 4, {16}).set(323, 4, {16});
    for (int ty = 0; ty < h; ty += 16)
        for (int tx = 0; tx < w; tx += 16) {
            std::string tile;
            for (int y = ty; y < ty + 16; ++y)
                for (int x = tx; x < tx + 16; ++x) {
                    const bool inside = x < w && y < h;
                    tile += inside ? full.substr(static_cast<size_t>((y * w + x) * 3), 3) : std::string("\xEE\xEE\xEE", 3);
                }
            tiled.strips.push_back(tile);
        }
    Picture& p = load_ok(TiffBytes().build({tiled}));
    ASSERT_EQ(p.width, w);
    for (int y = 0; y < h; ++y)
        EXPECT_EQ(row_bytes(p, y), Bytes(full.begin() + y * w * 3, full.begin() + (y + 1) * w * 3)) << y;
}

// Uncompressed rows are read many at a time, strips that follow each other in the file as one:
// runs that cross strips, gaps between strips, separate planes, missing strips.
TEST_F(Tiff, UncompressedStripsReadInRuns)
{
    const int w = 3000, h = 100, rps = 7;
    auto pixel = [](int x, int y, int c) { return static_cast<char>(x * 7 + y * 13 + c * 101); };
    for (bool planar : {false, true}) {
        SCOPED_TRACE(planar ? "planar" : "contiguous");
        PageParts page = plain_page(w, h, 8, 3, 2, "");
        page.strips.clear();
        page.set(278, 4, {rps});
        if (planar) page.shorts(284, {2});
        for (int plane = 0; plane < (planar ? 3 : 1); ++plane)
            for (int y0 = 0; y0 < h; y0 += rps) {
                std::string strip;
                for (int y = y0; y < std::min(h, y0 + rps); ++y)
                    for (int x = 0; x < w; ++x)
                        for (int c = 0; c < 3; ++c)
                            if (!planar || c == plane) strip += pixel(x, y, c);
                if (y0 % 3 == 0) strip += "gap!";  // the next strip does not follow directly
                page.strips.push_back(strip);
            }
        auto expect_rows = [&](const Picture& p, int rows) {
            for (int y = 0; y < h; ++y) {
                const Bytes row = row_bytes(p, y);
                bool same = true;
                for (int x = 0; x < w && same; ++x)
                    for (int c = 0; c < 3 && same; ++c) same = row[static_cast<size_t>(3 * x + c)] == static_cast<uint8_t>(y < rows ? pixel(x, y, c) : 0);
                EXPECT_TRUE(same) << "row " << y;
            }
        };
        expect_rows(load_ok(TiffBytes(planar).build({page})), h);

        // Without the last two strips (of the first plane): the rows before them, "incomplete".
        if (!planar) {
            page.strips.resize(page.strips.size() - 2);
            const std::string file = TiffBytes().build({page});
            Picture pic{};
            EXPECT_EQ(load_bytes(file, ".tif", &pic, params("tiff")), STATUS_INCOMPLETE);
            picture_free(&pic);
            expect_rows(load_ok(file, LOAD_ACCEPT_DAMAGED), 13 * rps);
        }
    }

    // Bilevel rows with the least significant bit first read as their bit-reversed twins.
    const std::vector<std::string> rows = random_rows(13, 9, 5);
    std::string plain, reversed;
    for (const std::string& r : rows) plain += r;
    reversed = plain;
    reverse_bits(reinterpret_cast<uint8_t*>(reversed.data()), reversed.size());
    PageParts first = plain_page(13, 9, 1, 1, 1, plain), second = plain_page(13, 9, 1, 1, 1, reversed);
    first.set(278, 4, {9});
    second.shorts(266, {2});
    Picture& a = load_ok(TiffBytes().build({first}));
    Picture& b = load_ok(TiffBytes().build({second}));
    for (int y = 0; y < 9; ++y) EXPECT_EQ(row_bytes(a, y), row_bytes(b, y)) << y;
    EXPECT_EQ(row_bytes(a, 8)[0], static_cast<uint8_t>(rows[8][0]));
}

// Uncompressed rows that reach the picture unchanged are read into it directly; rows padded,
// turned upside down, reordered or cut short must come out as their PackBits twins (which are
// decoded into a buffer first) do.
TEST_F(Tiff, RowsReadStraightIntoThePictureMatchDecodedOnes)
{
    auto packbits = [](const std::string& d) {
        std::string out;
        for (size_t i = 0; i < d.size(); i += 128) {
            const size_t n = std::min<size_t>(128, d.size() - i);
            out += static_cast<char>(n - 1);
            out += d.substr(i, n);
        }
        return out;
    };
    const int h = 60, rps = 8;
    for (int samples : {1, 3, 4})
        for (int w : {1000, 1001})
            for (uint32_t orientation : {1u, 4u})
                for (uint16_t padding : {uint16_t{1}, uint16_t{4}})
                    for (uint16_t order : {uint16_t{0}, uint16_t{2}}) {
                        SCOPED_TRACE(std::to_string(samples) + " samples, width " + std::to_string(w) + ", orientation " +
                                     std::to_string(orientation) + ", padding " + std::to_string(padding) + ", order " + std::to_string(order));
                        const size_t row = static_cast<size_t>(w * samples);
                        PageParts plain = plain_page(w, h, 8, samples, samples == 1 ? 1 : 2, "");
                        plain.strips.clear();
                        plain.set(278, 4, {rps}).shorts(274, {orientation});
                        PageParts packed = plain;
                        packed.shorts(259, {32773});
                        for (int y0 = 0; y0 < h; y0 += rps) {
                            std::string strip, packed_strip;  // PackBits packs each row apart
                            for (int y = y0; y < std::min(h, y0 + rps); ++y) {
                                std::string line;
                                for (size_t i = 0; i < row; ++i) line += static_cast<char>(i * 7 + static_cast<size_t>(y) * 29);
                                strip += line;
                                packed_strip += packbits(line);
                            }
                            plain.strips.push_back(strip);
                            packed.strips.push_back(packed_strip);
                        }
                        LoadParams lp = params("tiff");
                        lp.line_padding = padding;
                        lp.channel_order = order;
                        Picture a{}, b{};
                        ASSERT_EQ(load_bytes(TiffBytes().build({plain}), ".tif", &a, lp), STATUS_OK);
                        ASSERT_EQ(load_bytes(TiffBytes().build({packed}), ".tif", &b, lp), STATUS_OK);
                        keep(a);
                        keep(b);
                        ASSERT_EQ(a.bytes_per_line, b.bytes_per_line);
                        for (int y = 0; y < h; ++y) ASSERT_EQ(row_bytes(a, y), row_bytes(b, y)) << y;
                    }

    // A file cut inside a row: the whole rows before it, and nothing of the cut one. (Grey, whose
    // tags hold their values inline: the builder puts longer values after the strips.)
    PageParts page = plain_page(3000, h, 8, 1, 1, std::string(3000u * h, '\x5A'));
    const std::string file = TiffBytes().build({page});
    Picture& cut = load_ok(file.substr(0, file.size() - 3000 * 10 - 1234), LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(cut, h - 12), Bytes(3000, 0x5A));
    EXPECT_EQ(row_bytes(cut, h - 11), Bytes(3000, 0));
}

// --- compressions ------------------------------------------------------------------------------

TEST_F(Tiff, PackBitsLzwAndPredictor)
{
    // PackBits: 128 is a no-op between runs.
    PageParts packed = plain_page(4, 1, 8, 1, 1, std::string("\x80\xFE\x07\x80\x00\x09", 6));
    packed.shorts(259, {32773});
    EXPECT_EQ(row_bytes(load_ok(TiffBytes().build({packed})), 0), (Bytes{7, 7, 7, 9}));

    // LZW, new and old flavours, give the same picture.
    const std::string ramp = grey_ramp(16, 4);
    for (const LzwParams& flavour : {LZW_TIFF, LZW_GIF(8)}) {
        PageParts page = plain_page(16, 4, 8, 1, 1, lzw_code(ramp, flavour));
        page.shorts(259, {5});
        Picture& p = load_ok(TiffBytes().build({page}));
        EXPECT_EQ(row_bytes(p, 3), Bytes(ramp.begin() + 48, ramp.end()));
    }

    // A 16-bit RGB strip differenced horizontally decodes as its plain twin does.
    TiffBytes b(true);
    std::string plain, differenced;
    std::vector<uint32_t> values;
    for (int x = 0; x < 8; ++x)
        for (int c = 0; c < 3; ++c) values.push_back(static_cast<uint32_t>((x * 7919 + c * 30011) & 0xFFFF));
    for (size_t i = 0; i < values.size(); ++i) {
        b.u16(plain, values[i]);
        b.u16(differenced, i < 3 ? values[i] : (values[i] - values[i - 3]) & 0xFFFF);
    }
    PageParts predicted = plain_page(8, 1, 16, 3, 2, lzw_code(differenced, LZW_TIFF));
    predicted.shorts(259, {5}).shorts(317, {2});
    EXPECT_EQ(row_bytes(load_ok(b.build({predicted})), 0),
              row_bytes(load_ok(b.build({plain_page(8, 1, 16, 3, 2, plain)})), 0));

    // LZW data that does not open with Clear is refused with the reason.
    PageParts bad = plain_page(16, 4, 8, 1, 1, "\x12\x34\x56\x78");
    bad.shorts(259, {5});
    Picture pic{};
    FileInfo info{};
    EXPECT_EQ(load_bytes(TiffBytes().build({bad}), ".tif", &pic, params("tiff"), &info), STATUS_BAD_HEADER);
    EXPECT_STREQ(info.message, "TIFF : Bad LZW codes !");
}

std::vector<std::string> random_rows(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string r(static_cast<size_t>((width + 7) / 8), '\0');
        int colour = 0;
        for (int x = 0; x < width; ++x) {
            if (rng() % 9 == 0) colour ^= 1;
            if (colour) r[static_cast<size_t>(x / 8)] = static_cast<char>(r[static_cast<size_t>(x / 8)] | (0x80 >> (x % 8)));
        }
        if (width % 8) r.back() = static_cast<char>(r.back() & (0xFF00 >> (width % 8)));
        rows.push_back(r);
    }
    return rows;
}

// Pages large enough to have their strips decoded side by side: the same picture as the
// uncompressed twin, and damage in a middle strip ending the page there as it would read serially.
TEST_F(Tiff, LargeCompressedPagesDecodeAlike)
{
    struct Shape {
        const char* name;
        int bits, samples, planar;
    };
    const Shape shapes[] = {{"rgb", 8, 3, 1}, {"grey16", 16, 1, 1}, {"planar rgb", 8, 3, 2}};
    const int w = 700, h = 1100, rps = 16, strips_down = (h + rps - 1) / rps;
    std::mt19937 rng(7);
    for (const Shape& shape : shapes) {
        const bool planar = shape.planar == 2;
        const size_t row = static_cast<size_t>(w) * static_cast<size_t>(planar ? 1 : shape.samples) * static_cast<size_t>(shape.bits / 8);
        const int planes = planar ? shape.samples : 1;
        // A smooth picture with noise, as photos are: every strip compresses, none to nothing.
        std::vector<std::string> rows;  // planes one after the other
        for (int plane = 0; plane < planes; ++plane)
            for (int y = 0; y < h; ++y) {
                std::string r(row, '\0');
                for (size_t i = 0; i < row; ++i) r[i] = static_cast<char>((i / 7 + static_cast<size_t>(y) / 3 + static_cast<size_t>(plane) * 40 + rng() % 4) & 0xFF);
                rows.push_back(r);
            }
        auto page_of = [&](uint32_t compression, uint32_t predictor, const std::function<std::string(const std::string&)>& code) {
            PageParts p;
            p.set(256, 4, {static_cast<uint32_t>(w)}).set(257, 4, {static_cast<uint32_t>(h)});
            p.shorts(258, std::vector<uint32_t>(static_cast<size_t>(shape.samples), static_cast<uint32_t>(shape.bits)));
            p.shorts(259, {compression}).shorts(262, {shape.samples == 3 ? 2u : 1u}).shorts(277, {static_cast<uint32_t>(shape.samples)});
            p.set(278, 4, {static_cast<uint32_t>(rps)}).shorts(284, {static_cast<uint32_t>(shape.planar)});
            if (predictor > 1) p.shorts(317, {predictor});
            for (int plane = 0; plane < planes; ++plane)
                for (int s = 0; s < strips_down; ++s) {
                    std::string strip;
                    for (int y = s * rps; y < std::min(h, (s + 1) * rps); ++y) {
                        std::string r = rows[static_cast<size_t>(plane * h + y)];
                        if (predictor == 2)  // 8-bit samples differenced with the pixel before
                            for (size_t i = r.size(); i-- > static_cast<size_t>(planar ? 1 : shape.samples);)
                                r[i] = static_cast<char>(r[i] - r[i - static_cast<size_t>(planar ? 1 : shape.samples)]);
                        strip += r;
                    }
                    p.strips.push_back(code(strip));
                }
            return p;
        };
        auto deflate = [](const std::string& d) {
            uLongf n = compressBound(d.size());
            std::string out(n, '\0');
            compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(d.data()), d.size(), 1);
            out.resize(n);
            return out;
        };
        auto lzw = [](const std::string& d) { return lzw_code(d, LZW_TIFF); };
        const bool big = shape.bits == 16;
        Picture& plain = load_ok(TiffBytes(big).build({page_of(1, 1, [](const std::string& d) { return d; })}));

        const uint32_t predictor = shape.bits == 8 ? 2 : 1;
        const PageParts pages[] = {page_of(5, predictor, lzw), page_of(8, 1, deflate), page_of(32946, predictor, deflate)};
        for (const PageParts& page : pages) {
            SCOPED_TRACE(std::string(shape.name) + " compression " + std::to_string(page.entries.at(259).second[0]));
            Picture& p = load_ok(TiffBytes(big).build({page}));
            ASSERT_EQ(p.type, plain.type);
            for (int y = 0; y < h; y += 37) ASSERT_EQ(row_bytes(p, y), row_bytes(plain, y)) << y;
            ASSERT_EQ(row_bytes(p, h - 1), row_bytes(plain, h - 1));

            // Strip 40 of the last plane damaged: rows above it as they are, none below it.
            PageParts damaged = page;
            const bool lzw_page = page.entries.at(259).second[0] == 5;
            damaged.strips[static_cast<size_t>((planes - 1) * strips_down + 40)] = lzw_page ? std::string("\x12\x34\x56\x78", 4) : std::string("\x78\x9C\xFF\xFF\xFF\xFF", 6);
            const std::string file = TiffBytes(big).build({damaged});
            Picture pic{};
            FileInfo info{};
            EXPECT_EQ(load_bytes(file, ".tif", &pic, params("tiff"), &info), lzw_page ? STATUS_BAD_HEADER : STATUS_INCOMPLETE);
            picture_free(&pic);
            if (lzw_page) {
                EXPECT_STREQ(info.message, "TIFF : Bad LZW codes !");
                continue;
            }
            Picture& partial = load_ok(file, LOAD_ACCEPT_DAMAGED);
            EXPECT_EQ(row_bytes(partial, 40 * rps - 1), row_bytes(plain, 40 * rps - 1));
            // Of a planar page, the planes before the damaged one arrived whole.
            const Bytes below = row_bytes(partial, 40 * rps + 3);
            const size_t step = planar ? static_cast<size_t>(shape.samples) : 1;
            for (size_t i = step - 1; i < below.size(); i += step) ASSERT_EQ(below[i], 0) << i;
        }
    }
}

TEST_F(Tiff, FaxCodingsRoundTripAndFillOrder)
{
    for (int width : {1, 7, 64, 2000, 2600}) {
        const std::vector<std::string> rows = random_rows(width, 12, static_cast<unsigned>(width));
        struct Coding {
            FaxCoding coding;
            bool two_d;
            uint32_t compression;
        };
        for (const Coding c : {Coding{FaxCoding::ModifiedHuffman, false, 2}, Coding{FaxCoding::Group3, false, 3},
                               Coding{FaxCoding::Group3, true, 3}, Coding{FaxCoding::Group4, true, 4}}) {
            SCOPED_TRACE(std::to_string(width) + " " + std::to_string(c.compression) + (c.two_d ? " 2D" : ""));
            FaxEncoder e;
            e.start(c.coding, c.two_d, width);
            for (const std::string& r : rows) e.encode_row(reinterpret_cast<const uint8_t*>(r.data()));
            e.finish();
            FaxDecoder d;
            d.start(e.bytes().data(), e.bytes().size(), c.coding, c.two_d, width);
            for (const std::string& r : rows) {
                std::string out(r.size(), '\0');
                ASSERT_EQ(d.decode_row(reinterpret_cast<uint8_t*>(out.data())), STATUS_OK);
                ASSERT_EQ(out, r);
            }

            // The same strip in a file, and its bit-reversed twin with fill order 2.
            std::string coded(e.bytes().begin(), e.bytes().end());
            std::string reversed = coded;
            reverse_bits(reinterpret_cast<uint8_t*>(reversed.data()), reversed.size());
            Picture* first = nullptr;
            for (int fill : {1, 2}) {
                PageParts page = plain_page(width, 12, 1, 1, 0, fill == 1 ? coded : reversed);
                page.shorts(259, {c.compression}).shorts(266, {static_cast<uint32_t>(fill)});
                if (c.two_d && c.compression == 3) page.set(292, 4, {1});
                Picture& p = load_ok(TiffBytes().build({page}));
                ASSERT_EQ(p.type, PIXEL_BINARY);
                // White is zero in the file; set bits are white in the picture.
                const Bytes top = row_bytes(p, 0);
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(bit_get(top.data(), x), !((rows[0][static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1)) << x;
                if (first) {
                    EXPECT_EQ(row_bytes(p, 11), row_bytes(*first, 11));
                }
                first = &p;
            }
        }
    }
}

TEST_F(Tiff, DamagedFilesEndWithAStatus)
{
    const std::string ramp = grey_ramp(8, 8);
    const std::string file = TiffBytes().build({plain_page(8, 8, 8, 1, 1, ramp)});

    // A strip cut short: the lines read so far, then "incomplete".
    const std::string cut = file.substr(0, file.size() - 20);
    // The strip ends the file: 44 of its 64 bytes are left, five whole rows.
    Picture pic{};
    EXPECT_EQ(load_bytes(cut, ".tif", &pic, params("tiff")), STATUS_INCOMPLETE);
    Picture& partial = load_ok(cut, LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 4), Bytes(ramp.begin() + 32, ramp.begin() + 40));
    EXPECT_EQ(row_bytes(partial, 6), Bytes(8, 0));

    // Offsets and counts far beyond the file, rows per strip of zero, absurd sizes.
    PageParts wild = plain_page(8, 8, 8, 1, 1, ramp);
    wild.set(278, 4, {0});
    std::string bytes = TiffBytes().build({wild});
    Picture p1{};
    EXPECT_EQ(load_bytes(bytes, ".tif", &p1, params("tiff")), STATUS_OK);
    keep(p1);
    for (uint32_t tag : {273u, 279u}) {
        PageParts bad = plain_page(8, 8, 8, 1, 1, ramp);
        bad.shorts(259, {32773});
        bad.set(static_cast<uint16_t>(tag), 4, {0xFFFFFFF0u, 0x7FFFFFFFu, 12});
        Picture p{};
        const Status s = load_bytes(TiffBytes().build({bad}), ".tif", &p, params("tiff"));
        EXPECT_NE(s, STATUS_OK) << tag;
        picture_free(&p);
    }
    PageParts huge = plain_page(8, 8, 8, 1, 1, ramp);
    huge.set(256, 4, {0x10000000});
    Picture p2{};
    EXPECT_EQ(load_bytes(TiffBytes().build({huge}), ".tif", &p2, params("tiff")), STATUS_BAD_HEADER);
}

TEST_F(Tiff, SubsampledYCbCrBecomesRgb)
{
    // 4 x 2 pixels in two 2x2 blocks: grey luma ramps with neutral chroma, then pure red chroma.
    std::string blocks = {10, 20, 30, 40, static_cast<char>(128), static_cast<char>(128),
                          static_cast<char>(76), static_cast<char>(76), static_cast<char>(76), static_cast<char>(76),
                          static_cast<char>(85), static_cast<char>(255)};
    PageParts page = plain_page(4, 2, 8, 3, 6, blocks);
    page.shorts(530, {2, 2});
    Picture& p = load_ok(TiffBytes().build({page}));
    ASSERT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0)[0], 10);
    EXPECT_EQ(row_bytes(p, 0)[3], 20);
    EXPECT_EQ(row_bytes(p, 1)[0], 30);
    const Bytes red = row_bytes(p, 0);
    EXPECT_GE(red[6], 250);
    EXPECT_LE(red[7], 5);
    EXPECT_LE(red[8], 5);
}

// Files of 16-bit samples with a raw-sample tag hold 12 significant bits over a narrow range:
// they are stretched from their darkest to their brightest value.
TEST_F(Tiff, RawSampleFilesAreStretchedOverTheirRange)
{
    auto grey16 = [](const TiffBytes& b, const std::vector<uint32_t>& values, int w, int h) {
        std::string d;
        for (uint32_t v : values) b.u16(d, v);
        PageParts page = plain_page(w, h, 16, 1, 1, d);
        page.set(33628, 4, {0});
        return b.build({page});
    };
    const std::vector<uint32_t> ramp = {0x0100, 0x0800, 0x1000, 0x0400, 0x0FF0, 0x0180};
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        // Shifted: 16 128 256 / 64 255 24, so 16 is black and 256 white.
        Picture& p = load_ok(grey16(TiffBytes(big), ramp, 3, 2));
        ASSERT_EQ(p.type, PIXEL_GREY);
        EXPECT_EQ(row_bytes(p, 0), (Bytes{0, 119, 255}));
        EXPECT_EQ(row_bytes(p, 1), (Bytes{51, 253, 8}));
    }

    // Without the tag the same file keeps the high bytes.
    TiffBytes b;
    std::string d;
    for (uint32_t v : ramp) b.u16(d, v);
    EXPECT_EQ(row_bytes(load_ok(b.build({plain_page(3, 2, 16, 1, 1, d)})), 1), (Bytes{0x04, 0x0F, 0x01}));

    // A flat picture has no range: it keeps its level rather than dividing by zero.
    EXPECT_EQ(row_bytes(load_ok(grey16(b, std::vector<uint32_t>(6, 0x0800), 3, 2)), 1), (Bytes{8, 8, 8}));

    // A file cut inside its last row: the whole rows, stretched over their own range.
    const std::string whole = grey16(b, {0x0100, 0x0800, 0x1000, 0x0400, 0x0FF0, 0x0180, 0xFFF0, 0x0000, 0x0000}, 3, 3);
    const std::string cut = whole.substr(0, whole.size() - 4 - (whole.size() & 1));
    Picture pic{};
    EXPECT_EQ(load_bytes(cut, ".tif", &pic, params("tiff")), STATUS_INCOMPLETE);
    picture_free(&pic);
    Picture& partial = load_ok(cut, LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 0), (Bytes{0, 119, 255}));
    EXPECT_EQ(row_bytes(partial, 2), (Bytes{0, 0, 0}));
}

// YCbCr in three planes: luma at full size, Cb and Cr with one sample per block.
struct YccPlanes {
    int w, h, bh, bv;
    std::vector<uint8_t> y, cb, cr;
    int cw() const { return (w + bh - 1) / bh; }
    int ch() const { return (h + bv - 1) / bv; }
};

YccPlanes ycc_planes(int w, int h, int bh, int bv, unsigned seed)
{
    std::mt19937 rng(seed);
    YccPlanes p{w, h, bh, bv, {}, {}, {}};
    for (int i = 0; i < w * h; ++i) p.y.push_back(static_cast<uint8_t>(rng()));
    for (int i = 0; i < p.cw() * p.ch(); ++i) {
        p.cb.push_back(static_cast<uint8_t>(rng()));
        p.cr.push_back(static_cast<uint8_t>(rng()));
    }
    return p;
}

// The same pixels in contiguous blocks, the layout the reader has long understood.
std::string ycc_blocks(const YccPlanes& p)
{
    std::string d;
    for (int by = 0; by < p.ch(); ++by)
        for (int bx = 0; bx < p.cw(); ++bx) {
            for (int j = 0; j < p.bv; ++j)
                for (int i = 0; i < p.bh; ++i) {
                    const int x = std::min(bx * p.bh + i, p.w - 1), y = std::min(by * p.bv + j, p.h - 1);
                    d += static_cast<char>(p.y[static_cast<size_t>(y * p.w + x)]);
                }
            d += static_cast<char>(p.cb[static_cast<size_t>(by * p.cw() + bx)]);
            d += static_cast<char>(p.cr[static_cast<size_t>(by * p.cw() + bx)]);
        }
    return d;
}

// Strips of `rows` luma rows (rows / bv chroma rows), each plane in turn; PackBits on request.
PageParts ycc_planar_page(const YccPlanes& p, int rows, bool packbits)
{
    PageParts page = plain_page(p.w, p.h, 8, 3, 6, "");
    page.strips.clear();
    page.shorts(284, {2}).shorts(530, {static_cast<uint32_t>(p.bh), static_cast<uint32_t>(p.bv)});
    page.set(278, 4, {static_cast<uint32_t>(rows)});
    if (packbits) page.shorts(259, {32773});
    auto add = [&](const std::vector<uint8_t>& plane, int width, int height, int strip_rows) {
        for (int y0 = 0; y0 < height; y0 += strip_rows) {
            std::string strip;
            for (int y = y0; y < std::min(height, y0 + strip_rows); ++y) {
                if (packbits) strip += static_cast<char>(width - 1);  // one literal run per row
                strip.append(reinterpret_cast<const char*>(plane.data()) + y * width, static_cast<size_t>(width));
            }
            page.strips.push_back(strip);
        }
    };
    add(p.y, p.w, p.h, rows);
    add(p.cb, p.cw(), p.ch(), rows / p.bv);
    add(p.cr, p.cw(), p.ch(), rows / p.bv);
    return page;
}

TEST_F(Tiff, PlanarYCbCrWithSubsampling)
{
    // Known pixels first: neutral chroma leaves grey levels, one block of pure red chroma.
    YccPlanes known{5, 3, 2, 2, {}, {}, {}};
    known.y = {10, 20, 76, 76, 50, 30, 40, 76, 76, 60, 70, 80, 90, 100, 110};
    known.cb = {128, 85, 128, 128, 128, 128};
    known.cr = {128, 255, 128, 128, 128, 128};
    Picture& k = load_ok(TiffBytes().build({ycc_planar_page(known, 2, false)}));
    ASSERT_EQ(k.type, PIXEL_RGB);
    ASSERT_EQ(k.width, 5);
    EXPECT_EQ(row_bytes(k, 0)[0], 10);
    EXPECT_EQ(row_bytes(k, 0)[14], 50);
    EXPECT_EQ(row_bytes(k, 2), (Bytes{70, 70, 70, 80, 80, 80, 90, 90, 90, 100, 100, 100, 110, 110, 110}));
    for (int y : {0, 1})
        for (int x : {2, 3}) {
            const Bytes row = row_bytes(k, y);
            EXPECT_GE(row[static_cast<size_t>(3 * x)], 250) << x << "," << y;
            EXPECT_LE(row[static_cast<size_t>(3 * x + 1)], 5);
            EXPECT_LE(row[static_cast<size_t>(3 * x + 2)], 5);
        }

    // Every subsampling, odd sizes, several strips, both byte orders: the same picture as the
    // contiguous layout gives.
    unsigned seed = 1;
    for (const auto& [bh, bv] : {std::pair{1, 1}, {2, 1}, {2, 2}, {4, 1}, {4, 2}, {1, 2}})
        for (bool big : {false, true}) {
            SCOPED_TRACE(std::to_string(bh) + "x" + std::to_string(bv) + (big ? " MM" : " II"));
            const YccPlanes p = ycc_planes(11, 7, bh, bv, seed++);
            PageParts contiguous = plain_page(11, 7, 8, 3, 6, ycc_blocks(p));
            contiguous.shorts(530, {static_cast<uint32_t>(bh), static_cast<uint32_t>(bv)});
            Picture& want = load_ok(TiffBytes(big).build({contiguous}));
            Picture& got = load_ok(TiffBytes(big).build({ycc_planar_page(p, 2 * bv, big)}));
            ASSERT_EQ(got.type, PIXEL_RGB);
            for (int y = 0; y < 7; ++y) EXPECT_EQ(row_bytes(got, y), row_bytes(want, y)) << y;
        }

    // The last Cr strip missing: only rows whose three samples were read, then "incomplete".
    PageParts cut = ycc_planar_page(known, 2, true);
    cut.strips.back() = "\x02\x90";  // a literal run of three with one byte left
    const std::string file = TiffBytes().build({cut});
    Picture pic{};
    EXPECT_EQ(load_bytes(file, ".tif", &pic, params("tiff")), STATUS_INCOMPLETE);
    picture_free(&pic);
    Picture& partial = load_ok(file, LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 1)[0], 30);
    EXPECT_EQ(row_bytes(partial, 2), Bytes(15, 0));
}

// --- writing -----------------------------------------------------------------------------------

struct Kind {
    uint16_t type;
    int colours;
    const char* name;
};
constexpr Kind KINDS[] = {{PIXEL_BINARY, 2, "bilevel"},  {PIXEL_GREY, 256, "grey"},  {PIXEL_GREY, 16, "grey16"},
                          {PIXEL_COLORS, 256, "palette"}, {PIXEL_COLORS, 4, "palette4"}, {PIXEL_RGB, 0, "rgb"},
                          {PIXEL_RGBA, 0, "rgba"},       {PIXEL_CMYK, 0, "cmyk"}};

class TiffWriting : public CodecTest {
public:
    Picture& sample(const Kind& k)
    {
        Picture& p = make(k.type, 37, 21);
        fill_pattern(p, k.colours ? k.colours : 256);
        if (k.colours) p.colour_used = static_cast<int16_t>(k.colours);
        if (p.colour_map)
            for (int i = 0; i < 256; ++i) {
                p.colour_map[i] = static_cast<uint8_t>(i * 3);
                p.colour_map[256 + i] = static_cast<uint8_t>(255 - i);
                p.colour_map[512 + i] = static_cast<uint8_t>(i * 7);
            }
        return p;
    }
    Status save_as(const Picture& p, uint16_t option, const std::string& path)
    {
        SaveParams sp = save_params("tiff");
        tiff_set_save_options(&sp, option, false);
        sp.quality = 95;
        return save_picture(path.c_str(), &p, &sp);
    }
    Picture& keep_loaded(const std::string& path, uint32_t flags)
    {
        Picture pic{};
        EXPECT_EQ(load(path, &pic, params("tiff", flags)), STATUS_OK);
        return keep(pic);
    }
    // Every pixel as R, G, B, A, so that pictures of different types compare.
    static std::vector<uint8_t> rgba(const Picture& p);
};

std::vector<uint8_t> TiffWriting::rgba(const Picture& p)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* r = picture_line(&p, y);
        for (int x = 0; x < p.width; ++x) {
            uint8_t px[4] = {0, 0, 0, 255};
            switch (p.type) {
            case PIXEL_BINARY: px[0] = px[1] = px[2] = bit_get(r, x) ? 255 : 0; break;
            case PIXEL_GREY: {
                const int levels = p.colour_used > 1 && p.colour_used < 256 ? p.colour_used : 256;
                px[0] = px[1] = px[2] = static_cast<uint8_t>(r[x] * 255 / (levels - 1));
                break;
            }
            case PIXEL_COLORS:
                px[0] = p.colour_map[r[x]];
                px[1] = p.colour_map[256 + r[x]];
                px[2] = p.colour_map[512 + r[x]];
                break;
            case PIXEL_RGB: std::memcpy(px, r + 3 * x, 3); break;
            default: std::memcpy(px, r + 4 * x, 4); break;
            }
            out.insert(out.end(), px, px + 4);
        }
    }
    return out;
}

void expect_close(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance)
{
    ASSERT_EQ(a.size(), b.size());
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LE(worst, tolerance);
}

TEST_F(TiffWriting, EveryCompressionForEveryPixelType)
{
    for (const Kind& k : KINDS)
        for (uint16_t option = TIFF_SAVE_NONE; option <= TIFF_SAVE_G4; ++option) {
            SCOPED_TRACE(std::string(k.name) + " option " + std::to_string(option));
            Picture& p = sample(k);
            TempFile f(".tif");
            ASSERT_EQ(save_as(p, option, f.path()), STATUS_OK);
            LoadParams lp = params("tiff", k.type == PIXEL_CMYK ? uint32_t{LOAD_KEEP_CMYK} : 0u);
            if (k.type == PIXEL_RGBA) lp.flags |= LOAD_WANT_ALPHA;
            Picture back{};
            ASSERT_EQ(load(f.path(), &back, lp), STATUS_OK);
            keep(back);
            const bool jpeg = option == TIFF_SAVE_G3_OR_JPEG && (k.type == PIXEL_RGB || (k.type == PIXEL_GREY && k.colours == 256));
            if (k.type == PIXEL_CMYK) {
                ASSERT_EQ(back.type, PIXEL_CMYK);
                EXPECT_EQ(row_bytes(back, 20), row_bytes(p, 20));
            } else {
                expect_close(rgba(back), rgba(p), jpeg ? 40 : 0);
            }
        }
}

// JPEG strips of a large page are decoded side by side too: the picture comes back close to what
// was saved, strips in their places, and a strip made unreadable ends the page after the rows
// above it, which are those of the whole file.
TEST_F(TiffWriting, LargeJpegPagesDecodeTheirStripsInPlace)
{
    const int w = 1000, h = 900;
    Picture& p = make(PIXEL_RGB, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* q = picture_line(&p, y) + 3 * x;
            q[0] = static_cast<uint8_t>(x * 255 / w), q[1] = static_cast<uint8_t>(y * 255 / h), q[2] = static_cast<uint8_t>((x + y) / 8);
        }
    TempFile f(".tif");
    ASSERT_EQ(save_as(p, TIFF_SAVE_G3_OR_JPEG, f.path()), STATUS_OK);
    Picture& back = keep_loaded(f.path(), 0);
    expect_close(rgba(back), rgba(p), 12);

    // The 25th strip's stream (16 rows a strip) overwritten from its start.
    std::string bytes = read_file(f.path());
    size_t at = 0;
    for (int strip = 0; strip < 25; ++strip) at = bytes.find("\xFF\xD8\xFF", at + 1);
    ASSERT_NE(at, std::string::npos);
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 64), '\0');
    TempFile damaged(".tif", bytes);
    Picture pic{};
    EXPECT_NE(load(damaged.path(), &pic, params("tiff")), STATUS_OK);
    picture_free(&pic);
    Picture& partial = keep_loaded(damaged.path(), LOAD_ACCEPT_DAMAGED);
    for (int y = 0; y < 24 * 16; y += 17) ASSERT_EQ(row_bytes(partial, y), row_bytes(back, y)) << y;
    EXPECT_EQ(row_bytes(partial, 24 * 16 + 5), Bytes(3 * w, 0));
}

TEST_F(TiffWriting, TheLzwSwitchAndTheSoftwareTag)
{
    Picture& p = sample(KINDS[5]);
    TempFile f(".tif");
    lzw_set_enabled(false);
    EXPECT_EQ(save_as(p, TIFF_SAVE_LZW, f.path()), STATUS_TYPE_UNSUPPORTED);
    lzw_set_enabled(true);
    ASSERT_EQ(save_as(p, TIFF_SAVE_LZW, f.path()), STATUS_OK);
    lzw_set_enabled(false);
    Picture back{};
    FileInfo info{};
    EXPECT_EQ(load(f.path(), &back, params("tiff"), &info), STATUS_BAD_HEADER);
    EXPECT_STREQ(info.message, "TIFF : Bad compression (LZW) !");
    lzw_set_enabled(true);
}

// libtiff's tools, where installed, must read every file we write: tiffcp decodes it and writes
// it uncompressed, and that copy must hold our pixels.
TEST_F(TiffWriting, OtherReadersAcceptOurFiles)
{
    if (std::system("tiffcp -h > /dev/null 2>&1") == -1 || std::system("command -v tiffcp > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "tiffcp is not installed";
    for (const Kind& k : KINDS)
        for (uint16_t option = TIFF_SAVE_NONE; option <= TIFF_SAVE_G4; ++option) {
            SCOPED_TRACE(std::string(k.name) + " option " + std::to_string(option));
            Picture& p = sample(k);
            TempFile ours(".tif"), copy(".tif"), errors(".txt");
            ASSERT_EQ(save_as(p, option, ours.path()), STATUS_OK);
            const std::string command = std::string("tiffcp -c none ") + ours.path() + " " + copy.path() + " 2> " + errors.path();
            ASSERT_EQ(std::system(command.c_str()), 0) << read_file(errors.path());
            EXPECT_EQ(read_file(errors.path()), "");
            if (option == TIFF_SAVE_G3_OR_JPEG && k.type != PIXEL_BINARY) continue;  // lossy
            LoadParams lp = params("tiff", k.type == PIXEL_CMYK ? uint32_t{LOAD_KEEP_CMYK} : 0u);
            if (k.type == PIXEL_RGBA) lp.flags |= LOAD_WANT_ALPHA;
            Picture back{};
            ASSERT_EQ(load(copy.path(), &back, lp), STATUS_OK);
            keep(back);
            if (k.type == PIXEL_CMYK) EXPECT_EQ(row_bytes(back, 20), row_bytes(p, 20));
            else expect_close(rgba(back), rgba(p), 0);
        }
}

}  // namespace
