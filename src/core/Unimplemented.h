#pragma once

#include "core/IssueReporter.h"
#include "core/Result.h"
#include "core/Subject.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <type_traits>

namespace tolvo {

namespace detail {
template<typename T> struct IsTask : std::false_type
{
};
template<typename T> struct IsTask<QCoro::Task<T>> : std::true_type
{
    using Value = T;
};

template<typename T> struct IsResult : std::false_type
{
};
template<typename T> struct IsResult<tl::expected<T, Error>> : std::true_type
{
};

inline QString unimplementedMessage(const char *service, const char *operation)
{
    return QStringLiteral("Unimplemented: '%1.%2'")
        .arg(QLatin1String(service), QLatin1String(operation));
}

template<typename R> R unimplementedValue(const QString &message)
{
    if constexpr (IsResult<R>::value)
        return failure(ErrorDomain::unimplemented, 0, message);
    else
        return R {};
}

template<typename V> QCoro::Task<V> unimplementedTask(QString message)
{
    if constexpr (std::is_void_v<V>)
        co_return;
    else
        co_return unimplementedValue<V>(message);
}

template<typename Signature> struct Unimplemented;

template<typename R, typename... Args> struct Unimplemented<R(Args...)>
{
    static std::function<R(Args...)> make(const char *service, const char *operation)
    {
        return [message = unimplementedMessage(service, operation)](Args...) -> R {
            reportIssue(message);
            if constexpr (std::is_void_v<R>)
                return;
            else if constexpr (IsTask<R>::value)
                return unimplementedTask<typename IsTask<R>::Value>(message);
            else
                return unimplementedValue<R>(message);
        };
    }
};
} // namespace detail

// An operation of a test value that nobody overrode: it reports
// "Unimplemented: 'Service.operation'" and answers an empty value (a failed Result where the
// operation returns one, so that callers never mistake it for success).
template<typename Signature>
std::function<Signature> unimplemented(const char *service, const char *operation)
{
    return detail::Unimplemented<Signature>::make(service, operation);
}

// A publisher of a test value that nobody overrode: subscribing reports the issue and
// delivers nothing.
template<typename T> Publisher<T> unimplementedPublisher(const char *service, const char *operation)
{
    return Publisher<T>(
        [message = detail::unimplementedMessage(service, operation)](Subscriber<T>) {
            reportIssue(message);
            return Subscription();
        });
}

} // namespace tolvo
