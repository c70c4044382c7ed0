#include "core/ChangeClassification.h"
#include "support/TestMain.h"

using namespace tolvo;

class ChangeClassificationTest : public QObject
{
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<int>("status"); // -1: none
        QTest::addColumn<int>("created"); // seconds, -1: absent
        QTest::addColumn<int>("updated");
        QTest::addColumn<int>("kind");
        const int cancelled = int(GoogleCalendarEventStatus::cancelled);
        const int confirmed = int(GoogleCalendarEventStatus::confirmed);
        const int added = int(GoogleCalendarChange::Kind::added);
        const int modified = int(GoogleCalendarChange::Kind::modified);
        const int deleted = int(GoogleCalendarChange::Kind::deleted);
        QTest::newRow("cancelled, equal dates") << cancelled << 0 << 0 << deleted;
        QTest::newRow("cancelled, no dates") << cancelled << -1 << -1 << deleted;
        QTest::newRow("equal dates") << confirmed << 10 << 10 << added;
        QTest::newRow("no dates") << -1 << -1 << -1 << added;
        QTest::newRow("only created") << confirmed << 10 << -1 << modified;
        QTest::newRow("only updated") << confirmed << -1 << 10 << modified;
        QTest::newRow("updated later")
            << int(GoogleCalendarEventStatus::tentative) << 10 << 11 << modified;
    }
    void classify()
    {
        QFETCH(int, status);
        QFETCH(int, created);
        QFETCH(int, updated);
        QFETCH(int, kind);
        const QDateTime base(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        GoogleCalendarEvent event;
        event.id = QStringLiteral("e");
        if (status >= 0)
            event.status = GoogleCalendarEventStatus(status);
        if (created >= 0)
            event.created = base.addSecs(created);
        if (updated >= 0)
            event.updated = base.addSecs(updated);
        const auto change = classifyChange(event);
        QCOMPARE(int(change.kind()), kind);
        QCOMPARE(change.event(), event);
    }
};

TOLVO_TEST_MAIN(ChangeClassificationTest)
#include "ChangeClassificationTest.moc"
