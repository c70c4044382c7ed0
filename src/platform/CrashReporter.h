#pragma once

#include "core/Result.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QUuid>

#include <optional>

class QNetworkAccessManager;
class QNetworkRequest;

namespace tolvo {

// Where reports go, taken from a DSN "<scheme>://<public key>@<host>[:<port>][/<path>]/<project>":
// reports are posted as JSON to "<scheme>://<host>[:<port>][/<path>]/api/<project>/reports/"
// with the key in the header "X-Tolvo-Key".
struct CrashEndpoint
{
    QUrl url;
    QString key;

    static std::optional<CrashEndpoint> fromDsn(const QString &dsn);
};

// What the feedback form sends, attached to a captured message.
struct UserFeedback
{
    QUuid eventId;
    QString name;
    QString email;
    QString comments;
};

// Our small crash reporter: captured messages, errors and user feedback, each posted as one
// JSON report. Every capture returns at once and may be called from any thread; the sending
// happens on the reporter's thread. Without a usable DSN it sends nothing. An error report
// carries the error's domain, code and description only.
class CrashReporter : public QObject
{
    Q_OBJECT
public:
    CrashReporter(const QString &dsn, QString release, QObject *parent = nullptr);
    ~CrashReporter() override;

    bool isEnabled() const { return m_endpoint.has_value(); }

    QUuid captureMessage(const QString &message);
    QUuid captureError(const Error &error);
    void captureFeedback(const UserFeedback &feedback);

    // A problem report from the user: the captured `message` with the feedback (its `eventId`
    // is filled in here) attached. Unlike the captures above it waits for the endpoint and
    // succeeds only when both were accepted; without a usable DSN it fails at once. Each
    // request gives up after `requestTimeoutMs`. Main thread only.
    QCoro::Task<VoidResult> sendFeedback(QString message, UserFeedback feedback);
    static constexpr int requestTimeoutMs = 30000;

    // The process's reporter: made once at start-up, before any window. Until then (and in
    // tests that never start one) captures go nowhere.
    static void start(const QString &dsn, const QString &release);
    static CrashReporter *shared();

signals:
    // One report went out (or failed to); for tests.
    void reportFinished(bool delivered);

private:
    QJsonObject report(const QUuid &id, const char *level) const;
    void send(const QJsonObject &report);
    QNetworkRequest request() const;
    static QJsonObject feedbackReport(const UserFeedback &feedback);
    QJsonObject messageReport(const QUuid &id, const QString &message) const;

    std::optional<CrashEndpoint> m_endpoint;
    QString m_release;
    QNetworkAccessManager *m_network;
};

} // namespace tolvo
