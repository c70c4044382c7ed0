#pragma once

#include "core/Dependencies.h"
#include "platform/AuthorizationSession.h"

#include <QObject>

#include <memory>

namespace tolvo {

// The one signed-in session of the process, shared by the sign-in service and the Calendar
// client: a new sign-in reaches every later Calendar request, and signing out clears it for
// all. Main thread only.
class CurrentAuthSession : public QObject
{
    Q_OBJECT
public:
    std::shared_ptr<AuthorizationSession> session() const { return m_session; }
    void setSession(std::shared_ptr<AuthorizationSession> session)
    {
        m_session = std::move(session);
        emit sessionChanged();
    }

    // The user signed out: what was kept for the account (its calendars' sync positions) goes.
    // A failed or replaced sign-in is not a sign-out.
    void signOut()
    {
        setSession(nullptr);
        emit signedOut();
    }

signals:
    void sessionChanged();
    void signedOut();

private:
    std::shared_ptr<AuthorizationSession> m_session;
};

using CurrentAuthSessionPtr = std::shared_ptr<CurrentAuthSession>;

// One holder per container context, read by the services that sign Google requests.
template<> struct DependencyTraits<CurrentAuthSessionPtr>
{
    static constexpr const char *key = "currentAuthSession";
    static CurrentAuthSessionPtr liveValue() { return std::make_shared<CurrentAuthSession>(); }
    static CurrentAuthSessionPtr testValue() { return std::make_shared<CurrentAuthSession>(); }
    static CurrentAuthSessionPtr previewValue() { return std::make_shared<CurrentAuthSession>(); }
};

} // namespace tolvo
