#ifdef _WIN32

#include "core/WinRegistry.h"

#include <windows.h>

namespace {
// Predefined root keys are 32-bit values that the system sign-extends to a handle's width.
HKEY rootHandle(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}
HKEY keyHandle(std::uintptr_t key) {
    return reinterpret_cast<HKEY>(key);
}
} // namespace

namespace WinRegistry {

long openKey(std::uint32_t root, const char *path, std::uint32_t access, std::uintptr_t &key) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(rootHandle(root), path, 0, static_cast<REGSAM>(access), &opened);
    key = result == ERROR_SUCCESS ? reinterpret_cast<std::uintptr_t>(opened) : 0;
    return result;
}

long queryValue(std::uintptr_t key, const char *name, std::uint32_t &type, char *data, std::uint32_t &size) {
    DWORD valueType = 0;
    DWORD valueSize = size;
    const LONG result = RegQueryValueExA(keyHandle(key), name, nullptr, &valueType,
                                         reinterpret_cast<LPBYTE>(data), &valueSize);
    type = valueType;
    size = valueSize;
    return result;
}

long closeKey(std::uintptr_t key) {
    return RegCloseKey(keyHandle(key));
}

} // namespace WinRegistry

#endif
