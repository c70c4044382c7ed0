#include "core/TimelineSelection.h"
#include "support/TestMain.h"

#include <QSignalSpy>

using namespace tolvo;

namespace {
CalendarEvent meeting(const QString &name)
{
    CalendarEvent result;
    result.id = QUuid::createUuidV5(QUuid(), name);
    result.identifier = name;
    result.title = name;
    return result;
}
} // namespace

class TimelineSelectionTest : public QObject
{
    Q_OBJECT
private slots:
    void writeRules()
    {
        TimelineSelection selection;
        QSignalSpy changed(&selection, &TimelineSelection::changed);
        const CalendarEvent a = meeting("a");
        const CalendarEvent b = meeting("b");

        selection.writeFor(a.id, a);
        QCOMPARE(selection.readFor(a.id), a);
        QCOMPARE(changed.size(), 1);

        selection.writeFor(a.id, a); // the same value
        QCOMPARE(changed.size(), 1);

        selection.writeFor(b.id, b); // another event: the only entry, under its own id
        QCOMPARE(selection.readFor(b.id), b);
        QVERIFY(!selection.readFor(a.id));
        QCOMPARE(changed.size(), 2);

        selection.writeFor(a.id, std::nullopt); // nothing on another block
        QCOMPARE(selection.selected(), b);
        QCOMPARE(changed.size(), 2);

        CalendarEvent renamed = b;
        renamed.title = "b2"; // same id, other fields: a different value
        selection.writeFor(b.id, renamed);
        QCOMPARE(selection.selected()->title, "b2");
        QCOMPARE(changed.size(), 3);

        selection.writeFor(b.id, std::nullopt); // nothing on the selected block
        QVERIFY(!selection.selected());
        QCOMPARE(changed.size(), 4);
    }

    void clicks()
    {
        TimelineSelection selection;
        const CalendarEvent a = meeting("a");
        const CalendarEvent b = meeting("b");
        selection.singleClick(a);
        QVERIFY(selection.isSelected(a.id));
        QVERIFY(!selection.isPopoverShown());

        QSignalSpy changed(&selection, &TimelineSelection::changed);
        selection.singleClick(a); // again: nothing
        QCOMPARE(changed.size(), 0);

        selection.doubleClick(b); // moves the selection and the popover
        QCOMPARE(changed.size(), 1);
        QVERIFY(selection.showsPopoverFor(b.id));
        QVERIFY(!selection.showsPopoverFor(a.id));

        selection.setPopoverShown(false); // closed from outside: the highlight stays
        QVERIFY(selection.isSelected(b.id));

        selection.clear();
        QVERIFY(!selection.selected());
        QVERIFY(!selection.isPopoverShown());
    }

    void aRefreshDropsOnlyAVanishedSelection()
    {
        TimelineSelection selection;
        const CalendarEvent a = meeting("a");
        const CalendarEvent b = meeting("b");
        selection.doubleClick(a);
        // An earlier event inserted that day: the selection stays on its own event.
        selection.retain({b, a});
        QVERIFY(selection.showsPopoverFor(a.id));
        CalendarEvent edited = a;
        edited.title = "a, edited";
        selection.retain({edited});
        QCOMPARE(selection.selected(), edited);
        // A new load gives every event a new per-load id: the Google event id finds it again.
        CalendarEvent reloaded = edited;
        reloaded.id = QUuid::createUuid();
        selection.retain({b, reloaded});
        QVERIFY(selection.showsPopoverFor(reloaded.id));
        QCOMPARE(selection.readFor(reloaded.id), reloaded);
        // Another Google event under the old per-load id is not the selected event.
        CalendarEvent impostor = b;
        impostor.id = reloaded.id;
        selection.retain({impostor});
        QVERIFY(!selection.selected());
        selection.doubleClick(a);
        selection.retain({b});
        QVERIFY(!selection.selected());
        QVERIFY(!selection.isPopoverShown());
    }
};

TOLVO_TEST_MAIN(TimelineSelectionTest)
#include "TimelineSelectionTest.moc"
