#include "FormTestSupport.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include "core/Dependencies.h"
#include "core/FormLogic.h"
#include "modules/Feedback/UserFeedbackViewModel.h"

#include <QPointer>

using namespace tolvo;
using namespace tolvo::test;

class UserFeedbackViewModelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DependencyScope> m_scope;
    std::shared_ptr<FeedbackLog> m_log;
    int m_closes = 0;

    std::function<void()> closer()
    {
        return [this] { ++m_closes; };
    }

    static void fill(UserFeedbackViewModel &model)
    {
        model.setUsername(QStringLiteral("Ann"));
        model.setEmail(QStringLiteral("ann@example.com"));
        model.setComments(QStringLiteral("The reminder came late"));
    }

private slots:
    void init()
    {
        m_log = std::make_shared<FeedbackLog>();
        m_closes = 0;
        m_scope = std::make_unique<DependencyScope>();
        m_scope->set(feedbackClient(m_log));
    }

    void cleanup()
    {
        test::deleteTopLevelWindows();
        m_scope.reset();
    }

    // Send checks every field at once, as the meeting forms' Save does: what is missing is
    // outlined and what is filled counts, even before the typing pause.
    void sendChecksEveryFieldAtOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("comments");
        QTest::addColumn<bool>("sends");
        QTest::newRow("nothing typed") << QString() << QString() << QString() << false;
        QTest::newRow("name only") << "Ann" << QString() << QString() << false;
        QTest::newRow("bad e-mail") << "Ann"
                                    << "ann@example"
                                    << "It broke" << false;
        QTest::newRow("all filled") << "Ann"
                                    << "ann@example.com"
                                    << "It broke" << true;
    }
    void sendChecksEveryFieldAtOnce()
    {
        QFETCH(QString, name);
        QFETCH(QString, email);
        QFETCH(QString, comments);
        QFETCH(bool, sends);
        UserFeedbackViewModel model;
        model.setDebounceInterval(60 * 60 * 1000);
        if (!name.isEmpty())
            model.setUsername(name);
        if (!email.isEmpty())
            model.setEmail(email);
        if (!comments.isEmpty())
            model.setComments(comments);
        model.submitTapped(closer());
        QCOMPARE(model.isUsernameValid(), !name.isEmpty());
        QCOMPARE(model.isEmailValid(), isValidEmail(email));
        QCOMPARE(model.isCommentsValid(), !comments.isEmpty());
        if (sends) {
            QTRY_VERIFY(model.alertType()->isSet());
            QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::reportSendedSuccessfully);
            QCOMPARE(m_log->reports.size(), 1);
        } else {
            QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::emptyInputs);
            QVERIFY(m_log->reports.isEmpty());
        }
    }

    void validOnlyOnceAllThreeWereChecked()
    {
        UserFeedbackViewModel model;
        model.setDebounceInterval(1);
        QSignalSpy changed(&model, &UserFeedbackViewModel::changed);
        model.setUsername(QStringLiteral("Ann"));
        QTRY_COMPARE(changed.count(), 2); // written, then checked
        QVERIFY(model.isUsernameValid());
        QVERIFY(!model.formIsValid()); // name alone
        model.setEmail(QStringLiteral("ann@example.com"));
        QVERIFY(!model.formIsValid());
        model.setComments(QStringLiteral("It broke"));
        QTRY_VERIFY(model.formIsValid());
    }

    void sentReportCarriesTheTextsAndClosesOnOk()
    {
        UserFeedbackViewModel model;
        model.setDebounceInterval(1);
        fill(model);
        QTRY_VERIFY(model.formIsValid());
        model.submitTapped(closer());
        QTRY_VERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::reportSendedSuccessfully);
        QCOMPARE(m_log->reports.size(), 1);
        QCOMPARE(m_log->reports.first().name, QStringLiteral("Ann"));
        QCOMPARE(m_log->reports.first().email, QStringLiteral("ann@example.com"));
        QCOMPARE(m_log->reports.first().comments, QStringLiteral("The reminder came late"));
        QCOMPARE(m_closes, 0);
        model.alertType()->value()->handler()();
        QCOMPARE(m_closes, 1);
    }

    void clearedDescriptionIsOutlined()
    {
        UserFeedbackViewModel model;
        model.setDebounceInterval(1);
        fill(model);
        QTRY_VERIFY(model.formIsValid());
        model.setComments(QString());
        QTRY_VERIFY(!model.isCommentsValid());
        QVERIFY(!model.formIsValid());
        model.setEmail(QStringLiteral("ann@example"));
        QVERIFY(!model.isEmailValid()); // at once, no pause
    }

    void failedSendShowsTheError()
    {
        m_log->answer = failure(Error::http(503, QStringLiteral("Service unavailable")));
        UserFeedbackViewModel model;
        model.setDebounceInterval(1);
        fill(model);
        QTRY_VERIFY(model.formIsValid());
        model.submitTapped(closer());
        QTRY_VERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::error);
        QCOMPARE(model.username(), QStringLiteral("Ann"));
        QVERIFY(model.formIsValid());
    }

    void secondPressWhileSendingIsIgnored()
    {
        m_log->gate = std::make_shared<OneShot>();
        UserFeedbackViewModel model;
        model.setDebounceInterval(1);
        fill(model);
        QTRY_VERIFY(model.formIsValid());
        model.submitTapped(closer());
        model.submitTapped(closer());
        m_log->gate->fire();
        QTRY_VERIFY(!model.isSending());
        QCOMPARE(m_log->reports.size(), 1);
    }

    void lateAnswerAfterDeletionTouchesNothing()
    {
        m_log->gate = std::make_shared<OneShot>();
        QPointer<UserFeedbackViewModel> model = new UserFeedbackViewModel;
        model->setDebounceInterval(1);
        fill(*model);
        QTRY_VERIFY(model->formIsValid());
        model->submitTapped(closer());
        delete model;
        m_log->gate->fire();
        QCoreApplication::processEvents();
        QCOMPARE(m_closes, 0);
    }
};

TOLVO_WIDGET_TEST_MAIN(UserFeedbackViewModelTest)

#include "UserFeedbackViewModelTest.moc"
