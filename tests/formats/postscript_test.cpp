// PostScript, EPS and PDF through the interpreter library: sizes of the corpus's documents, the
// DOS EPS wrapper and Photoshop blocks, a missing interpreter, temporary files left behind; and
// the EPS writer's text and its pictures rendered back.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "formats/codec_files.h"
#include "formats/postscript/eps_dos_header.h"
#include "formats/postscript/ghostscript.h"
#include "formats/postscript/ps_codec.h"
#include "support/corpus.h"

namespace {

int scratch_files()
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        if (e.path().filename().string().rfind("x_", 0) == 0) ++n;
    return n;
}

struct Rgb {
    int r, g, b;
};

Rgb pixel(const Picture& p, int x, int y)
{
    const uint8_t* row = picture_line(&p, y);
    switch (p.type) {
    case PIXEL_BINARY: {
        const int v = bit_get(row, x) ? 255 : 0;
        return {v, v, v};
    }
    case PIXEL_GREY: {
        const int v = p.colour_used > 1 && p.colour_used < 256 ? row[x] * 255 / (p.colour_used - 1) : row[x];
        return {v, v, v};
    }
    case PIXEL_COLORS: return {p.colour_map[row[x]], p.colour_map[256 + row[x]], p.colour_map[512 + row[x]]};
    default: {
        const uint8_t* q = row + x * p.bytes_per_pixel;
        return {q[0], q[1], q[2]};
    }
    }
}

class PostScript : public CodecTest {
protected:
    void SetUp() override
    {
        CodecTest::SetUp();
        if (!ghostscript_available()) GTEST_SKIP() << "no interpreter library";
        scratch_before_ = scratch_files();
    }
    void TearDown() override
    {
        ghostscript_set_library_name(nullptr);
        if (!IsSkipped()) {
            EXPECT_EQ(scratch_files(), scratch_before_) << "temporary files left behind";
        }
        CodecTest::TearDown();
    }
    LoadParams any(uint32_t flags = 0)
    {
        LoadParams p;
        load_params_init(&p);
        p.flags = flags;
        p.line_padding = 1;
        return p;
    }
    int scratch_before_ = 0;
};

TEST_F(PostScript, CorpusDocumentsRenderAtTheirBoxesLessHalfAPixel)
{
    struct Case {
        const char* file;
        const char* format;
        int width, height;
    } cases[] = {
        {"eps/zero_bb.eps", "eps", 459, 351},        // box 0 0 460 352
        {"eps/tk-logo.eps", "eps", 119, 180},        // box 251 331 371 512: translated to the origin
        {"eps/pil_sample_cmyk.eps", "eps", 99, 99},  //
        {"eps/illu10_preview.eps", "ps", 402, 2447}, // DOS wrapper: the text is not EPS's first line
        {"pdf/PDF.pdf", "pdf", 7, 7},                // media box 0 0 8 8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Picture pic{};
        FileInfo info{};
        ASSERT_EQ(load(corpus_path(c.file), &pic, any(), &info), STATUS_OK);
        keep(pic);
        EXPECT_EQ(pic.width, c.width);
        EXPECT_EQ(pic.height, c.height);
        EXPECT_EQ(format_rows()[info.format_index].name, std::string(c.format));
        EXPECT_EQ(pic.x_dpi, 72);
    }
    // Text that never shows its page gives the interpreter nothing to write.
    Picture pic{};
    EXPECT_EQ(load(corpus_path("eps/reqd_showpage.eps"), &pic, any()), STATUS_UNKNOWN_FORMAT);
}

TEST_F(PostScript, BoxTranslationDefaultPageAndRenderResolution)
{
    const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 100 100 300 200\n"
                            "0 setgray 100 100 moveto 300 100 lineto 300 200 lineto 100 200 lineto fill\n";
    Picture pic{};
    FileInfo info{};
    ASSERT_EQ(load_bytes(eps, ".eps", &pic, any(), &info), STATUS_OK);
    keep(pic);
    EXPECT_EQ(pic.width, 199);
    EXPECT_EQ(pic.height, 99);
    EXPECT_STREQ(info.format_label, "Encapsuled Postscript");
    // Translated by -100 -100: the filled box covers the whole page.
    EXPECT_LT(pixel(pic, 100, 50).r, 20);
    EXPECT_LT(pixel(pic, 0, 0).r, 20);

    LoadParams twice = any();
    twice.render_resolution = 144;
    Picture big{};
    ASSERT_EQ(load_bytes(eps, ".eps", &big, twice), STATUS_OK);
    keep(big);
    EXPECT_EQ(big.width, 399);
    EXPECT_EQ(big.height, 199);
    EXPECT_EQ(big.x_dpi, 144);

    Picture page{};
    ASSERT_EQ(load_bytes("%!PS\n0 setgray 0 0 moveto 10 0 rlineto 0 10 rlineto fill showpage\n", ".ps", &page,
                         any(), &info),
              STATUS_OK);
    keep(page);
    EXPECT_EQ(page.width, 611);
    EXPECT_EQ(page.height, 791);
    EXPECT_STREQ(info.format_label, "Postscript");
}

TEST_F(PostScript, EpsRowWantsTheEpsfLineAndPdfIsNotPostScript)
{
    Picture pic{};
    EXPECT_EQ(load_bytes("%!PS-Adobe-3.0\nshowpage\n", ".eps", &pic, params("eps")), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(load_bytes("%PDF-1.4\n", ".ps", &pic, params("ps")), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(load_bytes("%!PS", ".pdf", &pic, params("pdf")), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(load_bytes(std::string("\xC5\xD0\xD3\x00", 4) + std::string(40, 0), ".ps", &pic, params("ps")),
              STATUS_UNKNOWN_FORMAT);
    EXPECT_FALSE(pdf_signature(reinterpret_cast<const uint8_t*>("%!PS-"), 5));
    EXPECT_FALSE(ps_signature(reinterpret_cast<const uint8_t*>("%PDF-"), 5));
    EXPECT_FALSE(eps_signature(reinterpret_cast<const uint8_t*>("%!PS-Adobe-3.0\n"), 15));
    EXPECT_TRUE(eps_signature(reinterpret_cast<const uint8_t*>("%!PS-Adobe-3.0 EPSF-3.0\n"), 24));
}

TEST_F(PostScript, MissingOrBrokenInterpreterIsNotRecognised)
{
    for (const char* name : {"/nonexistent/libgs.so.10", "libz.so.1"}) {
        SCOPED_TRACE(name);
        ghostscript_set_library_name(name);
        EXPECT_FALSE(ghostscript_available());
        Picture pic{};
        EXPECT_EQ(load(corpus_path("eps/zero_bb.eps"), &pic, any()), STATUS_UNKNOWN_FORMAT);
        EXPECT_EQ(load(corpus_path("pdf/PDF.pdf"), &pic, any()), STATUS_UNKNOWN_FORMAT);
    }
}

#if defined(_WIN32)
// Registry keys made for one test and removed after it, deepest first.
class RegistryKeys {
public:
    ~RegistryKeys()
    {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) RegDeleteKeyA(it->first, it->second.c_str());
    }
    void add(HKEY root, const std::string& path, const char* dll = nullptr)
    {
        HKEY key;
        DWORD disposition = 0;
        if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
            return;
        if (disposition == REG_CREATED_NEW_KEY) made_.emplace_back(root, path);
        if (dll) RegSetValueExA(key, "GS_DLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll), DWORD(std::strlen(dll) + 1));
        RegCloseKey(key);
    }

private:
    std::vector<std::pair<HKEY, std::string>> made_;
};

bool any_product_registered()
{
    for (const char* product : {"AFPL Ghostscript", "GNU Ghostscript", "Aladdin Ghostscript", "GPL Ghostscript"}) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string("Software\\") + product).c_str(), 0, KEY_READ, &key) ==
            ERROR_SUCCESS) {
            RegCloseKey(key);
            return true;
        }
    }
    return false;
}

TEST(GhostscriptRegistry, TheInstalledProductNamesTheLibraryFolder)
{
    if (any_product_registered()) GTEST_SKIP() << "an interpreter is installed here";
    EXPECT_EQ(ghostscript_registry_library(), "gsdll64.dll");
    {
        RegistryKeys keys;
        keys.add(HKEY_LOCAL_MACHINE, "Software\\GPL Ghostscript");
        keys.add(HKEY_LOCAL_MACHINE, "Software\\GPL Ghostscript\\10.02", "C:\\gs\\gs10.02\\bin\\gsdll64.dll");
        EXPECT_EQ(ghostscript_registry_library(), "C:\\gs\\gs10.02\\bin\\gsdll64.dll");
        // The user's own value comes first.
        keys.add(HKEY_CURRENT_USER, "Software\\GPL Ghostscript");
        keys.add(HKEY_CURRENT_USER, "Software\\GPL Ghostscript\\10.02", "D:\\mine\\gsdll32.dll");
        EXPECT_EQ(ghostscript_registry_library(), "D:\\mine\\gsdll64.dll");
        // An earlier product in the search order wins over a later one.
        keys.add(HKEY_LOCAL_MACHINE, "Software\\AFPL Ghostscript");
        keys.add(HKEY_LOCAL_MACHINE, "Software\\AFPL Ghostscript\\8.54", "C:\\afpl\\gsdll32.dll");
        EXPECT_EQ(ghostscript_registry_library(), "C:\\afpl\\gsdll64.dll");
    }
    // A product without a readable value leaves the bare name, loaded from the usual search path.
    {
        RegistryKeys keys;
        keys.add(HKEY_LOCAL_MACHINE, "Software\\GNU Ghostscript");
        keys.add(HKEY_LOCAL_MACHINE, "Software\\GNU Ghostscript\\9.05");
        EXPECT_EQ(ghostscript_registry_library(), "gsdll64.dll");
    }
    EXPECT_FALSE(any_product_registered());
}
#endif

std::string tiff_with_photoshop(const std::string& resources)
{
    // "II", 42, one directory of one entry: tag 34377, bytes.
    std::string t = "II";
    put_le(t, 42, 2);
    put_le(t, 8, 4);
    put_le(t, 1, 2);
    put_le(t, EPS_PHOTOSHOP_TAG, 2);
    put_le(t, 7, 2);
    put_le(t, static_cast<uint32_t>(resources.size()), 4);
    put_le(t, 26, 4);
    put_le(t, 0, 4);
    return t + resources;
}

std::string dos_eps(const std::string& text, const std::string& tiff)
{
    std::string f;
    put_le(f, EPS_DOS_SIGNATURE, 4);
    put_le(f, 30, 4);
    put_le(f, static_cast<uint32_t>(text.size()), 4);
    put_le(f, 0, 4);
    put_le(f, 0, 4);
    put_le(f, static_cast<uint32_t>(30 + text.size()), 4);
    put_le(f, static_cast<uint32_t>(tiff.size()), 4);
    put_le(f, 0xFFFF, 2);
    return f + text + tiff;
}

const PictureChunk* photoshop_chunk(const Picture& p)
{
    for (const PictureChunk* c = p.chunks; c; c = c->next)
        if (c->kind == 2) return c;
    return nullptr;
}

TEST_F(PostScript, PhotoshopResourcesFromThePreviewAndFromCommentBlocks)
{
    const std::string text = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 20 10\n";
    Picture pic{};
    ASSERT_EQ(load_bytes(dos_eps(text, tiff_with_photoshop("8BIMdata")), ".eps", &pic, any(LOAD_KEEP_CHUNKS)),
              STATUS_OK);
    keep(pic);
    EXPECT_EQ(pic.width, 19);
    const PictureChunk* c = photoshop_chunk(pic);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->bytes), c->size), std::string("Photoshop 3.0\0008BIMdata", 22));

    const std::string block = text + "%BeginPhotoshop: 4\n% 3842494d\n%EndPhotoshop\n";
    Picture hex{};
    ASSERT_EQ(load_bytes(block, ".eps", &hex, any(LOAD_KEEP_CHUNKS)), STATUS_OK);
    keep(hex);
    c = photoshop_chunk(hex);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->bytes), c->size), std::string("Photoshop 3.0\0008BIM", 18));

    // Damaged previews are walked safely and give nothing.
    EXPECT_TRUE(eps_preview_photoshop(reinterpret_cast<const uint8_t*>("II*\0\xF0\xFF\xFF\xFF"), 8).empty());
    std::string lying = tiff_with_photoshop("x");
    lying[14] = '\x7F';  // a count past the end
    EXPECT_TRUE(eps_preview_photoshop(reinterpret_cast<const uint8_t*>(lying.data()), lying.size()).empty());
}

// The EPS writer.

class EpsWriter : public PostScript {
protected:
    std::string save(const Picture& pic, int page_w = 0, int page_h = 0, int zoom = 0)
    {
        SaveParams sp = save_params("ps");
        eps_set_page(&sp, page_w, page_h, zoom);
        TempFile out(".eps");
        EXPECT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
        return read_file(out.path());
    }
    static std::string line_starting(const std::string& text, const std::string& start)
    {
        const size_t at = text.find("\n" + start);
        if (at == std::string::npos) return "";
        return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    }
};

TEST_F(EpsWriter, BoxesFollowResolutionAndPagePlacement)
{
    Picture& p = make(PIXEL_RGB, 720, 360);
    EXPECT_EQ(line_starting(save(p), "%%BoundingBox:"), "%%BoundingBox: 0 0 720 360");
    p.x_dpi = 144;
    const std::string placed = save(p, 595, 842);
    EXPECT_EQ(line_starting(save(p), "%%BoundingBox:"), "%%BoundingBox: 0 0 360 180");
    EXPECT_EQ(line_starting(placed, "%%BoundingBox:"), "%%BoundingBox: 117 331 477 511");
    EXPECT_EQ(line_starting(placed, "%%PageBoundingBox:"), "%%PageBoundingBox: 117 331 477 511");
    // Fitted into half the page (297.5 wide), then centred.
    EXPECT_EQ(line_starting(save(p, 595, 842, 50), "%%BoundingBox:"), "%%BoundingBox: 149 347 446 495");
    EXPECT_EQ(placed.rfind("%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: (Oxvane)\n", 0), 0u);
    EXPECT_NE(placed.find("\nend\n%%PageTrailer\n%%Trailer\n%%EOF\n"), std::string::npos);
}

TEST_F(EpsWriter, TruecolourLinesHoldTwelvePixels)
{
    Picture& p = make(PIXEL_RGB, 13, 1);
    for (int i = 0; i < 39; ++i) picture_line(&p, 0)[i] = static_cast<uint8_t>(i == 36 ? 0xAB : 0);
    const std::string text = save(p);
    const size_t at = text.find("13 1\n0\n0\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at + 9, 12 * 6 + 1 + 6 + 1), std::string(72, '0') + "\nab0000\n");
}

TEST_F(EpsWriter, EveryAcceptedTypeRendersBackAsThePicture)
{
    // Blocks of 4 x 4 pixels, compared at their centres: rendering may shift edges by a pixel.
    const int w = 48, h = 32;
    for (uint32_t type : {PIXEL_RGB, PIXEL_RGBA, PIXEL_BGR, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY}) {
        SCOPED_TRACE(type);
        Picture& p = make(type, w, h);
        if (type == PIXEL_COLORS) {
            for (int i = 0; i < 256; ++i) {
                p.colour_map[i] = static_cast<uint8_t>(i * 37);
                p.colour_map[256 + i] = static_cast<uint8_t>(255 - i);
                p.colour_map[512 + i] = static_cast<uint8_t>(i * 11);
            }
            p.colour_used = 256;
        }
        for (int y = 0; y < h; ++y) {
            uint8_t* row = picture_line(&p, y);
            for (int x = 0; x < w; ++x) {
                const int block = (x / 4) * 7 + (y / 4) * 29;
                if (type == PIXEL_BINARY) {
                    bit_put(row, x, block % 3 == 0);
                    continue;
                }
                for (int k = 0; k < p.bytes_per_pixel; ++k)
                    row[x * p.bytes_per_pixel + k] = static_cast<uint8_t>(block * (k + 3) * 5);
            }
        }
        const std::string eps = save(p);
        Picture back{};
        ASSERT_EQ(load_bytes(eps, ".eps", &back, any()), STATUS_OK);
        keep(back);
        // The page is half a pixel short of the box: it loses the picture's top line.
        ASSERT_EQ(back.width, w - 1);
        ASSERT_EQ(back.height, h - 1);
        int worst = 0;
        for (int by = 1; by < h / 4; ++by)
            for (int bx = 0; bx < w / 4; ++bx) {
                const int x = bx * 4 + 2, y = by * 4 + 2;
                Rgb want = pixel(p, x, y);
                if (type == PIXEL_BGR || type == PIXEL_RGBA) {
                    const uint8_t* q = picture_line(&p, y) + x * p.bytes_per_pixel;
                    want = type == PIXEL_BGR ? Rgb{q[2], q[1], q[0]} : Rgb{q[0], q[1], q[2]};
                }
                const Rgb got = pixel(back, x, y - 1);
                worst = std::max({worst, std::abs(got.r - want.r), std::abs(got.g - want.g), std::abs(got.b - want.b)});
            }
        EXPECT_LE(worst, 3);
    }
}

}  // namespace
