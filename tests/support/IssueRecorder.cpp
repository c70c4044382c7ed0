#include "support/IssueRecorder.h"

namespace tolvo::test {

namespace {
IssueRecorder *innermost = nullptr;
}

IssueRecorder::IssueRecorder()
    : m_previous(innermost)
{
    innermost = this;
}

IssueRecorder::~IssueRecorder()
{
    innermost = m_previous;
}

IssueRecorder *IssueRecorder::current()
{
    return innermost;
}

} // namespace tolvo::test
