#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <optional>

namespace tolvo {

// The application's few settings, in one suite of their own. Typed reads and writes by key;
// no read ever fails (absent or unreadable values read as false, nothing or 0). A write is on
// disk when it returns: one that cannot be saved (a full disk, an unwritable file) fails, and
// the live value logs it too, so a caller that cannot tell the user still leaves a trace.
struct UserDefaultsClient
{
    static constexpr const char *dependencyKey = "userDefaults";

    // The suite's name; the live value keeps it in "<config dir>/<suiteName>" (INI format).
    static constexpr const char *suiteName = "app.tolvo.plist";

    // Keys the application uses.
    static constexpr const char *appleCalendarIdKey = "appleCalendarId";
    static constexpr const char *deleteEventOnEndedKey = "deleteEventOnEnded";

    std::function<bool(const QString &key)> boolValue;
    std::function<std::optional<QString>(const QString &key)> string;
    std::function<std::optional<QByteArray>(const QString &key)> data;
    std::function<double(const QString &key)> doubleValue;
    std::function<qint64(const QString &key)> integer;
    std::function<VoidResult(const QString &key)> remove;
    // Stores the value's JSON encoding as data (a text becomes its JSON string literal).
    std::function<VoidResult(const QJsonValue &value, const QString &key)> set;
    std::function<VoidResult(bool value, const QString &key)> setBool;

    // A copy whose `data` answers `bytes` for `key` and asks this value for every other key.
    UserDefaultsClient overridingData(const QString &key, const QByteArray &bytes) const;

    // The live value over a settings file at `path`; a write that cannot be saved is also
    // handed to `logError`.
    static UserDefaultsClient atPath(
        const QString &path, std::function<void(const Error &)> logError = {});
    // The same reads and writes over a map of its own, for tests that want working settings.
    static UserDefaultsClient inMemory();
    static QString defaultPath();

    static UserDefaultsClient liveValue();
    static UserDefaultsClient testValue();
    static UserDefaultsClient previewValue() { return inMemory(); }
};

// The JSON text of one value; a top-level text gives its string literal, quotes included.
QByteArray encodeJsonValue(const QJsonValue &value);
// The value of a JSON text holding exactly one value; nothing for malformed text.
std::optional<QJsonValue> decodeJsonValue(const QByteArray &bytes);
// The text of a JSON string literal; nothing for malformed text or another kind of value.
std::optional<QString> decodeJsonString(const QByteArray &bytes);

} // namespace tolvo
