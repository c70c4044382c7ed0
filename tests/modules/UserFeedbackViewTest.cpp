#include "FormTestSupport.h"
#include "support/FakeReportingServer.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include "components/AlertPresenter.h"
#include "components/MacEditorTextView.h"
#include "components/StyledButton.h"
#include "components/TolvoTextField.h"
#include "components/ValidationFrame.h"
#include "core/Dependencies.h"
#include "modules/Feedback/UserFeedbackView.h"
#include "modules/Feedback/UserFeedbackViewModel.h"
#include "modules/Feedback/UserFeedbackWindowController.h"
#include "platform/CrashReporter.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>

using namespace tolvo;
using namespace tolvo::test;

class UserFeedbackViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DependencyScope> m_scope;
    std::shared_ptr<FeedbackLog> m_log;

    static void fill(UserFeedbackView &view)
    {
        view.nameField()->setFocus();
        QTest::keyClicks(view.nameField(), QStringLiteral("Ann"));
        view.emailField()->setFocus();
        QTest::keyClicks(view.emailField(), QStringLiteral("ann@example.com"));
        view.commentsEditor()->editor()->setFocus();
        QTest::keyClicks(view.commentsEditor()->editor(), QStringLiteral("It broke"));
    }

private slots:
    void init()
    {
        m_log = std::make_shared<FeedbackLog>();
        m_scope = std::make_unique<DependencyScope>();
        m_scope->set(feedbackClient(m_log));
    }

    void cleanup()
    {
        test::deleteTopLevelWindows();
        m_scope.reset();
    }

    void opensCentredAtItsSize()
    {
        auto *controller = new UserFeedbackWindowController;
        QPointer<FormWindow> window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), QSize(500, 600));
        // Centred, give or take the frame the platform adds.
        QVERIFY((window->geometry().center() - window->screen()->availableGeometry().center())
                    .manhattanLength()
            <= 4);
        UserFeedbackView &view = *controller->view();
        QCOMPARE(view.sendButton()->size(), UserFeedbackView::sendButtonSize);
        QCOMPARE(view.nameField()->placeholderText(), QStringLiteral("Name"));
        QCOMPARE(view.emailField()->placeholderText(), QStringLiteral("Email address"));
        QVERIFY(view.commentsEditor()->height() > 150);
        QTest::mouseClick(view.sendButton(), Qt::LeftButton);
        QVERIFY(view.alertPresenter()->messageBox());
        QCOMPARE(view.alertPresenter()->messageBox()->text(), QStringLiteral("Empty inputs"));
        // What is missing is outlined, as in the meeting forms.
        QVERIFY(view.nameFrame()->isInvalid());
        QVERIFY(view.emailFrame()->isInvalid());
        QVERIFY(view.commentsFrame()->isInvalid());
        QVERIFY(m_log->reports.isEmpty());
        QTest::mouseClick(view.closeButton(), Qt::LeftButton);
        QTRY_VERIFY(!window);
    }

    void outlinesFollowTheChecks()
    {
        auto *controller = new UserFeedbackWindowController;
        UserFeedbackView &view = *controller->view();
        view.model()->setDebounceInterval(1);
        view.emailField()->setFocus();
        QTest::keyClicks(view.emailField(), QStringLiteral("ann@"));
        QVERIFY(view.emailFrame()->isInvalid());
        view.commentsEditor()->editor()->setFocus();
        QTest::keyClicks(view.commentsEditor()->editor(), QStringLiteral("x"));
        QTest::keyClick(view.commentsEditor()->editor(), Qt::Key_Backspace);
        QTRY_VERIFY(view.commentsFrame()->isInvalid());
    }

    void sentReportClosesOnOk()
    {
        auto *controller = new UserFeedbackWindowController;
        QPointer<FormWindow> window = controller->window();
        UserFeedbackView &view = *controller->view();
        view.model()->setDebounceInterval(1);
        fill(view);
        QTRY_VERIFY(view.model()->formIsValid());
        QTest::mouseClick(view.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(view.alertPresenter()->messageBox());
        QCOMPARE(view.alertPresenter()->messageBox()->text(), QStringLiteral("Report sent"));
        view.alertPresenter()->messageBox()->buttons().first()->click();
        QTRY_VERIFY(!window);
        QCOMPARE(m_log->reports.size(), 1);
    }

    void twoCommandsOpenTwoEmptyForms()
    {
        auto *first = new UserFeedbackWindowController;
        first->view()->model()->setUsername(QStringLiteral("Ann"));
        auto *second = new UserFeedbackWindowController;
        QVERIFY(first->window() != second->window());
        QCOMPARE(second->view()->model()->username(), QString());
    }

    void windowClosedWhileSendingIsLeftAlone()
    {
        m_log->gate = std::make_shared<OneShot>();
        auto *controller = new UserFeedbackWindowController;
        QPointer<FormWindow> window = controller->window();
        UserFeedbackView &view = *controller->view();
        view.model()->setDebounceInterval(1);
        fill(view);
        QTRY_VERIFY(view.model()->formIsValid());
        view.submitTapped();
        QTRY_COMPARE(m_log->reports.size(), 1);
        window->close();
        QTRY_VERIFY(!window);
        m_log->gate->fire();
        QCoreApplication::processEvents();
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *remaining : windows)
            QVERIFY(!qobject_cast<QMessageBox *>(remaining));
    }

    // The live client, through a reporter posting to the loopback reporting fake.
    void liveClientReportsOnlyWhatWasAccepted()
    {
        FakeReportingServer fake;
        CrashReporter reporter(fake.crashDsn(), QStringLiteral("1.0"));
        const VoidResult sent = QCoro::waitFor(reporter.sendFeedback(QStringLiteral("user message"),
            UserFeedback {{}, QStringLiteral("Ann"), QStringLiteral("ann@example.com"),
                QStringLiteral("It broke")}));
        QVERIFY(sent);
        QCOMPARE(fake.crashReports().size(), 2);
        const QJsonObject message = fake.crashReports()[0].body;
        const QJsonObject feedback = fake.crashReports()[1].body;
        QCOMPARE(message.value("message").toString(), QStringLiteral("user message"));
        QCOMPARE(feedback.value("event_id"), message.value("event_id"));
        QCOMPARE(feedback.value("name").toString(), QStringLiteral("Ann"));
        QCOMPARE(feedback.value("email").toString(), QStringLiteral("ann@example.com"));
        QCOMPARE(feedback.value("comments").toString(), QStringLiteral("It broke"));

        // A refused report and a reporter without an address are failures, never success.
        CrashReporter elsewhere(QStringLiteral("http://key@127.0.0.1:1/7"), QStringLiteral("1.0"));
        QVERIFY(!QCoro::waitFor(elsewhere.sendFeedback(QStringLiteral("user message"), {})));
        CrashReporter nowhere(QString(), QStringLiteral("1.0"));
        QVERIFY(!QCoro::waitFor(nowhere.sendFeedback(QStringLiteral("user message"), {})));
    }
};

TOLVO_WIDGET_TEST_MAIN(UserFeedbackViewTest)

#include "UserFeedbackViewTest.moc"
