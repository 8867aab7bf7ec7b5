#pragma once

#include <QObject>

#include <vector>

// Every test class of an executable registers itself here; TestMain runs them all in turn.
struct TestRegistry {
    using Factory = QObject *(*)();
    static std::vector<Factory> &all() {
        static std::vector<Factory> factories;
        return factories;
    }
    explicit TestRegistry(Factory factory) { all().push_back(factory); }
};

#define ZARARE_TEST(Class)                                                                                   \
    static const TestRegistry zarareRegister##Class([]() -> QObject * { return new Class; });
