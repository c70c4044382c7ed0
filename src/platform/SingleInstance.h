#pragma once

#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;

namespace tolvo {

// One running application per user and data folder. The first start listens on a local socket
// named after both; a later start asks that one to raise its window and then leaves. Two that
// start at the same moment decide one after the other under a lock file, and a socket left by
// an instance that crashed is taken over. Keying by the data folder keeps runs with another
// home (tests, a second profile) apart.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        primary, // this process runs; later starts reach it
        raisedOther, // another instance runs and was asked to raise its window
        otherSilent, // another instance holds the socket but did not answer in time
        unguarded, // neither lock nor socket could be had: this process runs unguarded
    };

    struct Limits
    {
        std::chrono::milliseconds answerTimeout {5000}; // a later start waiting for the answer
        std::chrono::milliseconds lockTimeout {10'000}; // waiting for another start to decide
        std::chrono::milliseconds requestDeadline {5000}; // per connection, on the running side
        int maxConnections = 8; // more are closed at once
    };

    explicit SingleInstance(QString dataLocation, QObject *parent = nullptr);
    SingleInstance(QString dataLocation, Limits limits, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Decides once, before the application builds anything. Runs a local event loop while it
    // waits for a running instance's answer, so that one in this very process can answer.
    Outcome start();
    bool isListening() const;

    // The socket's full path: in the user's runtime folder (or the temporary folder) and named
    // after the user id and a digest of the data folder.
    QString serverName() const { return m_serverName; }
    static QString serverNameFor(const QString &dataLocation);

signals:
    // A later start asked for the window.
    void raiseRequested();

private:
    enum class Asked { notRunning, raised, silent };
    Asked askToRaise() const;
    bool listen();
    void acceptConnections();

    QString m_serverName;
    Limits m_limits;
    QLocalServer *m_server = nullptr;
    int m_open = 0;
};

} // namespace tolvo
