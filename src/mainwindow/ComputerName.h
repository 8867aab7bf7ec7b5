#pragma once

#include <QString>

// The local computer's name for the caption, or "(Not Known)" when the system gives none.
QString GetLocalComputerName();
