#pragma once

#include <QUrl>

namespace tolvo {

// The remote addresses the application talks to. The live value holds Google's real addresses;
// tests point every one of them at loopback fakes through the container.
struct Endpoints
{
    static constexpr const char *dependencyKey = "endpoints";

    QUrl authorization; // Google's OAuth 2.0 authorization endpoint
    QUrl token; // Google's OAuth 2.0 token endpoint
    QUrl calendarApiRoot; // ends in "/calendar/v3/"
    QUrl backendBase; // the push relay, no trailing slash
    // Where the sign-in's loopback receiver sends the browser; empty shows a small page instead.
    QUrl successPage;

    static Endpoints liveValue();
    // Unreachable loopback addresses: a test that forgot to point them at a fake fails fast
    // with a refused connection and never reaches the network.
    static Endpoints testValue();
    static Endpoints previewValue() { return testValue(); }
};

} // namespace tolvo
