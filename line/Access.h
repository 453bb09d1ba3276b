#pragma once

#include "line/Http.h"

#include <QByteArray>
#include <QString>

namespace psucal::line {

// Who may read the pages: anyone who reaches a loopback address, or, with a token file, whoever
// shows its token as a Bearer authorization or as the cookie the login form sets.
class Access {
public:
    static constexpr const char* CookieName = "psucal_line";

    // No token: every request passes.
    Access() = default;
    // The first line of `path`; false, with `error` saying why, when it is missing or too short.
    bool load(const QString& path, QString* error);
    bool required() const { return !token_.isEmpty(); }

    bool allows(const Request& request) const;
    // Whether `candidate` is the token, in time that does not depend on where they differ.
    bool matches(const QByteArray& candidate) const;
    // The Set-Cookie value that lets a browser in after the login form.
    QByteArray cookie() const;

private:
    QByteArray token_;
};

} // namespace psucal::line
