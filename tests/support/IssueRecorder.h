#pragma once

#include <QStringList>

namespace tolvo::test {

// While one lives, reported issues are collected here instead of failing the test, so a test
// can assert on them.
class IssueRecorder
{
public:
    IssueRecorder();
    ~IssueRecorder();
    IssueRecorder(const IssueRecorder &) = delete;
    IssueRecorder &operator=(const IssueRecorder &) = delete;

    const QStringList &issues() const { return m_issues; }
    void clear() { m_issues.clear(); }

    // The innermost live recorder, if any.
    static IssueRecorder *current();

    void record(const QString &message) { m_issues.append(message); }

private:
    IssueRecorder *m_previous;
    QStringList m_issues;
};

} // namespace tolvo::test
