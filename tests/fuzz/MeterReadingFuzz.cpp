#include "link/MeterLink.h"
#include "tests/fuzz/Fuzz.h"

#include <cmath>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray line = psucal::fuzz::Bytes(data, size);
    const std::optional<double> reading = psucal::MeterLink::ParseReading(line);
    if (!reading)
        return 0;
    const double value = *reading;
    FUZZ_CHECK(std::isfinite(value) && std::fabs(value) < 9.9e37);
    // The value is the one number the line holds, sign kept, read independently.
    const std::string text = line.trimmed().toStdString();
    FUZZ_CHECK(!text.empty() && text.find_first_of("nNiIxX,") == std::string::npos);
    char* end = nullptr;
    const double c = std::strtod(text.c_str(), &end);
    FUZZ_CHECK(end == text.c_str() + text.size());
    FUZZ_CHECK(c == value);
    return 0;
}
