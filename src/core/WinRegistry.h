#pragma once

#ifdef _WIN32

#include <cstdint>

// The Windows registry through advapi32's single-byte calls: open a key, read one value's type and
// bytes into the caller's buffer, close the key. Results are the system's error codes.
namespace WinRegistry {

long openKey(std::uint32_t root, const char *path, std::uint32_t access, std::uintptr_t &key);
long queryValue(std::uintptr_t key, const char *name, std::uint32_t &type, char *data, std::uint32_t &size);
long closeKey(std::uintptr_t key);

} // namespace WinRegistry

#endif
