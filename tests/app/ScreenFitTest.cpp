#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "components/WindowReader.h"
#include "core/StartTask.h"
#include "modules/App/AppViewModel.h"
#include "modules/Calendar/CalendarHeaderView.h"
#include "modules/Calendar/CalendarPeriodView.h"
#include "modules/Calendar/IntuitiveCalendarView.h"
#include "modules/Main/MainView.h"
#include "modules/Main/MainViewModel.h"
#include "modules/Meetings/MeetingsListView.h"
#include "modules/Meetings/MeetingsListViewModel.h"
#include "modules/Settings/SettingsView.h"
#include "services/EventsTimerManager.h"
#include "services/NotificationHandler.h"
#include "support/FakeClock.h"
#include "support/MainScreenFakes.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>

using namespace tolvo;
using namespace tolvo::test;

namespace {

QJsonArray rectJson(const QRect &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QRect rectFrom(const QJsonValue &value)
{
    const QJsonArray a = value.toArray();
    return QRect(a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt(), a.at(3).toInt());
}

QRect globalRect(const QWidget *widget)
{
    return widget ? QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()) : QRect();
}

bool waitFor(const std::function<bool()> &condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        QTest::qWait(10);
    return condition();
}

// Run in a process of its own whose offscreen screen has the size under test: the real main
// window goes from onboarding to the main screen (over fakes), and the places that matter are
// written to standard output.
int measureMainWindow()
{
    MainScreenFakes fakes;
    FakeClock clock(QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
    GoogleCalendarClient google = Dependencies::current<GoogleCalendarClient>();
    google.fetchEventsForDate = [](const QDateTime &, const QDateTime &, const QString &) {
        return readyTask<Result<QList<GoogleCalendarEvent>>>(QList<GoogleCalendarEvent>());
    };
    UserDefaultsClient defaults = UserDefaultsClient::testValue();
    defaults.boolValue = [](const QString &) { return false; };
    DependencyScope scope;
    scope.set(std::make_shared<TimerScheduler>(clock.clock()))
        .set(CalendarContext {QTimeZone::utc(), QLocale::c(), Qt::Monday, clock.clock()})
        .set(EventsTimerManager::liveValue())
        .set(SyncBus::liveValue())
        .set(google)
        .set(defaults)
        .set(NotificationHandler {[](const QString &, const QString &, const QString &) {}});

    AppViewModel app;
    MainWindow::Commands commands;
    commands.makeMainScreen = [] { return new MainView; };
    MainWindow window(&app, commands);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 3;
    app.setDestination(Destination::main);
    auto *main = qobject_cast<MainView *>(window.content()->mainScreen());
    if (!main || !waitFor([main] { return main->viewModel()->appState() == AppState::configured; }))
        return 4;
    auto *list = qobject_cast<MeetingsListView *>(main->meetingsList());
    if (!list)
        return 5;
    CalendarHeaderView *header = list->calendarScreen()->header();
    // Places are read once every control is shown and the layouts' posted requests are done.
    if (!waitFor([&] {
            return list->addButton()->isVisible() && header->todayButton()->isVisible()
                && main->logoutButton()->isVisible();
        }))
        return 6;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

    QJsonObject out;
    out["screen"] = rectJson(window.screen()->availableGeometry());
    out["window"] = rectJson(window.frameGeometry());
    out["minimum"] = rectJson(QRect(QPoint(0, 0), window.minimumSize()));
    out["menuBar"] = window.menuWidget() ? window.menuWidget()->sizeHint().height() : 0;
    out["add"] = rectJson(globalRect(list->addButton()));
    out["agenda"] = rectJson(globalRect(header->viewTypeButton(CalendarViewType::agenda)));
    out["today"] = rectJson(globalRect(header->todayButton()));
    out["logout"] = rectJson(globalRect(main->logoutButton()));

    // The settings window opens over the main window's middle.
    SettingsView *settings = SettingsView::openWindow(&window);
    if (!QTest::qWaitForWindowExposed(settings))
        return 7;
    out["settings"] = rectJson(settings->frameGeometry());
    settings->close();

    QTextStream(stdout) << QJsonDocument(out).toJson(QJsonDocument::Compact) << '\n';
    return 0;
}

const ChildRole measure("measureMainWindow", measureMainWindow);

} // namespace

class ScreenFitTest : public QObject
{
    Q_OBJECT
private slots:
    void theMainWindowFitsItsScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1366x768") << QSize(1366, 768);
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }
    void theMainWindowFitsItsScreen()
    {
        QFETCH(QSize, screen);
        QTemporaryDir folder;
        QFile config(folder.filePath(QStringLiteral("screen.json")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        const QJsonObject screenJson {{"name", "test"}, {"x", 0}, {"y", 0},
            {"width", screen.width()}, {"height", screen.height()}, {"logicalDpi", 96},
            {"logicalBaseDpi", 96}, {"dpr", 1}};
        config.write(QJsonDocument(QJsonObject {{"screens", QJsonArray {screenJson}}}).toJson());
        config.close();

        QProcess child;
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
            QStringLiteral("offscreen:configfile=") + config.fileName());
        startChild(child, "measureMainWindow", environment);
        QVERIFY(child.waitForFinished(60000));
        const QByteArray output = child.readAllStandardOutput();
        QVERIFY2(child.exitCode() == 0,
            qPrintable(QStringLiteral("exit %1: %2")
                           .arg(child.exitCode())
                           .arg(QString::fromUtf8(child.readAllStandardError()))));
        const QJsonObject measured
            = QJsonDocument::fromJson(output.trimmed().split('\n').last()).object();
        QVERIFY2(!measured.isEmpty(), output.constData());

        const QRect area = rectFrom(measured["screen"]);
        QCOMPARE(area, QRect(QPoint(0, 0), screen));
        const QRect window = rectFrom(measured["window"]);
        const auto describe = [&](const char *name) {
            const QRect r = rectFrom(measured[name]);
            return QStringLiteral("%1 at %2,%3 %4x%5 in window %6,%7 %8x%9")
                .arg(QLatin1String(name))
                .arg(r.x())
                .arg(r.y())
                .arg(r.width())
                .arg(r.height())
                .arg(window.x())
                .arg(window.y())
                .arg(window.width())
                .arg(window.height());
        };
        QVERIFY2(area.contains(window), qPrintable(describe("window")));
        // Centred on the screen's available area.
        QVERIFY(qAbs(window.center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(window.center().y() - area.center().y()) <= 1);
        // At least 1200 by 700 of content where the screen has the room, else the room.
        const QSize minimum = rectFrom(measured["minimum"]).size();
        const int menuBar = measured["menuBar"].toInt();
        // Where 1200 does not fit with the window's frame, the window takes the whole width.
        QVERIFY(minimum.width() == ContentView::mainMinimumSize.width()
            || (minimum.width() < ContentView::mainMinimumSize.width()
                && window.width() == area.width()));
        QVERIFY(minimum.height() <= area.height());
        if (area.height() >= ContentView::mainMinimumSize.height() + menuBar + 40)
            QCOMPARE(minimum.height(), ContentView::mainMinimumSize.height() + menuBar);
        for (const char *name : {"add", "agenda", "today", "logout"}) {
            const QRect control = rectFrom(measured[name]);
            QVERIFY2(!control.isEmpty() && area.contains(control) && window.contains(control),
                qPrintable(describe(name)));
        }
        const QRect settings = rectFrom(measured["settings"]);
        QVERIFY2(area.contains(settings), qPrintable(describe("settings")));
        QVERIFY(qAbs(settings.center().x() - window.center().x()) <= 1);
        QVERIFY(qAbs(settings.center().y() - window.center().y()) <= 1);
    }

    void aWindowIsCentredOnAnotherInsideTheScreen_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("over");
        QTest::addColumn<QPoint>("expected");
        const QRect middle(200, 100, 800, 600);
        QTest::newRow("centred") << QSize(400, 200) << middle << QPoint(400, 300);
        QTest::newRow("kept from the right edge")
            << QSize(400, 200) << QRect(1200, 100, 160, 300) << QPoint(966, 150);
        QTest::newRow("kept from the top-left")
            << QSize(400, 200) << QRect(-200, -100, 200, 100) << QPoint(0, 0);
        QTest::newRow("larger than the screen: top-left inside")
            << QSize(1500, 900) << middle << QPoint(0, 0);
    }
    void aWindowIsCentredOnAnotherInsideTheScreen()
    {
        QFETCH(QSize, frame);
        QFETCH(QRect, over);
        QFETCH(QPoint, expected);
        QCOMPARE(centredTopLeft(frame, over, QRect(0, 0, 1366, 768)), expected);
    }
};

TOLVO_WIDGET_TEST_MAIN(ScreenFitTest)
#include "ScreenFitTest.moc"
