#pragma once

#include <string>
#include <string_view>

namespace tolvo::backend {

// What a request asks for, from its method and path (without the query).
struct Route
{
    enum class Kind {
        notification, // POST /notification-handler
        eventStream, // GET /events/<stream name>
        notFound,
        methodNotAllowed,
    };

    Kind kind = Kind::notFound;
    std::string streamName; // for eventStream
    std::string_view allow; // for methodNotAllowed: the value of the Allow header
};

Route routeRequest(std::string_view method, std::string_view path);

} // namespace tolvo::backend
