#include "registry/Registry.h"

#ifdef _WIN32
#include "registry/WindowsRegistry.h"
#else
#include "registry/PathToolRegistry.h"
#endif

#include <cstring>

Registry::~Registry() = default;

Registry &Registry::system() {
#ifdef _WIN32
    static WindowsRegistry registry;
#else
    static PathToolRegistry registry;
#endif
    return registry;
}

long Registry::deliver(quint32 storedType, const QByteArray &stored, quint32 &type, char *data,
                       quint32 &size) {
    const auto length = quint32(stored.size());
    type = storedType;
    const bool fits = length <= size;
    if (fits && data && length > 0)
        std::memcpy(data, stored.constData(), length);
    size = length;
    return fits || !data ? Success : MoreData;
}
