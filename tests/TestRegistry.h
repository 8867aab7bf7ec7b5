#pragma once

#include <QObject>

#include <vector>

// Every test class of an executable registers itself here; TestMain runs them all in turn.
namespace TestRegistry {
using Factory = QObject *(*)();
std::vector<Factory> &all();
struct Add {
    explicit Add(Factory factory) { all().push_back(factory); }
};
} // namespace TestRegistry

#define ZARARE_TEST(Class)                                                                                   \
    static const TestRegistry::Add zarareRegister##Class([]() -> QObject * { return new Class; });
