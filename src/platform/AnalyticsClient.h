#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace tolvo {

// Our small analytics client. Events and profile updates wait in memory and go out in one
// JSON batch per flush: every flush interval once configured, on flush(), and at quit.
// Super properties are merged into every event when it is sent (its own properties win).
// Calls may come from any thread; the work runs on the client's thread.
//
// Batch: {"token": "...", "batch": [{"type": "event", "event": name, "id": uuid,
//         "time": epoch ms, "properties": {...}}, {"type": "profile", "properties": {...}}]}
class AnalyticsClient : public QObject
{
    Q_OBJECT
public:
    explicit AnalyticsClient(QUrl endpoint, QObject *parent = nullptr);
    ~AnalyticsClient() override;

    // Sets the project token and starts the flush timer. Events tracked before are kept; without
    // a token or endpoint analytics are off (said once on standard error) and nothing is kept.
    void configure(const QString &token, std::chrono::milliseconds flushInterval);
    void registerSuperProperties(const QJsonObject &properties);
    void track(const QString &event, const QJsonObject &properties);
    void setUserProperties(const QJsonObject &properties);

    // Sends what is queued (nothing before configure). A failed batch goes back to the queue.
    void flush();
    // At quit the loop no longer runs: send and wait here, at most `timeout`.
    void flushAndWait(std::chrono::milliseconds timeout);
    // A send that moves no byte for this long is given up (and its batch kept for the next).
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }

    int queuedCount() const { return int(m_queue.size()); }
    bool isConfigured() const { return !m_token.isEmpty(); }
    std::chrono::milliseconds flushInterval() const { return m_timer.intervalAsDuration(); }

    // The queue keeps at most this many entries; the oldest go first.
    static constexpr int maxQueued = 1000;

signals:
    // A batch was answered (or failed); for tests.
    void flushFinished(bool delivered);

private:
    void enqueue(QJsonObject entry);
    QNetworkReply *post();

    QUrl m_endpoint;
    QString m_token;
    QJsonObject m_superProperties;
    QJsonArray m_queue;
    bool m_off = false;
    QTimer m_timer;
    QNetworkAccessManager *m_network;
    bool m_flushing = false;
    std::chrono::milliseconds m_requestTimeout {30'000};
};

} // namespace tolvo
