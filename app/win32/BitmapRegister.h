// The register of the program's bitmaps: every bitmap made through these wrappers is recorded
// with the file and line that made it, and the ones never freed are reported at exit.
#pragma once

#include <windows.h>

HBITMAP register_create_dib_bitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                                   const BITMAPINFO* info, UINT usage, const char* label, int number);
HBITMAP register_create_compatible_bitmap(HDC dc, int width, int height, const char* label, int number);
HBITMAP register_create_dib_section(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset, const char* label, int number);
// Forgets the object's record, when it has one, and deletes the object.
BOOL register_delete_object(HGDIOBJ object);
// How many recorded bitmaps are still alive.
size_t bitmap_register_count();
// At exit: "Error : HBITMAP not freed" on the standard output and one message box per bitmap
// left, emptying the register.
void bitmap_register_report();

#define CREATE_COMPATIBLE_BITMAP(dc, w, h) register_create_compatible_bitmap((dc), (w), (h), __FILE__, __LINE__)
#define CREATE_DIB_SECTION(dc, info, usage, bits, section, offset) \
    register_create_dib_section((dc), (info), (usage), (bits), (section), (offset), __FILE__, __LINE__)
#define CREATE_DIB_BITMAP(dc, header, init, bits, info, usage) \
    register_create_dib_bitmap((dc), (header), (init), (bits), (info), (usage), __FILE__, __LINE__)
