#include "link/MeterLink.h"
#include "tests/fuzz/Fuzz.h"

#include <cmath>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray line = psucal::fuzz::Bytes(data, size);
    const double value = psucal::MeterLink::ParseReading(line);
    if (value == -1)
        return 0;
    FUZZ_CHECK(std::isfinite(value) && value >= 0 && value < 9.9e37);
    // The value is the magnitude of the one number the line holds, read independently.
    const std::string text = line.trimmed().toStdString();
    FUZZ_CHECK(!text.empty() && text.find_first_of("nNiIxX,") == std::string::npos);
    char* end = nullptr;
    const double c = std::strtod(text.c_str(), &end);
    FUZZ_CHECK(end == text.c_str() + text.size());
    FUZZ_CHECK(std::fabs(c) == value);
    return 0;
}
