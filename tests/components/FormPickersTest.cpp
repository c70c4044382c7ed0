#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include "components/CalView.h"
#include "components/CalendarSelectionView.h"
#include "components/CardButton.h"
#include "components/ReminderTimeView.h"
#include "components/StyledButton.h"
#include "components/TimeSelectionView.h"
#include "components/ToggleSwitch.h"
#include "components/ValidationFrame.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>

using namespace tolvo;

namespace {

GoogleCalendar calendar(const QString &id, const std::optional<QString> &summary)
{
    GoogleCalendar value;
    value.id = id;
    value.summary = summary;
    return value;
}

void hover(HoverPickList &list, int row)
{
    QTest::mouseMove(list.viewport(), list.rowRect(row).center());
    QCoreApplication::processEvents();
}

void click(HoverPickList &list, int row)
{
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.rowRect(row).center());
}

QColor pixelAt(QWidget &widget, QPoint point)
{
    return widget.grab().toImage().pixelColor(point);
}

} // namespace

class FormPickersTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void reminderListShowsTheFormsChoices()
    {
        QList<qint64> chosen;
        ReminderTimeView list(reminderChoices(), [&](qint64 minutes) { chosen.append(minutes); });
        QCOMPARE(list.rowCount(), 5);
        QCOMPARE(
            list.model()->index(0, 0).data().toString(), QStringLiteral("5 minutes before event"));
        QCOMPARE(
            list.model()->index(4, 0).data().toString(), QStringLiteral("60 minutes before event"));
        QCOMPARE(reminderText(1), QStringLiteral("1 minutes before event"));
        list.resize(200, list.sizeHint().height());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // Rows run top to bottom in the given order.
        QVERIFY(list.rowRect(0).bottom() < list.rowRect(1).top());
        click(list, 2);
        QCOMPARE(chosen, QList<qint64> {15});
    }

    void hoverHighlightStaysOnTheLastRowEntered()
    {
        ReminderTimeView list(reminderChoices(), {});
        list.resize(200, list.sizeHint().height());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(!list.hoveredItemId().isValid());
        hover(list, 1);
        QCOMPARE(list.hoveredItemId().toLongLong(), 10);
        hover(list, 3);
        QCOMPARE(list.hoveredItemId().toLongLong(), 30);
        // Leaving the list keeps the highlight.
        QTest::mouseMove(list.windowHandle(), QPoint(-20, -20));
        QCoreApplication::processEvents();
        QCOMPARE(list.hoveredItemId().toLongLong(), 30);
        const QPoint rowEdge = list.rowRect(3).topLeft() + QPoint(4, list.rowRect(3).height() / 2);
        QCOMPARE(pixelAt(*list.viewport(), rowEdge), QColor(0xEE, 0xEF, 0xF2));
        const QPoint otherRow = list.rowRect(1).topLeft() + QPoint(4, list.rowRect(1).height() / 2);
        QCOMPARE(pixelAt(*list.viewport(), otherRow), QColor(Qt::white));
    }

    void calendarRowsHandOnTheWholeCalendar()
    {
        QList<GoogleCalendar> chosen;
        CalendarSelectionView list(
            {calendar("a@x", QStringLiteral("Work")), calendar("b@x", std::nullopt),
                calendar("a@x", QStringLiteral("Work copy"))},
            [&](const GoogleCalendar &value) { chosen.append(value); });
        list.resize(400, list.sizeHint().height());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.model()->index(1, 0).data().toString(), QString());
        // A row without a name takes the click over its whole width.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
            QPoint(list.viewport()->width() - 5, list.rowRect(1).center().y()));
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().id, QStringLiteral("b@x"));
        QVERIFY(!chosen.first().summary);
        // Two calendars with one id light up together.
        hover(list, 0);
        QCOMPARE(list.hoveredItemId().toString(), QStringLiteral("a@x"));
        const auto highlighted = [&](int row) {
            const QRect rect = list.rowRect(row);
            return pixelAt(*list.viewport(), QPoint(rect.right() - 4, rect.center().y()))
                == QColor(0xEE, 0xEF, 0xF2);
        };
        QVERIFY(highlighted(0));
        QVERIFY(highlighted(2));
        QVERIFY(!highlighted(1));
    }

    void emptyListIsAWhiteArea()
    {
        int calls = 0;
        CalendarSelectionView list({}, [&](const GoogleCalendar &) { ++calls; });
        QCOMPARE(list.sizeHint().height(), HoverPickList::emptyHeight);
        list.resize(400, list.sizeHint().height());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(calls, 0);
        QCOMPARE(pixelAt(*list.viewport(), QPoint(20, 20)), QColor(Qt::white));
    }

    void longNamesAreElidedAndManyRowsScroll()
    {
        QList<GoogleCalendar> many;
        for (int i = 0; i < 30; ++i)
            many.append(calendar(QString::number(i), QString(300, u'W')));
        CalendarSelectionView list(many, {});
        QCOMPARE(list.sizeHint().height(), HoverPickList::maximumRows * HoverPickList::rowHeight);
        list.resize(400, list.sizeHint().height());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.verticalScrollBar()->isVisible());
        QCOMPARE(list.horizontalScrollBar()->isVisible(), false);
    }

    void datePanelReturnsItsOwnDate()
    {
        CalendarContext context;
        context.zone = QTimeZone("Europe/Berlin");
        context.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
        context.firstDayOfWeek = Qt::Monday;
        context.clock = [] { return QDateTime(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC); };
        const QDateTime initial(QDate(2025, 3, 12), QTime(15, 20), context.zone);
        int closes = 0;
        QList<QDateTime> saved;
        const auto makePanel = [&] {
            return std::make_unique<TimeSelectionView>([&] { ++closes; },
                [&](const QDateTime &date) { saved.append(date); }, initial, context);
        };

        // Untouched: the initial date comes back unchanged.
        auto panel = makePanel();
        panel->resize(320, panel->sizeHint().height());
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
        QCOMPARE(panel->picker()->title(), QStringLiteral("March 2025"));
        QTest::mouseClick(panel->saveButton(), Qt::LeftButton);
        QCOMPARE(saved, QList<QDateTime> {initial});

        // The buttons: Cancel then Save at the trailing edge, 16 from the bottom and the side.
        QCOMPARE(panel->saveButton()->size(), TimeSelectionView::buttonSize);
        QCOMPARE(panel->saveButton()->geometry().right(), panel->width() - 1 - 16);
        QCOMPARE(panel->saveButton()->geometry().bottom(), panel->height() - 1 - 16);
        QVERIFY(panel->cancelButton()->geometry().right() < panel->saveButton()->geometry().left());

        // Two days picked: the second comes back, at the start of its day.
        saved.clear();
        CalView *picker = panel->picker();
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->dayRect(QDate(2025, 3, 18)).center());
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->dayRect(QDate(2025, 3, 20)).center());
        QTest::mouseClick(panel->saveButton(), Qt::LeftButton);
        QCOMPARE(
            saved, QList<QDateTime> {QDateTime(QDate(2025, 3, 20), QTime(0, 0), context.zone)});
        QCOMPARE(closes, 0);

        // Picked, then cancelled: only the close handler runs.
        saved.clear();
        panel = makePanel();
        panel->resize(320, panel->sizeHint().height());
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
        picker = panel->picker();
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->dayRect(QDate(2025, 3, 18)).center());
        QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
        QCOMPARE(closes, 1);
        QVERIFY(saved.isEmpty());
    }

    void switchToggles()
    {
        ToggleSwitch toggle(QStringLiteral("All day"));
        toggle.setSwitchSize(ToggleSwitch::Size::regular);
        QSignalSpy toggled(&toggle, &QAbstractButton::toggled);
        toggle.resize(toggle.sizeHint());
        toggle.show();
        QVERIFY(QTest::qWaitForWindowExposed(&toggle));
        const QRect offKnob = toggle.knobRect();
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, toggle.trackRect().center());
        QVERIFY(toggle.isChecked());
        QVERIFY(toggle.knobRect().left() > offKnob.left());
        // The label leads and the track follows it.
        QVERIFY(toggle.trackRect().left() > toggle.fontMetrics().horizontalAdvance("All day"));
        QCOMPARE(pixelAt(toggle, toggle.trackRect().topLeft() + QPoint(6, 11)).name(),
            QColor(0x37, 0x9B, 0xFF).name());
        QTest::keyClick(&toggle, Qt::Key_Space);
        QVERIFY(!toggle.isChecked());
        QCOMPARE(toggled.size(), 2);
    }

    void cardElidesItsText()
    {
        CardButton card(QStringLiteral("calendar"));
        card.setTextWidth(150);
        card.setText(QString(200, u'M'));
        card.resize(card.sizeHint());
        QVERIFY(card.shownText().endsWith(QChar(0x2026)));
        QVERIFY(card.fontMetrics().horizontalAdvance(card.shownText()) <= 150);
        QCOMPARE(card.sizeHint().width(),
            2 * CardButton::horizontalPadding + 150 + CardButton::spacing + CardButton::iconSide);
    }

    void outlineShowsOutsideTheControl()
    {
        auto *field = new QLineEdit;
        ValidationFrame frame(field);
        frame.resize(200, frame.sizeHint().height());
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(
            field->geometry().topLeft(), QPoint(ValidationFrame::margin, ValidationFrame::margin));
        const QPoint outside(frame.width() / 2, 0);
        QVERIFY(pixelAt(frame, outside) != QColor(Qt::red));
        frame.setInvalid(true);
        QCOMPARE(pixelAt(frame, QPoint(frame.width() / 2, 1)), QColor(Qt::red));
        frame.setInvalid(false);
        QVERIFY(pixelAt(frame, QPoint(frame.width() / 2, 1)) != QColor(Qt::red));
    }
};

TOLVO_WIDGET_TEST_MAIN(FormPickersTest)

#include "FormPickersTest.moc"
