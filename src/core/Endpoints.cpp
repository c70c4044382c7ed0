#include "core/Endpoints.h"

#include "BuildConfig.h"

namespace tolvo {

Endpoints Endpoints::liveValue()
{
    return Endpoints {
        QUrl(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth")),
        QUrl(QStringLiteral("https://oauth2.googleapis.com/token")),
        QUrl(QStringLiteral("https://www.googleapis.com/calendar/v3/")),
        QUrl(QString::fromUtf8(buildconfig::backendBaseUrl)),
        QUrl(),
    };
}

Endpoints Endpoints::testValue()
{
    const QString base = QStringLiteral("http://127.0.0.1:1");
    return Endpoints {
        QUrl(base + QStringLiteral("/o/oauth2/v2/auth")),
        QUrl(base + QStringLiteral("/token")),
        QUrl(base + QStringLiteral("/calendar/v3/")),
        QUrl(base),
        QUrl(),
    };
}

} // namespace tolvo
