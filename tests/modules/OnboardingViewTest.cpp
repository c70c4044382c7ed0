#include "modules/Onboarding/OnboardingView.h"
#include "components/AlertPresenter.h"
#include "components/Appearance.h"
#include "components/ElidedLabel.h"
#include "components/StyledButton.h"
#include "components/ThemedWidgets.h"
#include "components/WindowReader.h"
#include "modules/App/AppViewModel.h"
#include "modules/Onboarding/AuthView.h"
#include "modules/Onboarding/OnboardingAppleCalendarSelectionView.h"
#include "modules/Onboarding/OnboardingAppleCalendarSupportView.h"
#include "modules/Onboarding/OnboardingCalendarRow.h"
#include "support/ShellFakes.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

using namespace tolvo;
using namespace tolvo::test;

namespace {

// The onboarding content in a window of the size the application gives it.
struct Screen
{
    explicit Screen(AppViewModel *model)
        : view(model)
    {
        view.setTransitionDuration(0);
        view.setFixedSize(650, 400);
        view.show();
    }
    OnboardingView view;
};

// The sign-in page, with sign-ins that wait until the test answers them.
struct SignInPage
{
    SignInPage() { fakes.signInGate = std::make_shared<Gate>(); }
    ShellFakes fakes;
    AppViewModel model;
    Screen screen {stepped(&model, OnboardingStep::auth)};
    AuthView *page = screen.view.authPage();

    static AppViewModel *stepped(AppViewModel *model, OnboardingStep step)
    {
        model->setCurrentStep(step);
        return model;
    }
};

void click(QAbstractButton *button)
{
    QVERIFY(button);
    QVERIFY(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

// Every child lies inside its page: nothing is cut off at the window's edge.
void verifyFits(QWidget *page)
{
    QCoreApplication::processEvents(); // pending layouts
    for (QWidget *child : page->findChildren<QWidget *>()) {
        if (!child->isVisible())
            continue;
        const QRect inPage(child->mapTo(page, QPoint(0, 0)), child->size());
        QVERIFY2(page->rect().contains(inPage),
            qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                           .arg(child->metaObject()->className())
                           .arg(inPage.x())
                           .arg(inPage.y())
                           .arg(inPage.width())
                           .arg(inPage.height())));
    }
}

} // namespace

class OnboardingViewTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        test::deleteTopLevelWindows();
        Appearance::instance().setOverride(std::nullopt);
    }

    void walksThroughToTheCalendarChoice()
    {
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(QStringLiteral("cal"), QStringLiteral("Calendar"))};
        AppViewModel model;
        Screen screen(&model);
        QCOMPARE(screen.view.currentPage(), screen.view.welcomePage());
        verifyFits(screen.view.currentPage());

        click(screen.view.getStartedButton());
        QCOMPARE(model.currentStep(), OnboardingStep::auth);
        QCOMPARE(screen.view.currentPage(), screen.view.authPage());
        verifyFits(screen.view.currentPage());

        click(screen.view.authPage()->signInButton());
        QCOMPARE(fakes.signInCalls, 1);
        QTRY_COMPARE(screen.view.currentPage(), screen.view.supportPage());
        verifyFits(screen.view.currentPage());

        click(screen.view.supportPage()->enableButton());
        QTRY_COMPARE(screen.view.currentPage(), screen.view.selectionPage());
        verifyFits(screen.view.currentPage());
        QCOMPARE(screen.view.selectionPage()->rows().size(), 1);
        QCOMPARE(fakes.trackedEvents(),
            (QStringList {QStringLiteral("signIn"), QStringLiteral("apple_calendar_access")}));
    }

    void getStartedSlidesInFromTheTrailingEdge()
    {
        ShellFakes fakes;
        AppViewModel model;
        Screen screen(&model);
        screen.view.setTransitionDuration(600);
        click(screen.view.getStartedButton());
        QWidget *auth = screen.view.authPage();
        QCOMPARE(screen.view.currentPage(), auth);
        QTRY_VERIFY(auth->x() > 0 && auth->x() < 650);
        QVERIFY(auth->graphicsEffect());
        QTRY_COMPARE(auth->pos(), QPoint(0, 0));
        QTRY_VERIFY(!auth->graphicsEffect());
    }

    void signInButtonWaitsForThePendingSignIn()
    {
        ShellFakes fakes;
        fakes.signInGate = std::make_shared<Gate>();
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::auth);
        Screen screen(&model);
        StyledButton *button = screen.view.authPage()->signInButton();
        click(button);
        QVERIFY(!button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(fakes.signInCalls, 1);
        // A refused sign-in leaves the page as it was, the button usable again.
        fakes.signInGate->open(false);
        QTRY_VERIFY(button->isEnabled());
        QCOMPARE(screen.view.currentPage(), screen.view.authPage());
    }

    void aPendingSignInSaysWhatItWaitsForAndCanBeCancelled()
    {
        SignInPage f;
        AuthView *page = f.page;
        QVERIFY(!page->cancelButton()->isVisible());
        QVERIFY(!page->statusLabel()->isVisible());

        click(page->signInButton());
        QVERIFY(page->statusLabel()->isVisible());
        QCOMPARE(page->statusLabel()->text(), QStringLiteral("Waiting for your browser..."));
        QVERIFY(!page->addressField()->isVisible()); // not known yet
        verifyFits(page);
        // The waiting text and Cancel sit centred under the button, as the rest of the page.
        const auto centreX
            = [page](QWidget *widget) { return widget->mapTo(page, widget->rect().center()).x(); };
        QVERIFY(qAbs(centreX(page->cancelButton()) - centreX(page->signInButton())) <= 1);
        QVERIFY(page->statusLabel()->alignment() & Qt::AlignHCenter);
        QVERIFY(page->cancelButton()->mapTo(page, QPoint(0, 0)).y()
            > page->statusLabel()->mapTo(page, QPoint(0, 0)).y());

        click(page->cancelButton());
        // At once, not when the browser flow winds down.
        QVERIFY(page->signInButton()->isEnabled());
        QVERIFY(!page->cancelButton()->isVisible());
        QVERIFY(!page->statusLabel()->isVisible());
        QCOMPARE(f.fakes.signInCancels, 1);
        QCOMPARE(f.screen.view.currentPage(), page);
    }

    // A browser that starts can still fail to come up: the address is offered either way, in
    // smaller type while a browser was started.
    void theAddressCanBeCopiedWhileWaiting_data()
    {
        QTest::addColumn<bool>("browserOpened");
        QTest::newRow("browser started") << true;
        QTest::newRow("no browser") << false;
    }
    void theAddressCanBeCopiedWhileWaiting()
    {
        QFETCH(bool, browserOpened);
        SignInPage f;
        AuthView *page = f.page;
        click(page->signInButton());
        const QUrl address(QStringLiteral("https://accounts.invalid/auth?state=s&client_id=c"));
        f.fakes.signInPrompts->send(SignInPrompt {address, browserOpened});
        QTRY_VERIFY(page->addressField()->isVisible());
        QVERIFY(page->copyButton()->isVisible());
        QCOMPARE(page->addressField()->text(), address.toString());
        QCOMPARE(page->addressHint()->isVisible(), browserOpened);
        QCOMPARE(page->statusLabel()->text() == QStringLiteral("Waiting for your browser..."),
            browserOpened);
        QCOMPARE(page->addressField()->font().pixelSize() < 13, browserOpened);
        QVERIFY(page->cancelButton()->mapTo(page, QPoint(0, 0)).y()
            > page->addressField()->mapTo(page, QPoint(0, 0)).y());
        verifyFits(page);
        click(page->copyButton());
        QCOMPARE(QGuiApplication::clipboard()->text(), address.toString());

        f.fakes.signInGate->open(false);
        QTRY_VERIFY(!page->addressField()->isVisible());
        QVERIFY(!page->addressHint()->isVisible());
        QVERIFY(page->signInButton()->isEnabled());
    }

    void textsFollowTheAppearance_data()
    {
        QTest::addColumn<ColorScheme>("scheme");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("rowText");
        QTest::newRow("light") << ColorScheme::light << QColor(0x30, 0x30, 0x30)
                               << QColor(0xEE, 0xEF, 0xF2) << QColor(0x30, 0x30, 0x30);
        QTest::newRow("dark") << ColorScheme::dark << QColor(0xA3, 0xB0, 0xBB)
                              << QColor(0x30, 0x3A, 0x48) << QColor(Qt::white);
    }
    void textsFollowTheAppearance()
    {
        QFETCH(ColorScheme, scheme);
        QFETCH(QColor, text);
        QFETCH(QColor, background);
        QFETCH(QColor, rowText);
        ShellFakes fakes;
        AppViewModel model;
        model.setCalendars({localCalendar(QStringLiteral("a"), QStringLiteral("Home"))});
        Screen screen(&model);
        Appearance::instance().setOverride(scheme);
        QCOMPARE(screen.view.selectionPage()->rows().first()->titleLabel()->palette().color(
                     QPalette::WindowText),
            rowText);
        AuthView *auth = screen.view.authPage();
        QCOMPARE(auth->titleLabel()->currentColor(), text);
        QCOMPARE(auth->subtitleLabel()->currentColor(), text);
        QCOMPARE(auth->titleLabel()->font().pixelSize(), 32);
        QCOMPARE(screen.view.currentBackground(), background);
        const QImage grabbed = screen.view.grab().toImage();
        QCOMPARE(grabbed.pixelColor(2, 2), background);
    }

    // The title stays on one line, so the list keeps room for three calendars.
    void selectionPageShowsThreeRows()
    {
        ShellFakes fakes;
        AppViewModel model;
        QList<LocalCalendar> calendars;
        for (const char *name : {"Home", "Work", "Family", "Birthdays", "Sports"})
            calendars << localCalendar(QString::fromLatin1(name), QString::fromLatin1(name));
        model.setCalendars(calendars);
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        Screen screen(&model);
        auto *page = screen.view.selectionPage();
        verifyFits(page);
        const auto rows = page->rows();
        QWidget *viewport = rows.first()->parentWidget()->parentWidget();
        const int shown = viewport->height() / rows.first()->height();
        QVERIFY2(shown >= 3,
            qPrintable(QStringLiteral("%1 px for rows of %2 px")
                           .arg(viewport->height())
                           .arg(rows.first()->height())));
    }

    // Return presses each page's default button.
    void returnPressesThePagesButton()
    {
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(QStringLiteral("cal"), QStringLiteral("Calendar"))};
        AppViewModel model;
        Screen screen(&model);
        QVERIFY(QTest::qWaitForWindowActive(&screen.view));
        QTest::keyClick(&screen.view, Qt::Key_Return);
        QCOMPARE(model.currentStep(), OnboardingStep::auth);
        QTest::keyClick(&screen.view, Qt::Key_Enter);
        QCOMPARE(fakes.signInCalls, 1);
        QTRY_COMPARE(screen.view.currentPage(), screen.view.supportPage());
        QTest::keyClick(&screen.view, Qt::Key_Return);
        QTRY_COMPARE(screen.view.currentPage(), screen.view.selectionPage());
        QTest::keyClick(&screen.view, Qt::Key_Return);
        QVERIFY(model.alertType()->isSet()); // nothing chosen yet
        model.alertType()->clear();
        QVERIFY(QTest::qWaitForWindowActive(&screen.view));
        model.setSelectedCalendar(fakes.localCalendars.first());
        QTest::keyClick(&screen.view, Qt::Key_Return);
        QTRY_COMPARE(model.destination(), Destination::main);
    }

    // There is no Apple Calendar on Linux: the pages speak of a local calendar.
    void textsNameTheLocalCalendar()
    {
        ShellFakes fakes;
        AppViewModel model;
        Screen screen(&model);
        const QList<QLabel *> labels = screen.view.findChildren<QLabel *>();
        QVERIFY(labels.size() > 6);
        for (QLabel *label : labels)
            QVERIFY2(!label->text().contains(QStringLiteral("Apple")), qPrintable(label->text()));
    }

    void maybeLaterGoesToMainWithoutACalendar()
    {
        ShellFakes fakes;
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::appleCalendarSupport);
        Screen screen(&model);
        click(screen.view.supportPage()->laterButton());
        QCOMPARE(model.destination(), Destination::main);
        QCOMPARE(fakes.accessRequests, 0);
        QVERIFY(fakes.storedCalendars.isEmpty());
    }

    void enableSyncTwiceTracksTwice()
    {
        ShellFakes fakes;
        fakes.accessGate = std::make_shared<Gate>();
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::appleCalendarSupport);
        Screen screen(&model);
        click(screen.view.supportPage()->enableButton());
        click(screen.view.supportPage()->enableButton());
        QCOMPARE(fakes.trackedEvents(),
            (QStringList {
                QStringLiteral("apple_calendar_access"), QStringLiteral("apple_calendar_access")}));
        fakes.accessGate->open(false);
        QTRY_COMPARE(model.destination(), Destination::main);
    }

    void rowsMoveTheCheckmarkAndStoreNothing()
    {
        ShellFakes fakes;
        AppViewModel model;
        model.setCalendars({localCalendar(QStringLiteral("a"), QStringLiteral("Home")),
            localCalendar(QStringLiteral("b"), QString(200, QLatin1Char('W')),
                LocalCalendarSource::calDAV, QString())});
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        Screen screen(&model);
        auto *page = screen.view.selectionPage();
        const auto rows = page->rows();
        QCOMPARE(rows.size(), 2);
        QVERIFY(!rows.at(0)->isChecked() && !rows.at(1)->isChecked());
        // A very long title stays inside the page and is named in full by its tooltip.
        verifyFits(page);
        QCOMPARE(rows.at(1)->titleLabel()->toolTip(), QString(200, QLatin1Char('W')));
        QVERIFY(rows.at(1)->titleLabel()->text().endsWith(QChar(0x2026)));

        QTest::mouseClick(rows.at(1)->titleLabel(), Qt::LeftButton);
        QVERIFY(rows.at(1)->isChecked());
        QTest::mouseClick(rows.at(0), Qt::LeftButton);
        QVERIFY(rows.at(0)->isChecked());
        QVERIFY(!rows.at(1)->isChecked());
        QTest::mouseClick(rows.at(0), Qt::LeftButton);
        QVERIFY(rows.at(0)->isChecked());
        QVERIFY(fakes.storedCalendars.isEmpty());

        // The mark follows the identifier, not the object.
        model.setSelectedCalendar(localCalendar(QStringLiteral("b"), QStringLiteral("renamed")));
        QVERIFY(rows.at(1)->isChecked());

        click(page->continueButton());
        QCOMPARE(fakes.storedCalendars.size(), 1);
        QCOMPARE(fakes.storedCalendars.first().identifier, QStringLiteral("b"));
        QCOMPARE(model.destination(), Destination::main);
    }

    void continueWithNothingChosenShowsTheAlert()
    {
        ShellFakes fakes;
        AppViewModel model;
        model.setCalendars({localCalendar(QStringLiteral("a"), QStringLiteral("Home"))});
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        Screen screen(&model);
        auto *page = screen.view.selectionPage();
        click(page->continueButton());
        QMessageBox *box = page->alertPresenter()->messageBox();
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("Choose a Local Calendar"));
        QCOMPARE(box->informativeText(), QStringLiteral("To move forward select calendar"));
        QCOMPARE(box->buttons().size(), 1);
        box->buttons().first()->click();
        QVERIFY(!model.alertType()->isSet());
        QCOMPARE(screen.view.currentPage(), page);
        QCOMPARE(model.destination(), Destination::auth);
    }

    // Settings that cannot be saved are told, as in the settings window; the page stays.
    void aChoiceThatCannotBeSavedIsTold()
    {
        ShellFakes fakes;
        fakes.storeAnswer = failure(ErrorDomain::io, 1, QStringLiteral("could not be saved"));
        AppViewModel model;
        model.setCalendars({localCalendar(QStringLiteral("a"), QStringLiteral("Home"))});
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        Screen screen(&model);
        auto *page = screen.view.selectionPage();
        QTest::mouseClick(page->rows().first(), Qt::LeftButton);
        click(page->continueButton());
        QMessageBox *box = page->alertPresenter()->messageBox();
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Error occurred"));
        QVERIFY(box->informativeText().contains(QStringLiteral("could not be saved")));
        QCOMPARE(model.destination(), Destination::auth);
        QCOMPARE(screen.view.currentPage(), page);
        QVERIFY(fakes.storedCalendars.isEmpty());

        box->buttons().first()->click();
        fakes.storeAnswer = {};
        click(page->continueButton());
        QCOMPARE(fakes.storedCalendars.size(), 1);
        QCOMPARE(model.destination(), Destination::main);
    }

    void accessThatCannotBeKeptIsTold()
    {
        ShellFakes fakes;
        fakes.accessAnswer = failure(ErrorDomain::io, 1, QStringLiteral("could not be saved"));
        AppViewModel model;
        model.setCurrentStep(OnboardingStep::appleCalendarSupport);
        Screen screen(&model);
        click(screen.view.supportPage()->enableButton());
        QTRY_VERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::error);
        QCOMPARE(model.destination(), Destination::auth);
        QCOMPARE(screen.view.currentPage(), screen.view.supportPage());
    }

    void welcomePageCentresItsWindow()
    {
        ShellFakes fakes;
        AppViewModel model;
        QWidget window;
        window.setFixedSize(650, 400);
        window.move(0, 0);
        auto *view = new OnboardingView(&model, &window);
        view->setGeometry(window.rect());
        window.show();
        QTRY_VERIFY(view->welcomePage()->readWindow() == &window);
        const QRect available = window.screen()->availableGeometry();
        QTRY_COMPARE(window.frameGeometry().center(), available.center());
    }
};

TOLVO_WIDGET_TEST_MAIN(OnboardingViewTest)
#include "OnboardingViewTest.moc"
