#include "services/UserDefaultsClient.h"

#include "core/Unimplemented.h"

#include <QDir>
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

UserDefaultsClient UserDefaultsClient::atPath(const QString &path)
{
    // A fresh handle per operation, as the suite may be written by another handle between
    // calls; QSettings shares and syncs the underlying file itself.
    const auto open = [path] { return std::make_unique<QSettings>(path, QSettings::IniFormat); };

    UserDefaultsClient client;
    client.boolValue = [open](const QString &key) {
        const QVariant value = open()->value(key);
        if (!value.isValid() || value.typeId() == QMetaType::QByteArray)
            return false;
        const QString text = value.toString().trimmed().toLower();
        if (text == u"true" || text == u"yes")
            return true;
        bool isNumber = false;
        const double number = text.toDouble(&isNumber);
        return isNumber && number != 0;
    };
    client.string = [open](const QString &key) -> std::optional<QString> {
        const QVariant value = open()->value(key);
        if (!value.isValid() || value.typeId() == QMetaType::QByteArray
            || !value.canConvert<QString>())
            return std::nullopt;
        return value.toString();
    };
    client.data = [open](const QString &key) -> std::optional<QByteArray> {
        const QVariant value = open()->value(key);
        if (value.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        return value.toByteArray();
    };
    client.doubleValue = [open](const QString &key) {
        const QVariant value = open()->value(key);
        if (value.typeId() == QMetaType::QByteArray)
            return 0.0;
        bool ok = false;
        const double number = value.toDouble(&ok);
        return ok ? number : 0.0;
    };
    client.integer = [open](const QString &key) -> qint64 {
        const QVariant value = open()->value(key);
        if (value.typeId() == QMetaType::QByteArray)
            return 0;
        // Whole numbers exactly; anything else truncated towards zero, never rounded.
        const QString text = value.toString();
        bool ok = false;
        const qint64 whole = text.toLongLong(&ok);
        if (ok)
            return whole;
        const double real = text.toDouble(&ok);
        return ok ? static_cast<qint64>(real) : 0;
    };
    client.remove = [open](const QString &key) { open()->remove(key); };
    client.set = [open](const QJsonValue &value, const QString &key) {
        if (value.isUndefined())
            return; // nothing can be encoded: the previous value stays
        open()->setValue(key, encodeJsonValue(value));
    };
    client.setBool = [open](bool value, const QString &key) { open()->setValue(key, value); };
    return client;
}

UserDefaultsClient UserDefaultsClient::liveValue()
{
    return atPath(defaultPath());
}

UserDefaultsClient UserDefaultsClient::testValue()
{
    UserDefaultsClient client;
    client.boolValue = [](const QString &) { return false; };
    client.doubleValue = [](const QString &) { return 0.0; };
    client.integer = [](const QString &) -> qint64 { return 0; };
    client.string
        = unimplemented<std::optional<QString>(const QString &)>("UserDefaultsClient", "string");
    client.data
        = unimplemented<std::optional<QByteArray>(const QString &)>("UserDefaultsClient", "data");
    client.remove = unimplemented<void(const QString &)>("UserDefaultsClient", "remove");
    client.set
        = unimplemented<void(const QJsonValue &, const QString &)>("UserDefaultsClient", "set");
    client.setBool = unimplemented<void(bool, const QString &)>("UserDefaultsClient", "setBool");
    return client;
}

} // namespace tolvo
