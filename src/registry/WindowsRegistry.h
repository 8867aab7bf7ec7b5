#pragma once

#ifdef _WIN32

#include "registry/Registry.h"

// The Windows registry through advapi32's single-byte calls.
class WindowsRegistry : public Registry {
public:
    long openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) override;
    long queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) override;
    long closeKey(Key key) override;
};

#endif
