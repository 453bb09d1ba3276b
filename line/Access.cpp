#include "line/Access.h"

#include <QFile>

namespace psucal::line {

namespace {
constexpr qsizetype MinimumToken = 16;
} // namespace

bool Access::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the token file %1 cannot be read (%2)").arg(path, file.errorString());
        return false;
    }
    token_ = file.readLine(4096).trimmed();
    if (token_.size() < MinimumToken) {
        *error = QStringLiteral("the token in %1 is shorter than %2 characters").arg(path).arg(MinimumToken);
        token_.clear();
        return false;
    }
    return true;
}

bool Access::matches(const QByteArray& candidate) const
{
    if (token_.isEmpty())
        return true;
    // Every byte of the longer is looked at, so the time tells nothing about the token.
    const qsizetype n = std::max(candidate.size(), token_.size());
    unsigned diff = candidate.size() == token_.size() ? 0 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned a = i < candidate.size() ? static_cast<unsigned char>(candidate[i]) : 0;
        const unsigned b = i < token_.size() ? static_cast<unsigned char>(token_[i]) : 0;
        diff |= a ^ b;
    }
    return diff == 0;
}

bool Access::allows(const Request& request) const
{
    if (token_.isEmpty())
        return true;
    if (request.authorization.startsWith("Bearer "))
        return matches(request.authorization.mid(7).trimmed());
    const QByteArray prefix = QByteArray(CookieName) + '=';
    for (const QByteArray& part : request.cookie.split(';')) {
        const QByteArray c = part.trimmed();
        if (c.startsWith(prefix))
            return matches(QByteArray::fromPercentEncoding(c.mid(prefix.size())));
    }
    return false;
}

QByteArray Access::cookie() const
{
    return QByteArray(CookieName) + '=' + token_.toPercentEncoding() + "; Path=/; HttpOnly; SameSite=Strict";
}

} // namespace psucal::line
