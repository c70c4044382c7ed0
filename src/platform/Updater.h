#pragma once

#include "core/Result.h"
#include "core/Subject.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace tolvo {

// The newest release a feed offers. Feed: {"version": "1.4.0", "url": "<download page>",
// "notes": "..."}, "notes" optional.
struct UpdateInfo
{
    QString version;
    QUrl url;
    QString notes;

    static Result<UpdateInfo> fromFeed(const QByteArray &json);
};

struct UpdateCheckResult
{
    QString currentVersion;
    // The newer release, when there is one.
    std::optional<UpdateInfo> update;
    // Why the check could not tell.
    std::optional<Error> error;
};

// Compares dotted versions numerically ("1.10" > "1.9"; "1.2" == "1.2.0"); a leading "v" and
// anything after '-' or '+' are ignored. Negative, zero or positive.
int compareVersions(const QString &left, const QString &right);

// Our small updater: reads the feed, compares its version with ours and reports the outcome.
// It does nothing until started. The can-check flag is false before start() and while a
// check runs.
class Updater : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
public:
    Updater(QUrl feedUrl, QString currentVersion, QObject *parent = nullptr);
    ~Updater() override;

    // Starting again changes nothing.
    void start();
    bool isStarted() const { return m_started; }
    // Checks now when the flag allows it; the outcome comes through `checkFinished`.
    void checkForUpdates();
    // A feed that moves no byte for this long ends the check with a timeout.
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }

    bool canCheck() const { return *m_canCheck->currentValue(); }
    // The flag at once on subscription, then every change.
    Publisher<bool> canCheckPublisher() const { return m_canCheck->publisher(); }
    Publisher<UpdateCheckResult> checkResults() const { return m_results->publisher(); }

signals:
    void canCheckChanged(bool canCheck);
    void checkFinished(const UpdateCheckResult &result);

private:
    void setCanCheck(bool canCheck);
    void finish(UpdateCheckResult result);

    QUrl m_feedUrl;
    QString m_currentVersion;
    bool m_started = false;
    bool m_checking = false;
    std::shared_ptr<Subject<bool>> m_canCheck;
    std::shared_ptr<Subject<UpdateCheckResult>> m_results;
    QNetworkAccessManager *m_network;
    std::chrono::milliseconds m_requestTimeout {30'000};
};

} // namespace tolvo
