#include "services/UserDefaultsClient.h"

#include "core/Dependencies.h"
#include "core/LogCategories.h"
#include "core/Unimplemented.h"
#include "platform/PrivateFiles.h"
#include "services/LoggerClient.h"

#include <QDir>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaType>
#include <QSettings>
#include <QStandardPaths>

namespace tolvo {

QByteArray encodeJsonValue(const QJsonValue &value)
{
    // QJsonDocument holds only arrays and objects: wrap, then take the brackets off.
    const QByteArray wrapped = QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

std::optional<QJsonValue> decodeJsonValue(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson("[" + bytes + "]", &error);
    // One element exactly: "1,2" must not pass for a value.
    if (error.error != QJsonParseError::NoError || !document.isArray()
        || document.array().size() != 1)
        return std::nullopt;
    return document.array().first();
}

std::optional<QString> decodeJsonString(const QByteArray &bytes)
{
    const auto value = decodeJsonValue(bytes);
    if (!value || !value->isString())
        return std::nullopt;
    return value->toString();
}

UserDefaultsClient UserDefaultsClient::overridingData(
    const QString &key, const QByteArray &bytes) const
{
    UserDefaultsClient copy = *this;
    copy.data = [previous = data, key, bytes](const QString &asked) -> std::optional<QByteArray> {
        if (asked == key)
            return bytes;
        return previous ? previous(asked) : std::nullopt;
    };
    return copy;
}

QString UserDefaultsClient::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QString::fromLatin1(suiteName));
}

namespace {
// Where the values live: the settings file, or a map for tests.
struct ValueStore
{
    std::function<QVariant(const QString &key)> value;
    std::function<VoidResult(const QString &key, const QVariant &value)> setValue;
    std::function<VoidResult(const QString &key)> remove;
};

// A stored number as a whole number: exact when written as one, otherwise truncated towards
// zero; nothing when it is not a number or lies outside what a qint64 holds.
std::optional<qint64> wholeNumber(const QString &text)
{
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    const double real = text.toDouble(&ok);
    // 2^63 is exact as a double; the comparisons are false for nan.
    constexpr double limit = 9223372036854775808.0;
    if (!ok || !(real > -limit && real < limit))
        return std::nullopt;
    return static_cast<qint64>(real);
}

UserDefaultsClient over(ValueStore store)
{
    const auto read = store.value;
    UserDefaultsClient client;
    client.boolValue = [read](const QString &key) {
        const QVariant value = read(key);
        if (!value.isValid() || value.typeId() == QMetaType::QByteArray)
            return false;
        const QString text = value.toString().trimmed().toLower();
        if (text == u"true" || text == u"yes")
            return true;
        bool isNumber = false;
        const double number = text.toDouble(&isNumber);
        return isNumber && number != 0;
    };
    client.string = [read](const QString &key) -> std::optional<QString> {
        const QVariant value = read(key);
        if (!value.isValid() || value.typeId() == QMetaType::QByteArray
            || !value.canConvert<QString>())
            return std::nullopt;
        return value.toString();
    };
    client.data = [read](const QString &key) -> std::optional<QByteArray> {
        const QVariant value = read(key);
        if (value.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        return value.toByteArray();
    };
    client.doubleValue = [read](const QString &key) {
        const QVariant value = read(key);
        if (value.typeId() == QMetaType::QByteArray)
            return 0.0;
        bool ok = false;
        const double number = value.toDouble(&ok);
        return ok ? number : 0.0;
    };
    client.integer = [read](const QString &key) -> qint64 {
        const QVariant value = read(key);
        if (value.typeId() == QMetaType::QByteArray)
            return 0;
        return wholeNumber(value.toString()).value_or(0);
    };
    client.remove = store.remove;
    client.set = [write = store.setValue](const QJsonValue &value, const QString &key) {
        if (value.isUndefined())
            return VoidResult(); // nothing can be encoded: the previous value stays
        return write(key, encodeJsonValue(value));
    };
    client.setBool
        = [write = store.setValue](bool value, const QString &key) { return write(key, value); };
    return client;
}
} // namespace

namespace {
// Writes go to disk before the call returns, so that a failure is known while someone can still
// be told (QSettings alone would save later and drop the error). QSettings keeps a change it
// could not save in a cache that every handle on the file shares: reads in this process would
// see it and the next successful save of any key would write it. So a change that failed is
// taken back, leaving the value the file holds.
VoidResult saved(QSettings &settings, const QString &key, const QVariant &before,
    const std::function<void(const Error &)> &logError)
{
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return {};
    const Error error = Error::make(ErrorDomain::io, int(settings.status()),
        settings.status() == QSettings::AccessError
            ? QStringLiteral("The settings could not be saved to %1: it cannot be written (is "
                             "the disk full?).")
                  .arg(settings.fileName())
            : QStringLiteral("The settings could not be saved to %1: it is not a settings file.")
                  .arg(settings.fileName()));
    if (before.isValid())
        settings.setValue(key, before);
    else
        settings.remove(key);
    if (logError)
        logError(error);
    return failure(error);
}
} // namespace

UserDefaultsClient UserDefaultsClient::atPath(
    const QString &path, std::function<void(const Error &)> logError)
{
    // A file left readable to others by an older version is closed now, not at the next write.
    if (const auto tightened = privatefiles::tighten(path); !tightened)
        qCWarning(lcStore, "%s", qUtf8Printable(tightened.error().message));
    // A fresh handle per operation, as the suite may be written by another handle between
    // calls; QSettings shares and syncs the underlying file itself.
    const auto open = [path] { return std::make_unique<QSettings>(path, QSettings::IniFormat); };
    // QSettings saves through a temporary file that takes the mode of the file it replaces:
    // one made private before the first write stays private.
    const auto openForWriting = [path, open] {
        if (const auto made = privatefiles::makeFile(path); !made)
            qCWarning(lcStore, "%s", qUtf8Printable(made.error().message));
        return open();
    };
    return over({
        .value = [open](const QString &key) { return open()->value(key); },
        .setValue =
            [openForWriting, logError](const QString &key, const QVariant &value) {
                const auto settings = openForWriting();
                const QVariant before = settings->value(key);
                settings->setValue(key, value);
                return saved(*settings, key, before, logError);
            },
        .remove =
            [openForWriting, logError](const QString &key) {
                const auto settings = openForWriting();
                const QVariant before = settings->value(key);
                settings->remove(key);
                return saved(*settings, key, before, logError);
            },
    });
}

UserDefaultsClient UserDefaultsClient::inMemory()
{
    auto values = std::make_shared<QHash<QString, QVariant>>();
    return over({
        .value = [values](const QString &key) { return values->value(key); },
        .setValue =
            [values](const QString &key, const QVariant &value) {
                values->insert(key, value);
                return VoidResult();
            },
        .remove =
            [values](const QString &key) {
                values->remove(key);
                return VoidResult();
            },
    });
}

UserDefaultsClient UserDefaultsClient::liveValue()
{
    return atPath(defaultPath(), Dependencies::current<LoggerClient>().logError);
}

UserDefaultsClient UserDefaultsClient::testValue()
{
    constexpr const char *name = "UserDefaultsClient";
    UserDefaultsClient client;
    client.boolValue = unimplemented<bool(const QString &)>(name, "boolValue");
    client.string = unimplemented<std::optional<QString>(const QString &)>(name, "string");
    client.data = unimplemented<std::optional<QByteArray>(const QString &)>(name, "data");
    client.doubleValue = unimplemented<double(const QString &)>(name, "doubleValue");
    client.integer = unimplemented<qint64(const QString &)>(name, "integer");
    client.remove = unimplemented<VoidResult(const QString &)>(name, "remove");
    client.set = unimplemented<VoidResult(const QJsonValue &, const QString &)>(name, "set");
    client.setBool = unimplemented<VoidResult(bool, const QString &)>(name, "setBool");
    return client;
}

} // namespace tolvo
