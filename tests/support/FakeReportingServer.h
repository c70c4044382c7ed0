#pragma once

#include "support/ProblemLog.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QUrl>

class QHttpServer;

namespace tolvo::test {

// The analytics, crash-report and update-feed endpoints on loopback:
//   POST /track                      analytics batches
//   POST /api/<project>/reports/     crash reports (the key in "X-Tolvo-Key")
//   GET  /appcast.json               the update feed
// Bodies must be JSON objects; anything else is answered 400 and noted in `problems()` (see
// ProblemLog).
class FakeReportingServer : public QObject
{
    Q_OBJECT
public:
    explicit FakeReportingServer(QObject *parent = nullptr);
    ~FakeReportingServer() override;

    QUrl analyticsUrl() const;
    QString crashDsn(const QString &key = QStringLiteral("0123456789abcdef0123456789abcdef"),
        const QString &project = QStringLiteral("42")) const;
    QUrl feedUrl() const;

    // The status the analytics endpoint answers with (200 by default).
    void setAnalyticsStatus(int status) { m_analyticsStatus = status; }
    void setFeed(QByteArray json, int status = 200)
    {
        m_feed = std::move(json);
        m_feedStatus = status;
    }

    struct CrashReport
    {
        QString project;
        QString key;
        QJsonObject body;
    };

    QList<QJsonObject> analyticsBatches() const { return m_batches; }
    QList<CrashReport> crashReports() const { return m_reports; }
    int feedRequests() const { return m_feedRequests; }
    QStringList problems() const { return m_problems.entries(); }
    QStringList takeProblems() { return m_problems.take(); }

signals:
    void received();

private:
    QHttpServer *m_server;
    QUrl m_base;
    int m_analyticsStatus = 200;
    QByteArray m_feed;
    int m_feedStatus = 200;
    QList<QJsonObject> m_batches;
    QList<CrashReport> m_reports;
    int m_feedRequests = 0;
    ProblemLog m_problems {QStringLiteral("FakeReportingServer")};
};

} // namespace tolvo::test
