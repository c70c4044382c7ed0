#pragma once

#include <QString>
#include <QtGlobal>

#include <tl/expected.hpp>

namespace tolvo {

// Where an error came from. HTTP errors carry the status as code; the other domains keep
// their own small code spaces so that a code is never read in the wrong one.
enum class ErrorDomain {
    http, // code = HTTP status
    oauth, // code = oauthInvalidGrant (-10) or an HTTP status
    network, // transport failures; code is ours, never a QNetworkReply value
    cancelled, // code = 0
    database,
    localCalendar,
    sync,
    decoding,
    io,
    keychain, // code = a KeychainCode
    invalidInput,
    unimplemented,
    other,
};

QString toString(ErrorDomain domain);

struct Error
{
    ErrorDomain domain = ErrorDomain::other;
    int code = 0;
    QString message;
    // The service's own name for the failure, when it gives one (Google's "fullSyncRequired").
    QString reason;

    // The stored sign-in can no longer be refreshed.
    static constexpr int oauthInvalidGrant = -10;

    static Error cancellation();
    static Error http(int status, QString message);
    static Error make(ErrorDomain domain, int code, QString message);

    bool isCancellation() const { return domain == ErrorDomain::cancelled; }
    // "domain(code): message", never anything more (no headers, tokens or user data).
    QString describe() const;

    friend bool operator==(const Error &, const Error &) = default;
};

template<typename T> using Result = tl::expected<T, Error>;

using VoidResult = Result<void>;

inline tl::unexpected<Error> failure(Error error)
{
    return tl::unexpected<Error>(std::move(error));
}

inline tl::unexpected<Error> failure(ErrorDomain domain, int code, QString message)
{
    return tl::unexpected<Error>(Error::make(domain, code, std::move(message)));
}

} // namespace tolvo

// Statement macros that return a failed result from the enclosing function or coroutine.
//   TRY_ASSIGN(auto value, expression);   // plain functions returning Result<...>
//   CO_TRY(expression);                   // coroutines returning Task<Result<...>>
#define TOLVO_CONCAT_INNER(a, b) a##b
#define TOLVO_CONCAT(a, b) TOLVO_CONCAT_INNER(a, b)

// Each expansion names its result after __COUNTER__, so that a macro used inside another's
// expression (a lambda in a TRY) neither shadows nor collides with the outer one.
#define TRY(expression) TOLVO_TRY_IMPL(expression, TOLVO_CONCAT(tolvoTry_, __COUNTER__), return )
#define CO_TRY(expression)                                                                         \
    TOLVO_TRY_IMPL(expression, TOLVO_CONCAT(tolvoTry_, __COUNTER__), co_return )
#define TOLVO_TRY_IMPL(expression, name, returnKeyword)                                            \
    do {                                                                                           \
        auto &&name = (expression);                                                                \
        if (!name)                                                                                 \
            returnKeyword ::tolvo::failure(std::move(name).error());                               \
    } while (false)

#define TRY_ASSIGN(declaration, expression)                                                        \
    TOLVO_TRY_ASSIGN_IMPL(declaration, (expression), TOLVO_CONCAT(tolvoTry_, __COUNTER__), return )

// Awaits first (a co_await inside a braced expression trips g++ 12), then propagates.
#define CO_TRY_ASSIGN(declaration, awaitable)                                                      \
    TOLVO_TRY_ASSIGN_IMPL(                                                                         \
        declaration, co_await (awaitable), TOLVO_CONCAT(tolvoTry_, __COUNTER__), co_return )
#define TOLVO_TRY_ASSIGN_IMPL(declaration, expression, name, returnKeyword)                        \
    auto name = expression;                                                                        \
    if (!name)                                                                                     \
        returnKeyword ::tolvo::failure(std::move(name).error());                                   \
    declaration = std::move(*name)
