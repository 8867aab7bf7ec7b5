#ifdef _WIN32

#include "CoreTest.h"
#include "core/RegistryValue.h"
#include "core/WinRegistry.h"

#include <windows.h>

#include <string>

// The registry backend against the real registry: a key of the test's own under the current user.
CORE_SUITE(windowsRegistry) {
    const char *path = "Software\\Zar-Are tests";
    HKEY made = nullptr;
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr) ==
          ERROR_SUCCESS);
    const char withZero[] = "C:\\Tools\\info.exe";
    RegSetValueExA(made, "PATH", 0, REG_SZ, reinterpret_cast<const BYTE *>(withZero), sizeof withZero);
    const DWORD number = 0x1F;
    RegSetValueExA(made, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number);
    const std::string big(1025, 'x');
    RegSetValueExA(made, "Big", 0, REG_BINARY, reinterpret_cast<const BYTE *>(big.data()), DWORD(big.size()));
    RegCloseKey(made);

    const std::uint32_t currentUser = 0x80000001u, keyRead = 0x20019u;
    std::uintptr_t key = 0;
    CHECK(WinRegistry::openKey(currentUser, path, keyRead, key) == ERROR_SUCCESS);
    char buffer[1024];
    std::uint32_t type = 0, size = 0;
    const auto query = [&](const char *name) {
        size = sizeof buffer;
        return WinRegistry::queryValue(key, name, type, buffer, size);
    };
    std::string text;
    CHECK(query("PATH") == ERROR_SUCCESS && type == REG_SZ && size == sizeof withZero);
    CHECK(RegistryValue::cut(type, buffer, size, sizeof buffer, text) == RegistryValue::Outcome::Text);
    CHECK(text == withZero);
    CHECK(query("Number") == ERROR_SUCCESS);
    CHECK(RegistryValue::cut(type, buffer, size, sizeof buffer, text) == RegistryValue::Outcome::Text);
    CHECK(text == "&h1F");
    CHECK(query("Big") == ERROR_MORE_DATA);
    CHECK(query("Absent") == ERROR_FILE_NOT_FOUND);
    CHECK(WinRegistry::closeKey(key) == ERROR_SUCCESS);

    CHECK(WinRegistry::openKey(currentUser, "Software\\Zar-Are tests\\none", keyRead, key) ==
          ERROR_FILE_NOT_FOUND);
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

#endif
