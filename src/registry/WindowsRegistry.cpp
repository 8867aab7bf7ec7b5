#ifdef _WIN32

#include "registry/WindowsRegistry.h"

#include "core/WinRegistry.h"

long WindowsRegistry::openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) {
    std::uintptr_t opened = 0;
    const long result = WinRegistry::openKey(root, path.constData(), access, opened);
    key = opened;
    return result;
}

long WindowsRegistry::queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) {
    std::uint32_t valueType = 0, valueSize = size;
    const long result = WinRegistry::queryValue(key, name.constData(), valueType, data, valueSize);
    type = valueType;
    size = valueSize;
    return result;
}

long WindowsRegistry::closeKey(Key key) {
    return WinRegistry::closeKey(key);
}

#endif
