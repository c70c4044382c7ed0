#pragma once

#include <QString>
#include <QStringList>

namespace tolvo::test {

// What a loopback fake was asked and did not expect. A log that still holds entries when its
// fake goes away fails the running test, so no test passes while its fake answered a request
// nobody meant to send. A test that provokes problems on purpose takes them first.
class ProblemLog
{
public:
    explicit ProblemLog(QString fakeName);
    ~ProblemLog();
    ProblemLog(const ProblemLog &) = delete;
    ProblemLog &operator=(const ProblemLog &) = delete;

    void note(const QString &problem) { m_entries.append(problem); }
    const QStringList &entries() const { return m_entries; }
    // The entries so far; the log is empty afterwards.
    QStringList take() { return std::exchange(m_entries, {}); }

private:
    QString m_fakeName;
    QStringList m_entries;
};

} // namespace tolvo::test
