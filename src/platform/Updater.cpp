#include "platform/Updater.h"

#include "platform/HttpErrors.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace tolvo {

namespace {

QList<int> versionParts(QString version)
{
    version = version.trimmed();
    if (version.startsWith(QLatin1Char('v')) || version.startsWith(QLatin1Char('V')))
        version.remove(0, 1);
    const qsizetype suffix = version.indexOf(QRegularExpression(QStringLiteral("[-+]")));
    if (suffix >= 0)
        version.truncate(suffix);
    QList<int> parts;
    for (const auto &part : version.split(QLatin1Char('.')))
        parts.append(part.toInt());
    while (!parts.isEmpty() && parts.last() == 0)
        parts.removeLast();
    return parts;
}

} // namespace

int compareVersions(const QString &left, const QString &right)
{
    const QList<int> a = versionParts(left);
    const QList<int> b = versionParts(right);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const int x = i < a.size() ? a[i] : 0;
        const int y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

Result<UpdateInfo> UpdateInfo::fromFeed(const QByteArray &json)
{
    const QJsonObject feed = QJsonDocument::fromJson(json).object();
    UpdateInfo info {
        feed.value(QLatin1String("version")).toString(),
        QUrl(feed.value(QLatin1String("url")).toString()),
        feed.value(QLatin1String("notes")).toString(),
    };
    static const QRegularExpression pattern(QStringLiteral("^[vV]?\\d+(\\.\\d+)*([-+].*)?$"));
    if (!pattern.match(info.version).hasMatch())
        return failure(
            ErrorDomain::decoding, 0, QStringLiteral("The update feed names no version."));
    return info;
}

Updater::Updater(QUrl feedUrl, QString currentVersion, QObject *parent)
    : QObject(parent)
    , m_feedUrl(std::move(feedUrl))
    , m_currentVersion(std::move(currentVersion))
    , m_canCheck(Subject<bool>::withCurrentValue(false))
    , m_results(Subject<UpdateCheckResult>::passthrough())
    , m_network(new QNetworkAccessManager(this))
{
}

Updater::~Updater() = default;

void Updater::start()
{
    if (m_started)
        return;
    m_started = true;
    setCanCheck(!m_checking);
}

void Updater::setCanCheck(bool canCheck)
{
    if (canCheck == this->canCheck())
        return;
    m_canCheck->send(canCheck);
    emit canCheckChanged(canCheck);
}

void Updater::checkForUpdates()
{
    if (!canCheck())
        return;
    m_checking = true;
    setCanCheck(false);
    if (!m_feedUrl.isValid() || m_feedUrl.isEmpty()) {
        finish({m_currentVersion, std::nullopt,
            Error::make(ErrorDomain::invalidInput, 0, QStringLiteral("No update feed is set."))});
        return;
    }
    QNetworkRequest request(m_feedUrl);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_network->get(request);
    armTransferTimeout(reply, m_requestTimeout);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        UpdateCheckResult result {m_currentVersion, std::nullopt, std::nullopt};
        if (const auto failed = replyFailure(*reply)) {
            result.error = failed;
        } else if (auto info = UpdateInfo::fromFeed(reply->readAll()); !info) {
            result.error = info.error();
        } else if (compareVersions(info->version, m_currentVersion) > 0) {
            result.update = *info;
        }
        finish(std::move(result));
    });
}

void Updater::finish(UpdateCheckResult result)
{
    m_checking = false;
    setCanCheck(m_started);
    m_results->send(result);
    emit checkFinished(result);
}

} // namespace tolvo
