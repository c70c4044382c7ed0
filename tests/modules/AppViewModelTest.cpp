#include "modules/App/AppViewModel.h"
#include "support/ShellFakes.h"
#include "support/TestMain.h"

using namespace tolvo;
using namespace tolvo::test;

Q_DECLARE_METATYPE(tolvo::Destination)
Q_DECLARE_METATYPE(tolvo::OnboardingStep)

class AppViewModelTest : public QObject
{
    Q_OBJECT
private slots:
    void stepsFromRawValues()
    {
        QCOMPARE(onboardingStep(0), OnboardingStep::onboarding);
        QCOMPARE(onboardingStep(3), OnboardingStep::appleCalendarSelection);
        QVERIFY(!onboardingStep(-1));
        QVERIFY(!onboardingStep(4));
    }

    void startsOnTheWelcomePage()
    {
        ShellFakes fakes;
        AppViewModel model;
        QCOMPARE(model.destination(), Destination::auth);
        QCOMPARE(model.currentStep(), OnboardingStep::onboarding);
        QVERIFY(!model.canCheckForUpdates());
        QVERIFY(!model.alertType()->isSet());
        QVERIFY(model.calendars().isEmpty());
    }

    void launchCheck_data()
    {
        QTest::addColumn<int>("stored"); // 1 session, 0 none, -1 the check fails
        QTest::addColumn<Destination>("expected");
        QTest::newRow("stored session") << 1 << Destination::main;
        QTest::newRow("no session") << 0 << Destination::auth;
        QTest::newRow("failed check stays") << -1 << Destination::auth;
    }
    void launchCheck()
    {
        QFETCH(int, stored);
        QFETCH(Destination, expected);
        ShellFakes fakes;
        if (stored >= 0)
            fakes.storedSession = stored == 1;
        AppViewModel model;
        QCoro::waitFor(model.checkAuthorization());
        QCOMPARE(model.destination(), expected);
        QCOMPARE(model.currentStep(), OnboardingStep::onboarding);
    }

    void signIn_data()
    {
        QTest::addColumn<int>("answer"); // 1 signed in, 0 refused, -1 failed
        QTest::addColumn<OnboardingStep>("expected");
        QTest::newRow("success") << 1 << OnboardingStep::appleCalendarSupport;
        QTest::newRow("refused") << 0 << OnboardingStep::auth;
        QTest::newRow("failure") << -1 << OnboardingStep::auth;
    }
    void signIn()
    {
        QFETCH(int, answer);
        QFETCH(OnboardingStep, expected);
        ShellFakes fakes;
        fakes.signInAnswer = answer >= 0 ? Result<bool>(answer == 1)
                                         : failure(ErrorDomain::oauth, 400, QStringLiteral("no"));
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::auth);
        QCoro::waitFor(model.signIn());
        QCOMPARE(model.currentStep(), expected);
        // Tracked even when the sign-in goes nowhere; sign-in never changes the destination.
        QCOMPARE(fakes.trackedEvents(), QStringList {QStringLiteral("signIn")});
        QCOMPARE(model.destination(), Destination::auth);
        QVERIFY(!model.isSigningIn());
    }

    void secondSignInWhilePendingStartsNothing()
    {
        ShellFakes fakes;
        fakes.signInGate = std::make_shared<Gate>();
        AppViewModel model;
        QSignalSpy pending(&model, &AppViewModel::signingInChanged);
        auto first = model.signIn();
        QVERIFY(model.isSigningIn());
        QCoro::waitFor(model.signIn());
        QCOMPARE(fakes.signInCalls, 1);
        QCOMPARE(fakes.trackedEvents().size(), 1);
        fakes.signInGate->open(true);
        QCoro::waitFor(std::move(first));
        QVERIFY(!model.isSigningIn());
        QCOMPARE(pending.size(), 2);
        QCOMPARE(model.currentStep(), OnboardingStep::appleCalendarSupport);
    }

    void aCancelledSignInEndsAtOnceAndDoesNotEndTheNext()
    {
        ShellFakes fakes;
        fakes.signInGate = std::make_shared<Gate>();
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::auth);
        auto first = model.signIn();
        fakes.signInPrompts->send(SignInPrompt {QUrl(QStringLiteral("https://a.invalid/")), false});
        QTRY_VERIFY(model.signInPrompt().has_value());

        model.cancelSignIn();
        QVERIFY(!model.isSigningIn());
        QVERIFY(!model.signInPrompt());
        QCOMPARE(fakes.signInCancels, 1);

        // A new sign-in starts at once; the cancelled one's late answer leaves it running.
        fakes.signInGate = std::make_shared<Gate>();
        auto second = model.signIn();
        QCOMPARE(fakes.signInCalls, 2);
        QCoro::waitFor(std::move(first));
        QVERIFY(model.isSigningIn());
        fakes.signInGate->open(true);
        QCoro::waitFor(std::move(second));
        QVERIFY(!model.isSigningIn());
        QCOMPARE(model.currentStep(), OnboardingStep::appleCalendarSupport);
    }

    void accessGrantedOffersLocalAndCalDavCalendars()
    {
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(QStringLiteral("a"), QStringLiteral("Home")),
            localCalendar(
                QStringLiteral("b"), QStringLiteral("Holidays"), LocalCalendarSource::other),
            localCalendar(
                QStringLiteral("c"), QStringLiteral("Work"), LocalCalendarSource::calDAV)};
        AppViewModel model;
        model.requestAppleCalendarAccess();
        QCOMPARE(fakes.trackedEvents(), QStringList {QStringLiteral("apple_calendar_access")});
        QTRY_COMPARE(model.currentStep(), OnboardingStep::appleCalendarSelection);
        QCOMPARE(model.calendars().size(), 2);
        QCOMPARE(model.calendars().at(0).identifier, QStringLiteral("a"));
        QCOMPARE(model.calendars().at(1).identifier, QStringLiteral("c"));
        QCOMPARE(model.destination(), Destination::auth);
    }

    void accessAnswers_data()
    {
        QTest::addColumn<int>("answer"); // 1 granted (nothing to offer), 0 refused, -1 failed
        QTest::addColumn<Destination>("expected");
        QTest::newRow("refused goes on") << 0 << Destination::main;
        QTest::newRow("nothing to offer goes on") << 1 << Destination::main;
        QTest::newRow("failure stays") << -1 << Destination::auth;
    }
    void accessAnswers()
    {
        QFETCH(int, answer);
        QFETCH(Destination, expected);
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(
            QStringLiteral("s"), QStringLiteral("Subscribed"), LocalCalendarSource::other)};
        fakes.accessAnswer = answer >= 0
            ? Result<bool>(answer == 1)
            : failure(ErrorDomain::localCalendar, 1, QStringLiteral("x"));
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::appleCalendarSupport);
        model.requestAppleCalendarAccess();
        QCOMPARE(fakes.accessRequests, 1);
        QTRY_COMPARE(model.destination(), expected);
        QCOMPARE(model.currentStep(), OnboardingStep::appleCalendarSupport);
        QVERIFY(fakes.storedCalendars.isEmpty());
    }

    void continueWithoutAPickRaisesTheAlert()
    {
        ShellFakes fakes;
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        model.confirmCalendarSelection();
        QVERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::calendarSelection);
        QCOMPARE(model.destination(), Destination::auth);
        QVERIFY(fakes.storedCalendars.isEmpty());
    }

    void continueStoresThePickThenGoesToMain()
    {
        ShellFakes fakes;
        AppViewModel model;
        const LocalCalendar home = localCalendar(QStringLiteral("a"), QStringLiteral("Home"));
        model.setSelectedCalendar(home);
        QSignalSpy destination(&model, &AppViewModel::destinationChanged);
        model.confirmCalendarSelection();
        QCOMPARE(fakes.storedCalendars, QList<LocalCalendar> {home});
        QCOMPARE(destination.size(), 1);
        QCOMPARE(model.destination(), Destination::main);
    }

    void signOutReturnsToTheWelcomePageLater()
    {
        ShellFakes fakes;
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        const LocalCalendar home = localCalendar(QStringLiteral("a"), QStringLiteral("Home"));
        model.setCalendars({home});
        model.setSelectedCalendar(home);
        model.setDestination(Destination::main);

        QList<int> order; // 0 step, 1 destination
        connect(&model, &AppViewModel::currentStepChanged, this, [&] { order << 0; });
        connect(&model, &AppViewModel::destinationChanged, this, [&] { order << 1; });
        fakes.authorizationChanged->send(false);
        // Delivered through the event loop, never inside the publisher's call.
        QCOMPARE(model.destination(), Destination::main);
        QTRY_COMPARE(model.destination(), Destination::auth);
        QCOMPARE(order, (QList<int> {0, 1}));
        QCOMPARE(model.currentStep(), OnboardingStep::onboarding);
        QCOMPARE(model.calendars().size(), 1);
        QVERIFY(model.selectedCalendar());

        fakes.authorizationChanged->send(true);
        QTRY_COMPARE(model.destination(), Destination::main);
    }

    void updateFlagFollowsTheUpdater()
    {
        ShellFakes fakes;
        fakes.canCheck->send(true);
        AppViewModel model;
        QVERIFY(model.canCheckForUpdates()); // the current flag arrives at once
        fakes.canCheck->send(false);
        QVERIFY(!model.canCheckForUpdates());
        fakes.canCheck->send(true);
        QVERIFY(model.canCheckForUpdates());
    }

    void aTaskOutlivingTheModelTouchesNothing()
    {
        ShellFakes fakes;
        fakes.signInGate = std::make_shared<Gate>();
        auto model = std::make_unique<AppViewModel>();
        auto pending = model->signIn();
        model.reset();
        fakes.signInGate->open(true);
        QCoro::waitFor(std::move(pending));
        // The answer found no model: nothing more was asked, recorded or shown.
        QCOMPARE(fakes.signInCalls, 1);
        QCOMPARE(fakes.accessRequests, 0);
        QCOMPARE(fakes.trackedEvents(), QStringList {QStringLiteral("signIn")});
    }
};

TOLVO_TEST_MAIN(AppViewModelTest)
#include "AppViewModelTest.moc"
