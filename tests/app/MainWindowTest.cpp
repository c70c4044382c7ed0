#include "app/MainWindow.h"
#include "app/ContentView.h"
#include "app/FeedbackCommand.h"
#include "app/StartUp.h"
#include "app/UpdateResultPresenter.h"
#include "modules/App/AppViewModel.h"
#include "modules/Feedback/UserFeedbackView.h"
#include "modules/Onboarding/OnboardingView.h"
#include "platform/CrashReporter.h"
#include "support/ShellFakes.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

using namespace tolvo;
using namespace tolvo::test;

namespace {

// A main window whose main screen is a plain widget that counts itself.
struct Window
{
    explicit Window(std::function<void()> openFeedback = {})
        : window(&model, commands(std::move(openFeedback)))
    {
    }

    MainWindow::Commands commands(std::function<void()> openFeedback)
    {
        MainWindow::Commands result;
        result.makeMainScreen = [this] {
            ++mainScreens;
            return new QLabel(QStringLiteral("main"));
        };
        result.openFeedback = std::move(openFeedback);
        result.openSettings = [this] { ++settingsOpened; };
        result.showAbout = [this](QWidget *) { ++aboutShown; };
        return result;
    }

    QStringList menuTexts(const QString &title) const
    {
        for (QAction *action : window.menuBar()->actions()) {
            if (action->text().remove(QLatin1Char('&')) != title || !action->menu())
                continue;
            QStringList texts;
            for (QAction *item : action->menu()->actions())
                texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
            return texts;
        }
        return {};
    }

    AppViewModel model;
    int mainScreens = 0;
    int settingsOpened = 0;
    int aboutShown = 0;
    MainWindow window;
};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void menusWhereALinuxUserLooks()
    {
        ShellFakes fakes;
        Window w;
        QCOMPARE(w.menuTexts(QStringLiteral("File")),
            (QStringList {
                QStringLiteral("Settings…"), QStringLiteral("-"), QStringLiteral("Quit")}));
        QCOMPARE(w.menuTexts(QStringLiteral("Help")),
            (QStringList {QStringLiteral("About Tolvo"), QStringLiteral("Check for Updates…"),
                QStringLiteral("-"), QStringLiteral("Send Feedback")}));
        QCOMPARE(w.window.settingsAction()->shortcut(), settingsShortcut());
        QVERIFY(!settingsShortcut().isEmpty());
        w.window.settingsAction()->trigger();
        w.window.settingsAction()->trigger();
        QCOMPARE(w.settingsOpened, 2);
        w.window.aboutAction()->trigger();
        QCOMPARE(w.aboutShown, 1);
    }

    void checkForUpdatesFollowsTheUpdater()
    {
        ShellFakes fakes;
        Window w;
        QAction *check = w.window.checkForUpdatesAction();
        QVERIFY(!check->isEnabled());
        fakes.canCheck->send(true);
        QVERIFY(check->isEnabled());
        check->trigger();
        QCOMPARE(fakes.updateChecks, 1);
        fakes.canCheck->send(false);
        QVERIFY(!check->isEnabled());
    }

    void sendFeedbackOpensANewWindowEachTime()
    {
        ShellFakes fakes;
        QList<QPointer<QWidget>> opened;
        Window w([&opened] {
            auto *window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
            opened.append(window);
        });
        w.window.sendFeedbackAction()->trigger();
        w.window.sendFeedbackAction()->trigger();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened.at(0) && opened.at(1) && opened.at(0) != opened.at(1));
        for (const auto &window : opened)
            window->close();
        QTRY_VERIFY(!opened.at(0) && !opened.at(1));
    }

    void theFeedbackCommandOpensIndependentForms()
    {
        ShellFakes fakes;
        const auto feedbackForms = [] {
            QList<QPointer<QWidget>> forms;
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (window->isVisible() && window->findChild<UserFeedbackView *>())
                    forms.append(window);
            }
            return forms;
        };
        openFeedbackWindow();
        openFeedbackWindow();
        const auto forms = feedbackForms();
        QCOMPARE(forms.size(), 2);
        forms.first()->close();
        QTRY_COMPARE(feedbackForms().size(), 1);
        forms.last()->close();
        QTRY_VERIFY(feedbackForms().isEmpty());
    }

    void showingTracksLaunchAndChecksTheStoredSession()
    {
        ShellFakes fakes;
        fakes.storedSession = true;
        Window w;
        w.window.show();
        QCOMPARE(fakes.trackedEvents(), QStringList {QStringLiteral("app_launch")});
        QTRY_COMPARE(w.model.destination(), Destination::main);
        QCOMPARE(w.mainScreens, 1);
    }

    void theContentSwapsAndSizesWithTheDestination()
    {
        ShellFakes fakes;
        Window w;
        w.window.show();
        ContentView *content = w.window.content();
        QCOMPARE(content->currentScreen(), content->onboarding());
        QCOMPARE(content->size(), ContentView::onboardingSize);
        QCOMPARE(w.window.minimumSize(), w.window.maximumSize());

        w.model.setDestination(Destination::main);
        QPointer<QWidget> main = content->mainScreen();
        QVERIFY(main);
        QCOMPARE(content->currentScreen(), main.data());
        // 1200 by 700 where the screen has the room (each screen size is measured elsewhere).
        const QSize minimum = content->mainMinimum();
        QCOMPARE(minimum, ContentView::mainMinimumSize.boundedTo(minimum));
        QCOMPARE(content->minimumSize(), minimum);
        QTRY_VERIFY(content->width() >= minimum.width() && content->height() >= minimum.height());
        QVERIFY(w.window.maximumWidth() > 5000);
        w.window.resize(1600, 1000);
        QTRY_VERIFY(content->width() > minimum.width());

        // Leaving main destroys the main screen; coming back builds a new one.
        w.model.setDestination(Destination::auth);
        QCOMPARE(content->currentScreen(), content->onboarding());
        QTRY_VERIFY(!main);
        QTRY_COMPARE(content->size(), ContentView::onboardingSize);
        w.model.setDestination(Destination::main);
        QCOMPARE(w.mainScreens, 2);
    }

    void updateOutcomesAreShown_data()
    {
        QTest::addColumn<int>("kind"); // 0 newer, 1 up to date, 2 failed
        QTest::addColumn<QString>("text");
        QTest::newRow("newer") << 0 << QStringLiteral("A new version of Tolvo is available!");
        QTest::newRow("current") << 1 << QStringLiteral("You're up to date!");
        QTest::newRow("failed") << 2 << QStringLiteral("Tolvo could not check for updates.");
    }
    void updateOutcomesAreShown()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        ShellFakes fakes;
        QWidget host;
        host.show();
        QList<QUrl> opened;
        UpdateResultPresenter presenter(fakes.updateResults->publisher(), &host,
            [&opened](const QUrl &url) { opened.append(url); });
        UpdateCheckResult result;
        result.currentVersion = QStringLiteral("0.1.0");
        if (kind == 0)
            result.update = UpdateInfo {QStringLiteral("0.2.0"),
                QUrl(QStringLiteral("https://example.org/tolvo")), QStringLiteral("Faster.")};
        if (kind == 2)
            result.error = Error::make(ErrorDomain::network, 1, QStringLiteral("offline"));
        fakes.updateResults->send(result);
        QTRY_VERIFY(presenter.messageBox() && presenter.messageBox()->isVisible());
        QMessageBox *box = presenter.messageBox();
        QCOMPARE(box->text(), text);
        if (kind == 0) {
            QVERIFY(box->informativeText().contains(QStringLiteral("Faster.")));
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == QStringLiteral("Download"))
                    button->click();
            }
            QCOMPARE(opened, QList<QUrl> {QUrl(QStringLiteral("https://example.org/tolvo"))});
        }
    }

    void reportingStartsCrashReporterFirst()
    {
        ShellFakes fakes;
        AnalyticsManager analytics = AnalyticsManager::recording(fakes.analytics);
        bool reporterFirst = false;
        const auto configure = analytics.configure;
        analytics.configure = [&](const QString &token, const QString &version, const QString &os) {
            reporterFirst = CrashReporter::shared() != nullptr;
            configure(token, version, os);
        };
        startReporting(analytics, QString(), QStringLiteral("Debian GNU/Linux 12"));
        QVERIFY(reporterFirst);
        const auto configuration = fakes.analytics->configuration();
        QVERIFY(configuration);
        QCOMPARE(configuration->appVersion, QString());
        QCOMPARE(configuration->osVersion, QStringLiteral("Debian GNU/Linux 12"));
    }
};

TOLVO_WIDGET_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
