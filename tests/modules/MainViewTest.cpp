#include "modules/Main/MainView.h"
#include "components/AlertPresenter.h"
#include "components/AppKitProgressView.h"
#include "components/CalView.h"
#include "components/ElidedLabel.h"
#include "components/StyledButton.h"
#include "modules/Main/CalendarMenuItem.h"
#include "modules/Main/EmptyStateView.h"
#include "modules/Main/MainViewModel.h"
#include "support/MainScreenFakes.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QToolButton>

using namespace tolvo;
using namespace tolvo::test;

namespace {

// The main screen in a window, with a plain widget standing in for the meetings list.
struct Screen
{
    Screen()
    {
        window.resize(1200, 700);
        view = new MainView(&window, [this] {
            ++listsMade;
            return new QLabel(QStringLiteral("meetings"));
        });
        window.setCentralWidget(view);
    }
    QMainWindow window;
    MainView *view = nullptr;
    int listsMade = 0;
};

} // namespace

class MainViewTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void startsWhenShownAndListsTheCalendars()
    {
        MainScreenFakes fakes;
        fakes.calendarList = QList<GoogleCalendar> {MainScreenFakes::calendar("a", "Work"),
            MainScreenFakes::calendar("b", QString(300, QLatin1Char('L')), std::nullopt)};
        fakes.channelCalendarIds = {QStringLiteral("a")};
        Screen screen;
        QCOMPARE(screen.view->currentDetail()->findChild<AppKitProgressView *>(),
            screen.view->spinner());
        QVERIFY(fakes.syncCalls.isEmpty()); // nothing before the window shows it
        screen.window.show();
        QTRY_COMPARE(screen.view->viewModel()->appState(), AppState::configured);
        QCOMPARE(screen.view->currentDetail(), screen.view->meetingsList());
        QCOMPARE(screen.listsMade, 1);
        QTRY_COMPARE(fakes.syncCalls, QStringList {QStringLiteral("sync:a")});

        const auto rows = screen.view->calendarRows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0)->titleLabel()->text(), QStringLiteral("Work"));
        QCOMPARE(rows.at(0)->symbolName(), QStringLiteral("square-check"));
        QCOMPARE(rows.at(0)->symbolColor(), QColor(0x3A, 0x87, 0xAD));
        QCOMPARE(rows.at(1)->symbolName(), QStringLiteral("square"));
        // No colour: still a visible symbol.
        QCOMPARE(rows.at(1)->symbolColor(), QColor(0xA3, 0xB0, 0xBB));
        // A very long title stays inside the sidebar and is named in full by its tooltip.
        QCOMPARE(rows.at(1)->titleLabel()->toolTip(), QString(300, QLatin1Char('L')));
        const QWidget *sidebar = screen.view->sidebar();
        QCoreApplication::processEvents();
        const QRect title(rows.at(1)->titleLabel()->mapTo(sidebar, QPoint(0, 0)),
            rows.at(1)->titleLabel()->size());
        QVERIFY2(sidebar->rect().contains(title),
            qPrintable(QStringLiteral("%1,%2 %3x%4")
                           .arg(title.x())
                           .arg(title.y())
                           .arg(title.width())
                           .arg(title.height())));
        // Where it is cut, an ellipsis says so.
        QVERIFY(rows.at(1)->titleLabel()->text().endsWith(QChar(0x2026)));

        // Showing again starts nothing more.
        screen.window.hide();
        screen.window.show();
        QCoreApplication::processEvents();
        QCOMPARE(fakes.syncCalls.size(), 1);
    }

    void theSidebarKeepsItsWidth()
    {
        MainScreenFakes fakes;
        Screen screen;
        screen.window.show();
        for (const QSize size : {QSize(1200, 700), QSize(1900, 1000)}) {
            screen.window.resize(size);
            QTRY_COMPARE(screen.window.size(), size);
            QCoreApplication::processEvents();
            QCOMPARE(screen.view->sidebar()->width(), MainView::sidebarWidth);
            QCOMPARE(screen.view->sidebar()->height(), screen.view->height());
        }
        // "Logout" sits at the bottom.
        QPushButton *logout = screen.view->logoutButton();
        QVERIFY(logout->mapTo(screen.view->sidebar(), QPoint(0, logout->height())).y()
            >= screen.view->sidebar()->height() - 2);
        QCOMPARE(screen.view->calendarsHeader()->text(), QStringLiteral("My Calendars"));
        QCOMPARE(screen.view->monthPicker()->theme(), CalendarTheme::dark);
    }

    void onlyTheSymbolToggles()
    {
        MainScreenFakes fakes;
        fakes.calendarList = QList<GoogleCalendar> {MainScreenFakes::calendar("a", "Work")};
        Screen screen;
        screen.window.show();
        QTRY_COMPARE(screen.view->calendarRows().size(), 1);
        QTRY_COMPARE(fakes.syncCalls.size(), 1);
        QTest::mouseClick(screen.view->calendarRows().first()->titleLabel(), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(fakes.syncCalls.size(), 1);
        // The toggle replaces the rows, the clicked one included: its button must outlive the
        // click it is still handling.
        const QPointer<QToolButton> clicked = screen.view->calendarRows().first()->symbolButton();
        QTest::mouseClick(clicked, Qt::LeftButton);
        QVERIFY(clicked);
        QVERIFY(screen.view->calendarRows().first()->symbolButton() != clicked);
        QTRY_VERIFY(!clicked);
        QTRY_COMPARE(fakes.syncCalls.last(), QStringLiteral("add:a"));
        QTRY_COMPARE(
            screen.view->calendarRows().first()->symbolName(), QStringLiteral("square-check"));
        QTest::mouseClick(screen.view->calendarRows().first()->symbolButton(), Qt::LeftButton);
        QTRY_COMPARE(fakes.syncCalls.last(), QStringLiteral("cleanUp:a"));
    }

    void aFailedStartOffersRefresh()
    {
        MainScreenFakes fakes;
        fakes.calendarList = failure(ErrorDomain::http, 500, QStringLiteral("down"));
        Screen screen;
        screen.window.show();
        QTRY_COMPARE(screen.view->currentDetail(), screen.view->emptyState());
        QVERIFY(!screen.view->meetingsList());
        StyledButton *refresh = screen.view->emptyState()->refreshButton();
        QCOMPARE(refresh->text(), QStringLiteral("Refresh"));
        QCOMPARE(refresh->width(), 80);
        QVERIFY(refresh->height() >= 35);
        // The alert shows over the empty state; dismissed, Refresh starts again.
        QTRY_VERIFY(screen.view->alertPresenter()->messageBox());
        screen.view->viewModel()->alertType()->clear();
        fakes.calendarList = QList<GoogleCalendar> {MainScreenFakes::calendar("a", "Work")};
        QTest::mouseClick(refresh, Qt::LeftButton);
        QTRY_COMPARE(screen.view->currentDetail(), screen.view->meetingsList());
        QCOMPARE(screen.view->calendarRows().size(), 1);
    }

    void logoutStopsChannelsThenSignsOut()
    {
        MainScreenFakes fakes;
        Screen screen;
        screen.window.show();
        QTRY_COMPARE(screen.view->viewModel()->appState(), AppState::configured);
        QTest::mouseClick(screen.view->logoutButton(), Qt::LeftButton);
        QTRY_COMPARE(fakes.signOuts, 1);
        // The channels are stopped while the session can still sign their requests.
        QVERIFY(fakes.syncCallsAtSignOut.contains(QStringLiteral("cleanUpAll")));
    }
};

TOLVO_WIDGET_TEST_MAIN(MainViewTest)
#include "MainViewTest.moc"
