#include "core/ComputerName.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string localComputerName() {
    char buffer[256] = {};
#ifdef _WIN32
    DWORD size = 255;
    const bool ok = GetComputerNameA(buffer, &size) != 0;
#else
    const bool ok = gethostname(buffer, 255) == 0;
#endif
    buffer[255] = '\0';
    if (!ok || buffer[0] == '\0')
        return "(Not Known)";
    return buffer; // up to the first NUL
}
