#include "modules/FullScreenNotification/FullScreenWindowController.h"
#include "components/StyledButton.h"
#include "modules/FullScreenNotification/FullScreenView.h"
#include "modules/FullScreenNotification/FullScreenViewModel.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QFontMetrics>
#include <QLabel>
#include <QScreen>

using namespace tolvo;

namespace {

GoogleCalendarEvent sampleEvent()
{
    GoogleCalendarEvent event;
    event.id = QStringLiteral("evt-1");
    event.summary = QStringLiteral("Weekly planning <b>");
    event.start = QDateTime::currentDateTime().addSecs(600);
    event.end = event.start->addSecs(1800);
    event.hangoutLink = QStringLiteral("https://meet.google.com/abc-defg-hij");
    return event;
}

// What the opener saw, in order.
struct Calls
{
    QStringList log;
    std::function<void()> close()
    {
        return [this] { log << QStringLiteral("close"); };
    }
    std::function<void(SnoozeTime)> snooze()
    {
        return [this](SnoozeTime time) { log << QStringLiteral("snooze %1").arg(int(time)); };
    }
};

} // namespace

class FullScreenWindowControllerTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void coversTheScreenWithTheEvent()
    {
        Calls calls;
        auto *controller
            = new FullScreenWindowController(sampleEvent(), calls.snooze(), calls.close());
        QPointer<FullScreenWindowController> guard(controller);
        FullScreenView *view = controller->view();
        QVERIFY(view);
        QVERIFY(view->isVisible());
        QVERIFY(view->isFullScreen());
        QVERIFY(view->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(view->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(view->geometry(), QGuiApplication::primaryScreen()->geometry());
        QCOMPARE(view->titleLabel()->text(), QStringLiteral("Weekly planning <b>"));
        QCOMPARE(view->titleLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(view->titleLabel()->font().pixelSize(), 32);
        QCOMPARE(view->timeRangeLabel()->text(), controller->viewModel()->timeRangeText());
        QVERIFY(!view->timeToMeetingLabel()->isVisible());
        QCOMPARE(view->dismissButton()->text(), QStringLiteral("Dismiss"));
        QCOMPARE(view->dismissButton()->style(), ButtonStyle::grayed);
        QCOMPARE(view->joinButton()->text(), QStringLiteral("Join with Google Meet"));
        QCOMPARE(view->joinButton()->style(), ButtonStyle::blue);
        QCOMPARE(view->snoozeButton(SnoozeTime::minute)->text(), QStringLiteral("1 minute"));
        QCOMPARE(view->snoozeButton(SnoozeTime::fiveMinutes)->text(), QStringLiteral("5 minutes"));
        QCOMPARE(view->snoozeButton(SnoozeTime::untilEvent)->text(), QStringLiteral("Until event"));
        QCOMPARE(view->dismissButton()->size(), QSize(180, 30));

        // Title, times, actions and snooze sit 50 apart, in that order.
        const int titleBottom = view->titleLabel()->geometry().bottom();
        const int timeTop = view->timeRangeLabel()->geometry().top();
        QCOMPARE(timeTop - titleBottom - 1, 50);
        QVERIFY(view->dismissButton()->y() > view->timeRangeLabel()->y());
        QVERIFY(view->snoozeButton(SnoozeTime::minute)->y() > view->dismissButton()->y());
        controller->closeReminder();
        QTRY_VERIFY(!guard);
    }

    void coversEveryScreenAndShowsTheEventOnItsOwn()
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        Calls calls;
        auto *controller = new FullScreenWindowController(
            sampleEvent(), calls.snooze(), calls.close(), screens.at(1));
        QPointer<FullScreenWindowController> guard(controller);
        const QList<QWidget *> windows = controller->windows();
        QCOMPARE(windows.size(), 2);
        // The event shows on the screen it was asked for; the other screen is covered.
        QCOMPARE(controller->view()->geometry(), screens.at(1)->geometry());
        QCOMPARE(controller->view()->windowHandle()->screen(), screens.at(1));
        QWidget *cover = windows.at(0) == controller->view() ? windows.at(1) : windows.at(0);
        QCOMPARE(cover->geometry(), screens.at(0)->geometry());
        QCOMPARE(cover->windowHandle()->screen(), screens.at(0));
        for (QWidget *window : windows) {
            QVERIFY(window->isVisible());
            QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        }
        // One answer closes the covers too.
        QPointer<QWidget> coverGuard(cover);
        controller->view()->dismissButton()->click();
        QTRY_VERIFY(!guard);
        QVERIFY(!coverGuard);
        QCOMPARE(calls.log, QStringList {"close"});
    }

    void eachButtonAnswersOnceAndCloses_data()
    {
        QTest::addColumn<int>("button"); // -1 Dismiss, else a SnoozeTime
        QTest::addColumn<QString>("expected");
        QTest::newRow("Dismiss") << -1 << "close";
        QTest::newRow("1 minute") << int(SnoozeTime::minute) << "snooze 0";
        QTest::newRow("5 minutes") << int(SnoozeTime::fiveMinutes) << "snooze 1";
        QTest::newRow("Until event") << int(SnoozeTime::untilEvent) << "snooze 2";
    }

    void eachButtonAnswersOnceAndCloses()
    {
        QFETCH(int, button);
        QFETCH(QString, expected);
        Calls calls;
        auto *controller
            = new FullScreenWindowController(sampleEvent(), calls.snooze(), calls.close());
        QPointer<FullScreenWindowController> guard(controller);
        QPointer<FullScreenView> view = controller->view();
        StyledButton *target
            = button < 0 ? view->dismissButton() : view->snoozeButton(SnoozeTime(button));
        target->click();
        target->click(); // a second press before the window is gone answers nothing
        QCOMPARE(calls.log, QStringList {expected});
        QTRY_VERIFY(!guard);
        QVERIFY(!view);
        QCOMPARE(calls.log, QStringList {expected});
    }

    void windowManagerCloseDismisses()
    {
        Calls calls;
        auto *controller
            = new FullScreenWindowController(sampleEvent(), calls.snooze(), calls.close());
        QPointer<FullScreenWindowController> guard(controller);
        // What Alt+F4 or a close button sends.
        QCloseEvent close;
        QCoreApplication::sendEvent(controller->view()->windowHandle(), &close);
        QCOMPARE(calls.log, QStringList {"close"});
        QTRY_VERIFY(!guard);
        QCOMPARE(calls.log, QStringList {"close"});
    }

    void joinOpensTheMeetAddressAndStaysOpen()
    {
        Calls calls;
        QList<QUrl> opened;
        auto *controller = new FullScreenWindowController(sampleEvent(), calls.snooze(),
            calls.close(), FullScreenWindowController::defaultScreen(),
            [&opened](const QUrl &url) { opened << url; });
        controller->view()->joinButton()->click();
        QCOMPARE(opened, QList<QUrl> {QUrl("https://meet.google.com/abc-defg-hij")});
        QVERIFY(calls.log.isEmpty());
        QVERIFY(controller->view()->isVisible());

        // Without a link the button is still there and does nothing.
        GoogleCalendarEvent plain = sampleEvent();
        plain.hangoutLink.reset();
        auto *second = new FullScreenWindowController(plain, calls.snooze(), calls.close(),
            FullScreenWindowController::defaultScreen(),
            [&opened](const QUrl &url) { opened << url; });
        QVERIFY(second->view()->joinButton()->isVisible());
        second->view()->joinButton()->click();
        QCOMPARE(opened.size(), 1);
        controller->closeReminder();
        second->closeReminder();
        QCOMPARE(calls.log, (QStringList {"close", "close"}));
    }

    void aLongTitleWrapsAndEveryButtonStaysOnScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("800x600") << QSize(800, 600);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    void aLongTitleWrapsAndEveryButtonStaysOnScreen()
    {
        QFETCH(QSize, screen);
        GoogleCalendarEvent event = sampleEvent();
        event.summary
            = QStringLiteral("Quarterly roadmap review with every team lead ").repeated(7);
        event.summary = event.summary->left(300);
        FullScreenViewModel model(event, AppDateFormatter(CalendarContext {}));
        FullScreenView view(&model, {}, {}, {});
        view.resize(screen);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.size(), screen);

        const QLabel *title = view.titleLabel();
        const QStringList lines = title->text().split(QLatin1Char('\n'));
        QVERIFY2(lines.size() >= 2 && lines.size() <= 3, qPrintable(title->text()));
        const QFontMetrics metrics(title->font());
        for (const QString &line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) <= screen.width() - 80, qPrintable(line));
        if (screen.width() == 800) {
            QCOMPARE(lines.size(), 3);
            QVERIFY(lines.last().endsWith(QChar(0x2026)));
        }
        QVERIFY(view.rect().contains(title->geometry()));
        QList<StyledButton *> buttons {view.dismissButton(), view.joinButton()};
        for (const SnoozeTime time :
            {SnoozeTime::minute, SnoozeTime::fiveMinutes, SnoozeTime::untilEvent})
            buttons << view.snoozeButton(time);
        for (const StyledButton *button : buttons) {
            const QRect onScreen(button->mapTo(&view, QPoint()), button->size());
            QVERIFY2(view.rect().contains(onScreen), qPrintable(button->text()));
        }
    }

    void keysReachAButtonOnlyAfterTab()
    {
        Calls calls;
        auto *controller
            = new FullScreenWindowController(sampleEvent(), calls.snooze(), calls.close());
        QPointer<FullScreenWindowController> guard(controller);
        FullScreenView *view = controller->view();
        QVERIFY(QTest::qWaitForWindowActive(view));
        QWindow *window = view->windowHandle();
        const QList<StyledButton *> buttons {view->dismissButton(), view->joinButton(),
            view->snoozeButton(SnoozeTime::minute), view->snoozeButton(SnoozeTime::fiveMinutes),
            view->snoozeButton(SnoozeTime::untilEvent)};
        for (const StyledButton *button : buttons)
            QVERIFY2(!button->hasFocus(), qPrintable(button->text()));

        // A Space typed as the reminder appears answers nothing.
        QTest::keyClick(window, Qt::Key_Space);
        QCoreApplication::processEvents();
        QVERIFY(calls.log.isEmpty());
        QVERIFY(view->isVisible());

        QTest::keyClick(window, Qt::Key_Tab);
        QVERIFY(view->dismissButton()->hasFocus());
        QVERIFY(view->dismissButton()->showsFocus());
        QVERIFY(!view->joinButton()->showsFocus());
        QTest::keyClick(window, Qt::Key_Space);
        QCOMPARE(calls.log, QStringList {"close"});
        QTRY_VERIFY(!guard);
    }

    void withoutAScreenNothingShowsAndTheStatusReturns()
    {
        Calls calls;
        auto *controller
            = new FullScreenWindowController(sampleEvent(), calls.snooze(), calls.close(), nullptr);
        QPointer<FullScreenWindowController> guard(controller);
        QVERIFY(!controller->view());
        QVERIFY(controller->windows().isEmpty());
        QVERIFY(calls.log.isEmpty()); // not before the opener has finished opening
        QTRY_VERIFY(!guard);
        QCOMPARE(calls.log, QStringList {"close"});
    }
};

// Two screens side by side, of different sizes, the smaller one primary.
TOLVO_WIDGET_TEST_MAIN_ON_SCREENS(FullScreenWindowControllerTest,
    (QList<QRect> {QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)}))
#include "FullScreenWindowControllerTest.moc"
