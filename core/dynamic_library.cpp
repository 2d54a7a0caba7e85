#include "core/dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <climits>

#if defined(_WIN32)

void* dynamic_library_open(const char* path)
{
    // No "cannot find the DLL" box for a plug-in that is broken or built for another system.
    const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(old_mode);
    return reinterpret_cast<void*>(module);
}

void* dynamic_library_symbol(void* library, const char* name)
{
    return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

void dynamic_library_close(void* library)
{
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

std::string executable_folder()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string folder(path, n);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

#else

void* dynamic_library_open(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void* dynamic_library_symbol(void* library, const char* name)
{
    return library ? dlsym(library, name) : nullptr;
}

void dynamic_library_close(void* library)
{
    if (library) dlclose(library);
}

std::string executable_folder()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    std::string folder(path, static_cast<size_t>(n));
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

#endif
