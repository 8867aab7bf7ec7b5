#pragma once

#include "core/ReadingCut.h"

// The reference cutting of a BSD-syslog reading (see FrozenBsdCut.cpp): only the fields it has are
// filled; the fields added since keep their defaults.
namespace FrozenBsdCut {
ReadingCut::Result cut(std::u16string_view text);
}
