#include "services/AnalyticsManager.h"

#include "BuildConfig.h"
#include "platform/AnalyticsClient.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QUrl>

#include <cmath>

namespace tolvo {

namespace {

bool isNumber(int type)
{
    switch (type) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: return true;
    default: return false;
    }
}

std::optional<QJsonValue> number(const QVariant &value)
{
    const double real = value.toDouble();
    if (!std::isfinite(real))
        return std::nullopt; // JSON has no NaN or infinity
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QJsonValue(real);
    return QJsonValue(value.toLongLong());
}

} // namespace

std::optional<QJsonValue> analyticsPropertyValue(const QVariant &value)
{
    const int type = value.typeId();
    if (type == QMetaType::QString)
        return QJsonValue(value.toString());
    if (isNumber(type))
        return number(value);
    if (type == QMetaType::QDateTime) {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return std::nullopt;
        return QJsonValue(date.toUTC().toString(Qt::ISODateWithMs));
    }
    if (type == QMetaType::QDate) {
        const QDate date = value.toDate();
        if (!date.isValid())
            return std::nullopt;
        return QJsonValue(date.toString(Qt::ISODate));
    }
    if (type == QMetaType::QUrl)
        return QJsonValue(value.toUrl().toString(QUrl::FullyEncoded));
    if (type == QMetaType::Bool)
        return QJsonValue(value.toBool());
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
        QJsonArray list;
        for (const QVariant &element : value.toList()) {
            if (auto converted = analyticsPropertyValue(element))
                list.append(*converted);
        }
        return QJsonValue(list);
    }
    if (type == QMetaType::QVariantMap)
        return QJsonValue(analyticsProperties(value.toMap()));
    if (type == QMetaType::QVariantHash) {
        QVariantMap map;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        return QJsonValue(analyticsProperties(map));
    }
    return std::nullopt;
}

QJsonObject analyticsProperties(const QVariantMap &properties)
{
    QJsonObject converted;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        if (auto value = analyticsPropertyValue(it.value()))
            converted.insert(it.key(), *value);
    }
    return converted;
}

std::optional<AnalyticsRecorder::Configuration> AnalyticsRecorder::configuration() const
{
    QMutexLocker lock(&m_mutex);
    return m_configuration;
}

QList<AnalyticsRecorder::Event> AnalyticsRecorder::events() const
{
    QMutexLocker lock(&m_mutex);
    return m_events;
}

QList<QJsonObject> AnalyticsRecorder::userProperties() const
{
    QMutexLocker lock(&m_mutex);
    return m_userProperties;
}

void AnalyticsRecorder::configure(Configuration configuration)
{
    QMutexLocker lock(&m_mutex);
    m_configuration = std::move(configuration);
}

void AnalyticsRecorder::track(Event event)
{
    QMutexLocker lock(&m_mutex);
    m_events.append(std::move(event));
}

void AnalyticsRecorder::setUserProperties(QJsonObject properties)
{
    QMutexLocker lock(&m_mutex);
    m_userProperties.append(std::move(properties));
}

AnalyticsManager AnalyticsManager::over(QPointer<AnalyticsClient> client)
{
    return AnalyticsManager {
        [client](const QString &token, const QString &appVersion, const QString &osVersion) {
            if (!client)
                return;
            client->configure(token, std::chrono::seconds(flushIntervalSeconds));
            client->registerSuperProperties(QJsonObject {
                {QStringLiteral("app_version"), appVersion},
                {QStringLiteral("os_version"), osVersion},
            });
        },
        [client](const QString &name, const std::optional<QVariantMap> &properties) {
            if (client)
                client->track(name, properties ? analyticsProperties(*properties) : QJsonObject());
        },
        [client](const QVariantMap &properties) {
            if (client)
                client->setUserProperties(analyticsProperties(properties));
        },
    };
}

AnalyticsManager AnalyticsManager::recording(std::shared_ptr<AnalyticsRecorder> recorder)
{
    return AnalyticsManager {
        [recorder](const QString &token, const QString &appVersion, const QString &osVersion) {
            recorder->configure({token, appVersion, osVersion});
        },
        [recorder](const QString &name, const std::optional<QVariantMap> &properties) {
            recorder->track({name, properties ? analyticsProperties(*properties) : QJsonObject()});
        },
        [recorder](const QVariantMap &properties) {
            recorder->setUserProperties(analyticsProperties(properties));
        },
    };
}

AnalyticsManager AnalyticsManager::liveValue()
{
    // One client for the process; the container builds this value once.
    return over(new AnalyticsClient(
        QUrl(QString::fromUtf8(buildconfig::analyticsEndpoint)), QCoreApplication::instance()));
}

AnalyticsManager AnalyticsManager::testValue()
{
    return recording(std::make_shared<AnalyticsRecorder>());
}

} // namespace tolvo
