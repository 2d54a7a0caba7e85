#include "formats/postscript/ghostscript.h"

#include <cstdio>
#include <mutex>

#include "core/dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>
#define GS_API __stdcall
#else
#define GS_API
#endif

namespace {

using StdinFunction = int(GS_API*)(void*, char*, int);
using StdoutFunction = int(GS_API*)(void*, const char*, int);
using NewInstance = int(GS_API*)(void**, void*);
using DeleteInstance = void(GS_API*)(void*);
using SetStdio = int(GS_API*)(void*, StdinFunction, StdoutFunction, StdoutFunction);
using InitWithArgs = int(GS_API*)(void*, int, char**);
using RunString = int(GS_API*)(void*, const char*, int, int*);
using Exit = int(GS_API*)(void*);

// The interpreter's answer when it quit on its own, as it does after -dBATCH or "quit".
constexpr int GS_QUIT = -101;

std::mutex library_mutex;
std::string library_override;
bool override_set = false;
int availability = -1;  // -1 not yet known

#if defined(_WIN32)

#if defined(_WIN64)
constexpr const char* DLL_NAME = "gsdll64.dll";
#else
constexpr const char* DLL_NAME = "gsdll32.dll";
#endif

}  // namespace

// The first product with any version subkey ("8.54") wins, and of its versions the last one the
// registry enumerates.
std::string ghostscript_registry_library()
{
    static const char* const products[] = {"AFPL Ghostscript", "GNU Ghostscript", "Aladdin Ghostscript",
                                           "GPL Ghostscript"};
    for (const char* product : products) {
        char key_name[256];
        snprintf(key_name, sizeof key_name, "Software\\%s", product);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        int versions[16];
        int count = 0;
        char sub[64];
        for (DWORD i = 0; count < 16; ++i) {
            DWORD length = sizeof sub;
            if (RegEnumKeyExA(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            int major = 0, minor = 0;
            if (sscanf(sub, "%d.%d", &major, &minor) == 2) versions[count++] = major * 100 + minor;
        }
        RegCloseKey(key);
        if (count == 0) continue;
        const int version = versions[count - 1];
        snprintf(key_name, sizeof key_name, "Software\\%s\\%d.%02d", product, version / 100, version % 100);
        char value[MAX_PATH] = {};
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            DWORD size = sizeof value - 1;
            DWORD type = 0;
            if (RegOpenKeyExA(root, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
            const LONG got = RegQueryValueExA(key, "GS_DLL", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
            RegCloseKey(key);
            if (got == ERROR_SUCCESS && type == REG_SZ) break;
            value[0] = 0;
        }
        if (!value[0]) return DLL_NAME;
        std::string path(value);
        const size_t slash = path.find_last_of("\\/");
        return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + DLL_NAME;
    }
    return DLL_NAME;
}

namespace {

void* open_default() { return dynamic_library_open(ghostscript_registry_library().c_str()); }

#else

void* open_default()
{
    void* library = dynamic_library_open("libgs.so.10");
    return library ? library : dynamic_library_open("libgs.so");
}

#endif

void* open_library()
{
    std::string name;
    {
        std::lock_guard<std::mutex> lock(library_mutex);
        if (override_set) name = library_override;
    }
    return name.empty() ? open_default() : dynamic_library_open(name.c_str());
}

int GS_API read_input(void*, char* buffer, int length)
{
    int count = 0;
    while (count < length) {
        const int c = getchar();
        if (c == EOF) break;
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return count;
}

int GS_API discard_output(void*, const char*, int length) { return length; }

}  // namespace

bool ghostscript_available()
{
    {
        std::lock_guard<std::mutex> lock(library_mutex);
        if (availability >= 0) return availability != 0;
    }
    void* library = open_library();
    const bool found = library && dynamic_library_symbol(library, "gsapi_new_instance");
    // A library that will be used stays loaded (see ghostscript_run); only a wrong one is let go.
    if (!found) dynamic_library_close(library);
    std::lock_guard<std::mutex> lock(library_mutex);
    availability = found ? 1 : 0;
    return found;
}

void ghostscript_set_library_name(const char* name)
{
    std::lock_guard<std::mutex> lock(library_mutex);
    override_set = name && *name;
    library_override = override_set ? name : "";
    availability = -1;
}

bool ghostscript_run(const std::vector<std::string>& arguments)
{
    void* library = open_library();
    if (!library) return false;
    auto new_instance = reinterpret_cast<NewInstance>(dynamic_library_symbol(library, "gsapi_new_instance"));
    auto set_stdio = reinterpret_cast<SetStdio>(dynamic_library_symbol(library, "gsapi_set_stdio"));
    auto init = reinterpret_cast<InitWithArgs>(dynamic_library_symbol(library, "gsapi_init_with_args"));
    auto run_string = reinterpret_cast<RunString>(dynamic_library_symbol(library, "gsapi_run_string"));
    auto exit = reinterpret_cast<Exit>(dynamic_library_symbol(library, "gsapi_exit"));
    auto delete_instance = reinterpret_cast<DeleteInstance>(dynamic_library_symbol(library, "gsapi_delete_instance"));
    if (!new_instance || !set_stdio || !init || !run_string || !exit || !delete_instance) {
        dynamic_library_close(library);
        return false;
    }
    void* instance = nullptr;
    if (new_instance(&instance, nullptr) < 0) {
        dynamic_library_close(library);
        return false;
    }
    set_stdio(instance, read_input, discard_output, discard_output);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int started = init(instance, static_cast<int>(arguments.size()), argv.data());
    // Having quit already after its arguments is the interpreter's way of finishing well.
    if (started == 0) {
        int exit_code = 0;
        run_string(instance, "systemdict /start get exec\n", 0, &exit_code);
    }
    exit(instance);
    delete_instance(instance);
    // The interpreter keeps process-wide state (its font cache, the font libraries it loads) that
    // it never gives back: unloading it after every picture would only lose that memory and pay
    // for loading it again, so it stays loaded for the life of the process.
    return started == 0 || started == GS_QUIT;
}
