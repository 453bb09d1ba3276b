#include "wizard/ConfReader.h"
#include "tests/fuzz/Fuzz.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

using namespace psucal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    QFile file(dir.filePath(ConfReader::kFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(fuzz::Bytes(data, size));
    file.close();

    const ConfResult conf = ConfReader::read(dir.path());
    FUZZ_CHECK(conf.found && conf.readable);
    for (double limit : {conf.RigorUpV, conf.RigorDnV, conf.RigorOffsetV, conf.RigorUpC, conf.RigorDnC,
                         conf.RigorOffsetC})
        FUZZ_CHECK(std::isfinite(limit));
    FUZZ_CHECK(conf.RigorDnV <= conf.RigorUpV && conf.RigorDnC <= conf.RigorUpC);
    return 0;
}
