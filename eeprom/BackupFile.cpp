#include "eeprom/BackupFile.h"

#include "link/Nibble.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace psucal::eeprom {

namespace {
// Far above the 7 KB of a real backup; keeps a wrongly chosen large file out of memory.
constexpr qint64 MaxFileSize = 64 * 1024;

std::optional<BackupFile> Refuse(QString* error, const QString& why)
{
    *error = why;
    return std::nullopt;
}
} // namespace

std::optional<BackupFile> BackupFile::Read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(error, QStringLiteral("it cannot be read (%1)").arg(file.errorString()));
    if (file.size() > MaxFileSize)
        return Refuse(error, QStringLiteral("it is %1 bytes long, far more than a backup").arg(file.size()));
    const QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n');

    static const QRegularExpression rowLine(QStringLiteral("^(\\d{3}) (\\S\\S) (\\S\\S) (\\S\\S) (\\S\\S)$"));
    BackupFile out;
    out.path = path;
    std::array<bool, Rows> seen{};
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const int lineNo = i + 1;
        const QRegularExpressionMatch m = rowLine.match(line);
        if (!m.hasMatch())
            return Refuse(error,
                          QStringLiteral("line %1 is neither a comment nor a row \"NNN c1 c2 c3 c4\"").arg(lineNo));
        const int row = m.captured(1).toInt();
        if (row >= Rows)
            return Refuse(error, QStringLiteral("line %1 names row %2; rows run from 000 to 159").arg(lineNo).arg(row));
        if (seen[row])
            return Refuse(error, QStringLiteral("row %1 appears twice (line %2)").arg(m.captured(1)).arg(lineNo));
        QString cells;
        for (int k = 1; k <= 4; ++k) {
            if (!nibble::IsNibbles(m.captured(k + 1), 2))
                return Refuse(error, QStringLiteral("line %1: cell %2 \"%3\" is not two characters of 0-9 : ; < = > ?")
                                         .arg(lineNo)
                                         .arg(k)
                                         .arg(m.captured(k + 1)));
            cells += m.captured(k + 1);
        }
        seen[row] = true;
        out.rows[row] = cells;
    }

    QStringList missing;
    for (int r = 0; r < Rows; ++r)
        if (!seen[r])
            missing << RowText(r);
    if (!missing.isEmpty()) {
        const QString list = missing.size() > 8 ? missing.mid(0, 8).join(QStringLiteral(", ")) + QStringLiteral(", ...")
                                                : missing.join(QStringLiteral(", "));
        return Refuse(
            error,
            QStringLiteral("it is incomplete: %1 of the 160 rows are missing (%2)").arg(missing.size()).arg(list));
    }
    return out;
}

} // namespace psucal::eeprom
