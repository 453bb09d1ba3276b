#include "core/NewFile.h"

#include <QDir>

namespace psucal::files {

namespace {
constexpr int MaxSuffix = 100;

QString SafeName(const QString& serial)
{
    if (serial.isEmpty())
        return QStringLiteral("unknown");
    QString out = serial;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        const bool keep =
            (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!keep)
            c = u'_';
    }
    return out;
}
} // namespace

QString Stem(const QString& serial, const QDateTime& when)
{
    return SafeName(serial) + u'_' + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool CreateNew(QFile& file, const QString& folder, const QString& stem, const QString& extension, QString* error)
{
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    for (int n = 1; n <= MaxSuffix; ++n) {
        const QString name = n == 1 ? stem + extension : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(extension);
        file.setFileName(QDir(folder).filePath(name));
        // NewOnly fails on an existing file, so nothing kept earlier is ever replaced.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!file.exists()) {
            *error = QStringLiteral("cannot write %1 (%2)").arg(file.fileName(), file.errorString());
            return false;
        }
    }
    *error = QStringLiteral("too many files named %1 already").arg(stem);
    return false;
}

} // namespace psucal::files
