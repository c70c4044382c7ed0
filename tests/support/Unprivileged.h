#pragma once

#include <QString>

namespace tolvo::test {

// Permissions stop nobody running as root. While one of these lives, a test run as root acts as
// the user "nobody" (its effective user id), on `folder`, which is handed to that user first;
// run as anyone else it changes nothing.
class Unprivileged
{
public:
    explicit Unprivileged(const QString &folder);
    ~Unprivileged();
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    bool m_dropped = false;
};

} // namespace tolvo::test
