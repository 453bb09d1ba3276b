#include "core/NewFile.h"

#include <QDir>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

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

QString Name(const QString& stem, int n, const QString& extension)
{
    return n == 1 ? stem + extension : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(extension);
}

// The new name is on the disk too, not only in the cache, before anything relies on the file.
void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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
        file.setFileName(QDir(folder).filePath(Name(stem, n, extension)));
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

QString WriteNew(const QString& folder, const QString& stem, const QString& extension, const QByteArray& bytes,
                 QString* error)
{
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return QString();
    }
    // Hidden and not under the extension, so that no one takes it for the real file.
    QTemporaryFile temp(QDir(folder).filePath(u'.' + stem + QStringLiteral("-XXXXXX.part")));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush() || ::fsync(temp.handle()) != 0) {
        *error = QStringLiteral("cannot write %1 (%2)").arg(temp.fileName(), temp.errorString());
        return QString();
    }
    for (int n = 1; n <= MaxSuffix; ++n) {
        const QString path = QDir(folder).filePath(Name(stem, n, extension));
        // A rename never replaces a file that is there, so nothing kept earlier is lost.
        if (QFile::exists(path))
            continue;
        if (temp.rename(path)) {
            temp.setAutoRemove(false);
            SyncFolder(folder);
            return path;
        }
        if (!QFile::exists(path)) {
            *error = QStringLiteral("cannot write %1 (%2)").arg(path, temp.errorString());
            return QString();
        }
    }
    *error = QStringLiteral("too many files named %1 already").arg(stem);
    return QString();
}

} // namespace psucal::files
