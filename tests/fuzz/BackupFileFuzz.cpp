#include "eeprom/BackupFile.h"
#include "link/Nibble.h"
#include "tests/fuzz/Fuzz.h"

#include <QFile>
#include <QTemporaryDir>

using namespace psucal;

static bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.bak"));
    const QByteArray bytes = fuzz::Bytes(data, size);
    if (!Write(path, bytes))
        return 0;
    QString error;
    const auto backup = eeprom::BackupFile::Read(path, &error);
    if (!backup) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    // The row lines of the file, in row order, are exactly what the backup formats back to.
    QByteArray formatted;
    for (int row = 0; row < eeprom::Rows; ++row) {
        FUZZ_CHECK(nibble::IsNibbles(backup->rows[row], image::RowLength));
        formatted += image::RowLine(row, backup->rows[row]).toLatin1() + '\n';
    }
    QByteArrayList lines;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && !line.startsWith('#'))
            lines << line;
    }
    std::sort(lines.begin(), lines.end());
    FUZZ_CHECK(lines.join('\n') + '\n' == formatted);
    // And that text reads back as the same rows.
    FUZZ_CHECK(Write(path, formatted));
    const auto again = eeprom::BackupFile::Read(path, &error);
    FUZZ_CHECK(again && again->rows == backup->rows);
    return 0;
}
