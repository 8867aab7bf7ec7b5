#include "CoreTest.h"
#include "core/ComputerName.h"
#include "core/NumberFormat.h"

#include <string>

CORE_SUITE(numberFormat) {
    using NumberFormat::general;
    CHECK(general(999999999999999.0, 15) == "999999999999999");
    CHECK(general(1e15, 15) == "1E+15");
    CHECK(general(1234567890123456.0, 15) == "1.23456789012346E+15");
    CHECK(general(0.00001, 15) == "1E-05");
    CHECK(general(0.0001, 15) == "0.0001");
    CHECK(general(-2.25, 15) == "-2.25");
    CHECK(general(-120, 7) == "-120");
    CHECK(general(double(12345678.0f), 7) == "1.234568E+07");

    double v = 0;
    CHECK(NumberFormat::parse("  -120 ", v) && v == -120);
    CHECK(NumberFormat::parse("1E+15", v) && v == 1e15);
    CHECK(NumberFormat::parse("+.5", v) && v == 0.5);
    for (const char *refused : {"1,5", "inf", "0x10", "1E+999", ""})
        CoreTest::check(!NumberFormat::parse(refused, v), refused, __FILE__, __LINE__);
}

CORE_SUITE(computerName) {
    const std::string name = localComputerName();
    CHECK(!name.empty());
    CHECK(name.find('\0') == std::string::npos);
}
