#pragma once

#include <string>

// The local computer's name as the system gives it (GetComputerNameA on Windows, the host name
// elsewhere), in the system's single-byte code page, or "(Not Known)" when the system gives none.
std::string localComputerName();
