// Metafiles through GDI: opened as an enhanced metafile (plain and placeable ones converted),
// played into a white screen-compatible bitmap, read back as bottom-up BGR lines.
#if defined(_WIN32)

#include <windows.h>

#include "core/status.h"  // after windows.h: keeps STATUS_NO_MEMORY the library's

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/line_convert.h"
#include "formats/common/save_palette.h"
#include "formats/common/stream_bytes.h"
#include "formats/common/writable_types.h"
#include "formats/metafile/metafile_codec.h"

namespace {

constexpr int SCREEN_SIZE_LIMIT = 5000;
constexpr int PLACEABLE_HEADER = 22;

struct OpenedMetafile {
    HENHMETAFILE handle = nullptr;
    const char* label = "";
    MetafileKind kind = MetafileKind::Plain;
    int units_per_inch = 0;
    bool whole = true;  // false when the records were cut short
    ~OpenedMetafile()
    {
        if (handle) DeleteEnhMetaFile(handle);
    }
};

// The file mapped read-only for the length of the opening.
struct MappedFile {
    HANDLE file = INVALID_HANDLE_VALUE, mapping = nullptr;
    const uint8_t* view = nullptr;
    DWORD size = 0;
    bool open(const char* name)
    {
        file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        size = GetFileSize(file, nullptr);
        if (size == INVALID_FILE_SIZE || size == 0) return false;
        mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping) return false;
        view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        return view != nullptr;
    }
    ~MappedFile()
    {
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

Status open_metafile(const char* name, OpenedMetafile* m)
{
    MappedFile mapped;
    if (!mapped.open(name)) {
        OutputDebugStringA("LWF: MapFileReadOnly failed\r\n");
        return STATUS_UNKNOWN_FORMAT;
    }
    const uint8_t* data = mapped.view;
    const DWORD size = mapped.size;
    m->kind = metafile_kind(data, size);
    switch (m->kind) {
    case MetafileKind::Enhanced: {
        m->label = "Windows Enhanced metafile";
        const std::vector<uint8_t> records = emf_sound_records(data, size, &m->whole);
        if (records.empty()) return STATUS_UNKNOWN_FORMAT;
        m->handle = SetEnhMetaFileBits(static_cast<UINT>(records.size()), records.data());
        break;
    }
    case MetafileKind::Placeable: {
        m->label = "Windows Placeable metafile";
        // The metafile's own header (18 bytes) must follow, and a resolution of 0 would divide.
        if (size < PLACEABLE_HEADER + 18) return STATUS_UNKNOWN_FORMAT;
        const int left = static_cast<int16_t>(le16_at(data + 6)), top = static_cast<int16_t>(le16_at(data + 8));
        const int right = static_cast<int16_t>(le16_at(data + 10)), bottom = static_cast<int16_t>(le16_at(data + 12));
        m->units_per_inch = le16_at(data + 14);
        if (m->units_per_inch == 0) return STATUS_UNKNOWN_FORMAT;
        const std::vector<uint8_t> records = wmf_sound_records(data + PLACEABLE_HEADER, size - PLACEABLE_HEADER, &m->whole);
        if (records.empty()) return STATUS_UNKNOWN_FORMAT;
        METAFILEPICT picture{MM_ANISOTROPIC, (right - left) * 2540 / m->units_per_inch,
                             (bottom - top) * 2540 / m->units_per_inch, nullptr};
        HDC screen = GetDC(nullptr);
        m->handle = SetWinMetaFileBits(static_cast<UINT>(records.size()), records.data(), screen, &picture);
        ReleaseDC(nullptr, screen);
        break;
    }
    case MetafileKind::Plain: {
        m->label = "Windows metafile";
        const std::vector<uint8_t> records = wmf_sound_records(data, size, &m->whole);
        if (records.empty()) return STATUS_UNKNOWN_FORMAT;
        m->handle = SetWinMetaFileBits(static_cast<UINT>(records.size()), records.data(), nullptr, nullptr);
        break;
    }
    }
    return m->handle ? STATUS_OK : STATUS_UNKNOWN_FORMAT;
}

void metafile_size(HENHMETAFILE handle, int* width, int* height)
{
    ENHMETAHEADER h{};
    GetEnhMetaFileHeader(handle, sizeof h, &h);
    const int mm_x = h.szlMillimeters.cx > 0 ? h.szlMillimeters.cx : 1;
    const int mm_y = h.szlMillimeters.cy > 0 ? h.szlMillimeters.cy : 1;
    int w = MulDiv(h.rclFrame.right - h.rclFrame.left, h.szlDevice.cx, mm_x) / 100;
    int ht = MulDiv(h.rclFrame.bottom - h.rclFrame.top, h.szlDevice.cy, mm_y) / 100;
    if (w > SCREEN_SIZE_LIMIT || ht > SCREEN_SIZE_LIMIT) w /= 10, ht /= 10;
    if (w > SCREEN_SIZE_LIMIT || ht > SCREEN_SIZE_LIMIT) {
        w = MulDiv(h.rclBounds.right - h.rclBounds.left, h.szlDevice.cx, mm_x * 100);
        ht = MulDiv(h.rclBounds.bottom - h.rclBounds.top, h.szlDevice.cy, mm_y * 100);
    }
    // An empty or upside-down frame still gets a bitmap to draw into.
    *width = std::clamp(w, 1, 16000);
    *height = std::clamp(ht, 1, 16000);
}

// Screen objects released however the load ends.
struct Canvas {
    HDC screen = nullptr, memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    ~Canvas()
    {
        if (old) SelectObject(memory, old);
        if (bitmap) DeleteObject(bitmap);
        if (memory) DeleteDC(memory);
        if (screen) DeleteDC(screen);
    }
};

// 0: the display's depth; tests pick others.
int readback_bits = 0;

// The display's depth as one GetDIBits delivers.
int display_bits(HDC screen)
{
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    for (int depth : {1, 4, 8, 16, 24})
        if (bits <= depth) return depth;
    return 32;
}

// On a palette display the colours a drawing got are those of the system palette: realised into
// the memory context, the read-back colour table names them.
struct SystemPalette {
    HPALETTE palette = nullptr, old = nullptr;
    HDC dc = nullptr;
    void realise(HDC screen, HDC memory)
    {
        std::vector<uint8_t> bytes(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
        auto* log = reinterpret_cast<LOGPALETTE*>(bytes.data());
        log->palVersion = 0x300;
        log->palNumEntries = static_cast<WORD>(GetSystemPaletteEntries(screen, 0, 256, log->palPalEntry));
        if (log->palNumEntries == 0) return;
        palette = CreatePalette(log);
        if (!palette) return;
        dc = memory;
        old = SelectPalette(memory, palette, FALSE);
        RealizePalette(memory);
    }
    ~SystemPalette()
    {
        if (old) SelectPalette(dc, old, FALSE);
        if (palette) DeleteObject(palette);
    }
};

}  // namespace

bool metafile_supported() { return true; }

Status metafile_read(Stream*, LoadContext* ctx)
{
    OpenedMetafile m;
    LUM_TRY(open_metafile(ctx->file_name, &m));
    int width, height;
    metafile_size(m.handle, &width, &height);
    const LoadParams& p = ctx->params;
    if ((p.flags & LOAD_PREVIEW) && p.box_width > 0 && p.box_height > 0) {
        int fw, fh;
        metafile_fit(width, height, p.box_width, p.box_height, &fw, &fh);
        if (3 * fw < width && 3 * fh < height) width = 3 * fw, height = 3 * fh;
    } else if (p.scale_placeable && m.kind == MetafileKind::Placeable && m.units_per_inch > 96) {
        width = std::min(width * m.units_per_inch / 96, 16000);
        height = std::min(height * m.units_per_inch / 96, 16000);
    }

    Canvas c;
    c.screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (c.screen) c.memory = CreateCompatibleDC(c.screen);
    if (c.memory) c.bitmap = CreateCompatibleBitmap(c.screen, width, height);
    if (!c.bitmap) return STATUS_NO_MEMORY;
    c.old = SelectObject(c.memory, c.bitmap);
    RECT area{0, 0, width, height};
    FillRect(c.memory, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PlayEnhMetaFile(c.memory, m.handle, &area);
    SelectObject(c.memory, c.old);
    c.old = nullptr;

    // Read back at the display's own depth, as the screen would show the drawing.
    const int bits = readback_bits ? readback_bits : display_bits(c.screen);
    std::vector<uint8_t> info_bytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(info_bytes.data());
    info->bmiHeader.biSize = sizeof info->bmiHeader;
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bits);
    info->bmiHeader.biCompression = BI_RGB;
    const size_t line_bytes = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    SystemPalette palette;
    if (bits <= 8 && (GetDeviceCaps(c.screen, RASTERCAPS) & RC_PALETTE)) palette.realise(c.screen, c.memory);
    // Lines are fetched one at a time straight into the pipeline (a copy of the whole bitmap
    // could be a gigabyte more); the first fetch also fills the colour table.
    std::vector<uint8_t> first(line_bytes);
    if (!GetDIBits(c.memory, c.bitmap, 0, 1, first.data(), info, DIB_RGB_COLORS)) return STATUS_NO_MEMORY;

    HeaderInfo h;
    header_init(&h);
    std::snprintf(h.format_label, sizeof h.format_label, "%s", m.label);
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(bits);
    // 32-bit lines are blue, green, red and an unused byte, made opaque below.
    h.layout_flags = bits == 32 ? LAYOUT_BGRA : LAYOUT_REVERSED;
    h.orientation = PICTURE_ORIGIN_BOTTOM;
    h.bytes_per_plane_line = static_cast<int32_t>(line_bytes);
    uint8_t colours[768] = {};
    if (bits <= 8) {
        for (int i = 0; i < (1 << bits); ++i) {
            const RGBQUAD& q = info->bmiColors[i];
            colours[3 * i] = q.rgbRed, colours[3 * i + 1] = q.rgbGreen, colours[3 * i + 2] = q.rgbBlue;
        }
        load_set_palette(ctx, 0, 8, colours);
    }
    LUM_TRY(load_begin(ctx, &h));
    Status status = STATUS_OK;
    for (int y = 0; y < height && status == STATUS_OK; ++y) {
        if (!GetDIBits(c.memory, c.bitmap, static_cast<UINT>(y), 1, h.line_buffer, info, DIB_RGB_COLORS)) {
            status = STATUS_NO_MEMORY;
            break;
        }
        if (bits == 32)
            for (int x = 0; x < width; ++x) h.line_buffer[4 * x + 3] = 255;
        status = load_put_lines(ctx, -1, y, 1);
    }
    load_end(ctx, 0, 8, nullptr);
    // A cut drawing is shown as far as it goes, as other readers show the rows they reached.
    if (status == STATUS_OK && !m.whole) return STATUS_INCOMPLETE;
    return status;
}

void metafile_set_readback_bits(int bits) { readback_bits = bits; }

void emf_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY32, PIXEL_ANY24, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status emf_write(const char* file_name, SaveContext* ctx)
{
    const int bits = ctx->type == PIXEL_BINARY ? 1 : (ctx->type & PIXEL_ANYCOLOR) ? 24 : 8;
    const int entries = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    SaveHeader h;
    save_header_init(&h);
    h.bits_per_plane = static_cast<int16_t>(bits);
    if (bits == 24) h.layout_flags = LAYOUT_REVERSED;
    std::snprintf(h.label, sizeof h.label, "Enhanced Windows Metafile");

    std::vector<uint8_t> info_bytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(info_bytes.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = ctx->width;
    info->bmiHeader.biHeight = 1;  // one line at a time
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bits);
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biClrUsed = static_cast<DWORD>(entries);
    if (entries) {
        uint8_t rgb[768];
        save_palette_rgb(ctx, entries, rgb);
        for (int i = 0; i < entries; ++i)
            info->bmiColors[i] = RGBQUAD{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
    }

    HDC screen = GetDC(nullptr);
    const int mm_w = GetDeviceCaps(screen, HORZSIZE), mm_h = GetDeviceCaps(screen, VERTSIZE);
    const int px_w = std::max(1, GetDeviceCaps(screen, HORZRES)), px_h = std::max(1, GetDeviceCaps(screen, VERTRES));
    ReleaseDC(nullptr, screen);
    // Rounded up: the reader's rule, which truncates, then gives back the picture's own size
    // rather than a pixel less.
    RECT frame{0, 0, static_cast<LONG>((int64_t{ctx->width} * mm_w * 100 + px_w - 1) / px_w),
               static_cast<LONG>((int64_t{ctx->height} * mm_h * 100 + px_h - 1) / px_h)};
    HDC dc = CreateEnhMetaFileA(nullptr, file_name, &frame, nullptr);
    if (!dc) return STATUS_WRITE_FAILED;
    RECT area{0, 0, ctx->width, ctx->height};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Status status = save_begin(ctx, &h);
    for (int y = 0; status == STATUS_OK && y < ctx->height; ++y) {
        status = save_get_lines(ctx, -1, 1);
        if (status == STATUS_OK)
            SetDIBitsToDevice(dc, 0, y, static_cast<DWORD>(ctx->width), 1, 0, 0, 0, 1, h.line_buffer, info,
                              DIB_RGB_COLORS);
    }
    if (status == STATUS_OK) save_end(ctx);
    HENHMETAFILE done = CloseEnhMetaFile(dc);
    if (!done) return STATUS_WRITE_FAILED;
    DeleteEnhMetaFile(done);
    return status;
}

#endif
