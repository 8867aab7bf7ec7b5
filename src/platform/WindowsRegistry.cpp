#ifdef _WIN32

#include "platform/WindowsRegistry.h"

#include <windows.h>

namespace {
// Predefined root keys are 32-bit values that the system sign-extends to a handle's width.
HKEY rootHandle(quint32 root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

HKEY keyHandle(Registry::Key key) {
    return reinterpret_cast<HKEY>(key);
}
} // namespace

long WindowsRegistry::openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) {
    HKEY opened = nullptr;
    const LONG result =
        RegOpenKeyExA(rootHandle(root), path.constData(), 0, static_cast<REGSAM>(access), &opened);
    key = result == ERROR_SUCCESS ? reinterpret_cast<Key>(opened) : 0;
    return result;
}

long WindowsRegistry::queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) {
    DWORD valueType = 0;
    DWORD valueSize = size;
    const LONG result = RegQueryValueExA(keyHandle(key), name.constData(), nullptr, &valueType,
                                         reinterpret_cast<LPBYTE>(data), &valueSize);
    type = valueType;
    size = valueSize;
    return result;
}

long WindowsRegistry::closeKey(Key key) {
    return RegCloseKey(keyHandle(key));
}

#endif
