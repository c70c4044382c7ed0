#include "core/Result.h"

namespace tolvo {

QString toString(ErrorDomain domain)
{
    switch (domain) {
    case ErrorDomain::http: return QStringLiteral("http");
    case ErrorDomain::oauth: return QStringLiteral("oauth");
    case ErrorDomain::network: return QStringLiteral("network");
    case ErrorDomain::cancelled: return QStringLiteral("cancelled");
    case ErrorDomain::database: return QStringLiteral("database");
    case ErrorDomain::localCalendar: return QStringLiteral("localCalendar");
    case ErrorDomain::sync: return QStringLiteral("sync");
    case ErrorDomain::decoding: return QStringLiteral("decoding");
    case ErrorDomain::io: return QStringLiteral("io");
    case ErrorDomain::keychain: return QStringLiteral("keychain");
    case ErrorDomain::invalidInput: return QStringLiteral("invalidInput");
    case ErrorDomain::unimplemented: return QStringLiteral("unimplemented");
    case ErrorDomain::other: return QStringLiteral("other");
    }
    return QStringLiteral("other");
}

Error Error::cancellation()
{
    return Error {ErrorDomain::cancelled, 0, QStringLiteral("The operation was cancelled.")};
}

Error Error::http(int status, QString message)
{
    return Error {ErrorDomain::http, status, std::move(message)};
}

Error Error::make(ErrorDomain domain, int code, QString message)
{
    return Error {domain, code, std::move(message)};
}

QString Error::describe() const
{
    return QStringLiteral("%1(%2): %3").arg(toString(domain)).arg(code).arg(message);
}

} // namespace tolvo
