#include "app/win32/BitmapRegister.h"

#include <cstdio>
#include <cstdlib>

#include "app/bitmap_register.h"

namespace {

HBITMAP record(BitmapKind kind, HBITMAP bitmap, const char* label, int number)
{
    if (bitmap && !bitmap_register().add(kind, bitmap, label, number)) {
        std::printf("Error : _LoadBitmap malloc failed...\n");
        std::fflush(stdout);
        std::exit(0);
    }
    return bitmap;
}

}  // namespace

HBITMAP register_create_dib_bitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                                   const BITMAPINFO* info, UINT usage, const char* label, int number)
{
    return record(BitmapKind::dib_bitmap, CreateDIBitmap(dc, header, init, bits, info, usage), label, number);
}

HBITMAP register_create_compatible_bitmap(HDC dc, int width, int height, const char* label, int number)
{
    return record(BitmapKind::compatible_bitmap, CreateCompatibleBitmap(dc, width, height), label, number);
}

HBITMAP register_create_dib_section(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset, const char* label, int number)
{
    return record(BitmapKind::dib_section, CreateDIBSection(dc, info, usage, bits, section, offset), label,
                  number);
}

BOOL register_delete_object(HGDIOBJ object)
{
    bitmap_register().remove(object);
    return DeleteObject(object);
}

size_t bitmap_register_count()
{
    return bitmap_register().count();
}

void bitmap_register_report()
{
    std::vector<BitmapRecord> left = bitmap_register().take_all();
    if (left.empty()) return;
    std::printf("Error : HBITMAP not freed\n");
    std::fflush(stdout);
    for (const BitmapRecord& r : left) {
        char message[512];
        std::snprintf(message, sizeof message, "HBitmap not freed : %s %d \n", r.label.c_str(), r.number);
        MessageBoxA(nullptr, message, "Warning", MB_OK);
    }
}
