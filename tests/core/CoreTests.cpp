#include "CoreTest.h"
#include "core/ComputerName.h"
#include "core/NumberFormat.h"
#include "core/ReadingCut.h"

#include <cstring>
#include <string>

namespace {

struct Fields {
    std::u16string date, time, host, sensor, value, rest;
    bool hasHost, hasSensor;
};

Fields cutOf(const std::u16string &text) {
    const ReadingCut::Result r = ReadingCut::cut(text);
    auto at = [&](ReadingCut::Slice s) { return text.substr(s.pos, s.len); };
    return {at(r.date),  at(r.time), at(r.host), at(r.sensor),
            at(r.value), at(r.rest), r.hasHost,  r.hasSensor};
}

} // namespace

CORE_SUITE(readingCut) {
    const Fields worked = cutOf(u"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C");
    CHECK(worked.date == u"Sep  9");
    CHECK(worked.time == u"20:04:58");
    CHECK(worked.hasHost && worked.host == u"OFFICE");
    CHECK(worked.hasSensor && worked.sensor == u"CPU Temp");
    CHECK(worked.value == u"45.0");
    CHECK(worked.rest == u"Temp=45.0 C");

    const Fields reversed = cutOf(u"<13>Sep  9 20:04:58 H a]b[ CPU ]: T=4 C");
    CHECK(reversed.hasSensor && reversed.sensor == u"CPU");
    const Fields shortText = cutOf(u"<13>Sep  9 20:04:58");
    CHECK(!shortText.hasHost && !shortText.hasSensor && shortText.value.empty() && shortText.rest.empty());

    std::u16string longValue = u"<13>Sep  9 20:04:58 H s[A]: T=";
    longValue += std::u16string(400, u'v');
    CHECK(cutOf(longValue).value.size() == std::size_t(229)); // 255 after the priority, 26 before the value

    std::u16string far(40000, u'a');
    far += u">Sep  9 20:04:58 H s[A]: T=1";
    CHECK(cutOf(far).host == u"H");
}

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
    CHECK(general(double(1234.5f), 7) == "1234.5");

    double v = 0;
    CHECK(NumberFormat::parse("  -120 ", v) && v == -120);
    CHECK(NumberFormat::parse("1E+15", v) && v == 1e15);
    CHECK(NumberFormat::parse("+.5", v) && v == 0.5);
    CHECK(!NumberFormat::parse("1,5", v));
    CHECK(!NumberFormat::parse("inf", v));
    CHECK(!NumberFormat::parse("0x10", v));
    CHECK(!NumberFormat::parse("1E+999", v));
    CHECK(!NumberFormat::parse("", v));
}

CORE_SUITE(computerName) {
    const std::string name = localComputerName();
    CHECK(!name.empty());
    CHECK(name.find('\0') == std::string::npos);
}
