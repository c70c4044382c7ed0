#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include "platform/AnalyticsClient.h"
#include "services/AnalyticsManager.h"

#include <QJsonArray>

using namespace tolvo;
using namespace tolvo::test;

namespace {
struct Custom
{
    int x = 0;
};
} // namespace
Q_DECLARE_METATYPE(Custom)

class AnalyticsManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void convertsPropertyValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QJsonValue>("expected"); // undefined: left out
        const QDateTime date(QDate(2025, 3, 3), QTime(9, 30), QTimeZone("Europe/Berlin"));
        QTest::addRow("string") << QVariant("text") << QJsonValue("text");
        QTest::addRow("int") << QVariant(7) << QJsonValue(7);
        QTest::addRow("long long") << QVariant(qlonglong(1) << 40) << QJsonValue(qint64(1) << 40);
        QTest::addRow("double") << QVariant(2.5) << QJsonValue(2.5);
        QTest::addRow("float") << QVariant(0.5f) << QJsonValue(0.5);
        QTest::addRow("not a number")
            << QVariant(std::nan("")) << QJsonValue(QJsonValue::Undefined);
        QTest::addRow("date in UTC") << QVariant(date) << QJsonValue("2025-03-03T08:30:00.000Z");
        QTest::addRow("url") << QVariant(QUrl("https://example.com/a b"))
                             << QJsonValue("https://example.com/a%20b");
        QTest::addRow("bool") << QVariant(true) << QJsonValue(true);
        QTest::addRow("list drops what it cannot convert")
            << QVariant(QVariantList {1, QVariant::fromValue(Custom {}), "a"})
            << QJsonValue(QJsonArray {1, "a"});
        QTest::addRow("string list")
            << QVariant(QStringList {"a", "b"}) << QJsonValue(QJsonArray {"a", "b"});
        QTest::addRow("map, recursively")
            << QVariant(QVariantMap {{"a", 1}, {"b", QVariant::fromValue(Custom {})},
                   {"c", QVariantMap {{"d", false}}}})
            << QJsonValue(QJsonObject {{"a", 1}, {"c", QJsonObject {{"d", false}}}});
        QTest::addRow("custom type")
            << QVariant::fromValue(Custom {}) << QJsonValue(QJsonValue::Undefined);
        QTest::addRow("byte array")
            << QVariant(QByteArray("x")) << QJsonValue(QJsonValue::Undefined);
        QTest::addRow("invalid") << QVariant() << QJsonValue(QJsonValue::Undefined);
    }

    void convertsPropertyValues()
    {
        QFETCH(QVariant, value);
        QFETCH(QJsonValue, expected);
        const auto converted = analyticsPropertyValue(value);
        QCOMPARE(converted.has_value(), !expected.isUndefined());
        if (converted)
            QCOMPARE(*converted, expected);
        // In a map, an entry that cannot be converted is left out.
        const QJsonObject map = analyticsProperties({{"key", value}});
        QCOMPARE(map.contains("key"), !expected.isUndefined());
    }

    void configureAndTrackThroughTheClient()
    {
        FakeReportingServer fake;
        AnalyticsClient client(fake.analyticsUrl());
        const AnalyticsManager analytics = AnalyticsManager::over(&client);
        analytics.trackEvent(QStringLiteral("app_launch"), std::nullopt);
        analytics.configure(
            QStringLiteral("tok"), QStringLiteral("0.1.0"), QStringLiteral("Debian GNU/Linux 12"));
        analytics.trackEvent(
            QStringLiteral("signIn"), QVariantMap {{"odd", QVariant::fromValue(Custom {})}});
        QTRY_COMPARE(client.queuedCount(), 2);
        QCOMPARE(client.flushInterval(), std::chrono::milliseconds(60000));
        client.flush();
        QTRY_COMPARE(fake.analyticsBatches().size(), 1);
        const QJsonArray batch = fake.analyticsBatches().first().value("batch").toArray();
        const QJsonObject superProperties {
            {"app_version", "0.1.0"}, {"os_version", "Debian GNU/Linux 12"}};
        QCOMPARE(batch[0].toObject().value("properties").toObject(), superProperties);
        QCOMPARE(batch[1].toObject().value("event").toString(), QStringLiteral("signIn"));
        QCOMPARE(batch[1].toObject().value("properties").toObject(), superProperties);
    }

    void theTestValueRecordsWithoutANetwork()
    {
        const auto recorder = std::make_shared<AnalyticsRecorder>();
        const AnalyticsManager analytics = AnalyticsManager::recording(recorder);
        analytics.configure("t", "1", "os");
        analytics.trackEvent("signOut", std::nullopt);
        analytics.setUserProperties({{"x", QVariant::fromValue(Custom {})}});
        QCOMPARE(recorder->configuration()->osVersion, QStringLiteral("os"));
        QCOMPARE(recorder->events().size(), 1);
        QCOMPARE(recorder->events().first().name, QStringLiteral("signOut"));
        QCOMPARE(recorder->userProperties(), QList<QJsonObject> {QJsonObject()});
    }
};

TOLVO_TEST_MAIN(AnalyticsManagerTest)
#include "AnalyticsManagerTest.moc"
