#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace tolvo {

// One value as the analytics service takes it. Tried in this order: text, number, date (ISO
// 8601 in UTC), URL, Boolean, integer, double, float, list (unconvertible elements left out),
// map from text (converted recursively). Anything else gives nothing.
std::optional<QJsonValue> analyticsPropertyValue(const QVariant &value);
// A map entry by entry, keeping the keys; entries that cannot be converted are left out.
QJsonObject analyticsProperties(const QVariantMap &properties);

// What the recording test value saw; for tests. Thread-safe.
class AnalyticsRecorder
{
public:
    struct Configuration
    {
        QString token;
        QString appVersion;
        QString osVersion;
    };
    struct Event
    {
        QString name;
        QJsonObject properties; // converted
    };

    std::optional<Configuration> configuration() const;
    QList<Event> events() const;
    QList<QJsonObject> userProperties() const;

    void configure(Configuration configuration);
    void track(Event event);
    void setUserProperties(QJsonObject properties);

private:
    mutable QMutex m_mutex;
    std::optional<Configuration> m_configuration;
    QList<Event> m_events;
    QList<QJsonObject> m_userProperties;
};

class AnalyticsClient;

// Usage analytics: the application tracks "app_launch", "signIn", "apple_calendar_access" and
// "signOut", without properties. Any thread; nothing fails.
struct AnalyticsManager
{
    static constexpr const char *dependencyKey = "analyticsManager";

    static constexpr int flushIntervalSeconds = 60;

    // Token, application version, operating-system version: registers the super properties
    // "app_version" and "os_version" and starts the 60-second flush.
    std::function<void(const QString &token, const QString &appVersion, const QString &osVersion)>
        configure;
    std::function<void(const QString &name, const std::optional<QVariantMap> &properties)>
        trackEvent;
    std::function<void(const QVariantMap &properties)> setUserProperties;

    // Over a client of our own; once it is gone, calls do nothing.
    static AnalyticsManager over(QPointer<AnalyticsClient> client);
    static AnalyticsManager recording(std::shared_ptr<AnalyticsRecorder> recorder);

    // Sends to the build-time analytics endpoint through one client owned by the application
    // object (so it flushes at quit and goes with the application).
    static AnalyticsManager liveValue();
    // Records in memory, never the network.
    static AnalyticsManager testValue();
    static AnalyticsManager previewValue() { return testValue(); }
};

} // namespace tolvo
