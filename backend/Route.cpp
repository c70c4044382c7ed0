#include "backend/Route.h"

#include "backend/Notification.h"

namespace tolvo::backend {

Route routeRequest(std::string_view method, std::string_view path)
{
    constexpr std::string_view eventsPrefix = "/events/";
    if (path == "/notification-handler") {
        if (method == "POST") {
            return Route {Route::Kind::notification, {}, {}};
        }
        return Route {Route::Kind::methodNotAllowed, {}, "POST"};
    }
    if (path.starts_with(eventsPrefix) && isStreamName(path.substr(eventsPrefix.size()))) {
        if (method == "GET") {
            return Route {
                Route::Kind::eventStream, std::string(path.substr(eventsPrefix.size())), {}};
        }
        return Route {Route::Kind::methodNotAllowed, {}, "GET"};
    }
    return Route {};
}

} // namespace tolvo::backend
