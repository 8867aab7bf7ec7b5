#pragma once

#include <QString>

// The program's identity: its title and version numbers.
namespace AppIdentity {

inline constexpr int Major = 1;
inline constexpr int Minor = 2;
inline constexpr int Revision = 1;

inline QString title() {
    return QStringLiteral("Zar-Are");
}

} // namespace AppIdentity
