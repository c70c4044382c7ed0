#pragma once

#include <charconv>
#include <string_view>

namespace tolvo::backend {

// A whole decimal number from `minimum` to `maximum`, nothing else around it.
template<typename T> bool parseNumber(std::string_view text, T minimum, T maximum, T &out)
{
    unsigned long long value = 0;
    const char *end = text.data() + text.size();
    auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc {} || rest != end || value < minimum
        || value > maximum) {
        return false;
    }
    out = static_cast<T>(value);
    return true;
}

} // namespace tolvo::backend
