#include "components/AlertPresenter.h"
#include "components/Appearance.h"
#include "core/AlertType.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

using namespace tolvo;

namespace {

QAbstractButton *buttonLabelled(QMessageBox *box, const QString &label)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == label)
            return button;
    }
    return nullptr;
}

QLabel *labelShowing(QMessageBox *box, const QString &text)
{
    for (QLabel *label : box->findChildren<QLabel *>()) {
        if (label->text() == text && label->isVisible())
            return label;
    }
    return nullptr;
}

// A host window, shown as soon as it is made.
class ShownHost : public QWidget
{
public:
    explicit ShownHost(QSize size = {})
    {
        if (size.isValid())
            resize(size);
        show();
    }
};

// The shown host, the alert item and the presenter attached to both, made in that order.
struct PresentedAlert
{
    explicit PresentedAlert(QSize size = {})
        : host(size)
    {
    }

    ShownHost host;
    AlertItem item;
    AlertPresenter presenter {&item, &host};
};

} // namespace

class AlertPresenterTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        test::deleteTopLevelWindows();
        Appearance::instance().setOverride(std::nullopt);
    }

    void showsTheAlertTexts()
    {
        PresentedAlert alert;
        QVERIFY(!alert.presenter.messageBox());
        alert.item.set(AlertType::error(Error::make(ErrorDomain::http, 500, "<b>not markup</b>")));
        QMessageBox *box = alert.presenter.messageBox();
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->text(), QStringLiteral("Error occurred"));
        QCOMPARE(box->informativeText(), QStringLiteral("<b>not markup</b>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->buttons().size(), 1);
        QVERIFY(!(box->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(box->windowFlags() & Qt::WindowCloseButtonHint);
    }

    void aButtonClearsTheAlertBeforeItsAction_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("runs");
        QTest::newRow("Refresh") << "Refresh" << 1;
        QTest::newRow("Ok") << "Ok" << 0;
    }

    void aButtonClearsTheAlertBeforeItsAction()
    {
        QFETCH(QString, label);
        QFETCH(int, runs);
        PresentedAlert alert;
        int handled = 0;
        bool clearedFirst = false;
        alert.item.set(AlertType::expiredToken([&] {
            ++handled;
            clearedFirst = !alert.item.isSet();
            // A retry that fails again raises the next alert; it must survive.
            alert.item.set(AlertType::simpleError());
        }));
        QMessageBox *box = alert.presenter.messageBox();
        QVERIFY(box);
        QPointer<QMessageBox> guard(box);
        buttonLabelled(box, label)->click();
        QCOMPARE(handled, runs);
        if (runs) {
            QVERIFY(clearedFirst);
            QVERIFY(alert.item.isSet());
            QCOMPARE(alert.item.value()->kind(), AlertType::Kind::simpleError);
            QVERIFY(alert.presenter.messageBox());
            QCOMPARE(alert.presenter.messageBox()->informativeText(),
                QStringLiteral("Something went wrong"));
        } else {
            QVERIFY(!alert.item.isSet());
            QVERIFY(!alert.presenter.messageBox());
        }
        QTRY_VERIFY(!guard || !guard->isVisible());
    }

    void okRunsTheSuccessHandlerOnce()
    {
        PresentedAlert alert;
        int handled = 0;
        alert.item.set(AlertType::eventCreatedSuccessfully([&] { ++handled; }));
        buttonLabelled(alert.presenter.messageBox(), "OK")->click();
        QCOMPARE(handled, 1);
        QVERIFY(!alert.item.isSet());
        QVERIFY(!alert.presenter.messageBox());
    }

    void clearingFromCodeClosesWithoutRunningAnything()
    {
        PresentedAlert alert;
        int handled = 0;
        alert.item.set(AlertType::reportSendedSuccessfully([&] { ++handled; }));
        QPointer<QMessageBox> box = alert.presenter.messageBox();
        alert.item.clear();
        QVERIFY(!alert.presenter.messageBox());
        QTRY_VERIFY(!box || !box->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(handled, 0);
    }

    void closingTheBoxClearsTheAlert()
    {
        PresentedAlert alert;
        int handled = 0;
        alert.item.set(AlertType::expiredToken([&] { ++handled; }));
        alert.presenter.messageBox()->reject();
        QVERIFY(!alert.item.isSet());
        QCOMPARE(handled, 0);
    }

    // Two-button alerts have no button that Escape would press, so closing them from code must
    // not depend on the box accepting a close request.
    void twoButtonAlertsCloseWhenClearedOrReplaced_data()
    {
        QTest::addColumn<bool>("scopes");
        QTest::addColumn<bool>("replace");
        QTest::newRow("expired token, cleared") << false << false;
        QTest::newRow("expired token, replaced") << false << true;
        QTest::newRow("scopes, cleared") << true << false;
        QTest::newRow("scopes, replaced") << true << true;
    }

    void twoButtonAlertsCloseWhenClearedOrReplaced()
    {
        QFETCH(bool, scopes);
        QFETCH(bool, replace);
        PresentedAlert alert;
        const auto make = [scopes](std::function<void()> handler) {
            return scopes ? AlertType::authenticationScopesError(std::move(handler))
                          : AlertType::expiredToken(std::move(handler));
        };
        int firstRuns = 0;
        int secondRuns = 0;
        alert.item.set(make([&] { ++firstRuns; }));
        QPointer<QMessageBox> first = alert.presenter.messageBox();
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->buttons().size(), 2);
        if (replace)
            alert.item.set(make([&] { ++secondRuns; }));
        else
            alert.item.clear();
        QTRY_VERIFY(!first || !first->isVisible());
        QCOMPARE(firstRuns, 0);
        if (!replace) {
            QVERIFY(!alert.presenter.messageBox());
            return;
        }
        QMessageBox *second = alert.presenter.messageBox();
        QVERIFY(second && second != first && second->isVisible());
        buttonLabelled(second, "Refresh")->click();
        QCOMPARE(secondRuns, 1);
        QCOMPARE(firstRuns, 0);
        QVERIFY(!alert.item.isSet());
    }

    void escapeDismissesATwoButtonAlertWithoutItsAction()
    {
        PresentedAlert alert;
        int handled = 0;
        alert.item.set(AlertType::expiredToken([&] { ++handled; }));
        QPointer<QMessageBox> box = alert.presenter.messageBox();
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!box || !box->isVisible());
        QVERIFY(!alert.item.isSet());
        QCOMPARE(handled, 0);
    }

    void aNewAlertReplacesTheShownOne()
    {
        PresentedAlert alert;
        int handled = 0;
        alert.item.set(AlertType::eventUpdatedSuccessfully([&] { ++handled; }));
        QPointer<QMessageBox> first = alert.presenter.messageBox();
        alert.item.set(AlertType::equalDates());
        QVERIFY(alert.presenter.messageBox() != first);
        QCOMPARE(alert.presenter.messageBox()->informativeText(),
            QStringLiteral("Start time cannot be equal end time"));
        QTRY_VERIFY(!first || !first->isVisible());
        QCOMPARE(handled, 0);
        QVERIFY(alert.item.isSet());
    }

    // The box is as wide as its texts need: the title is whole and a short message stays on
    // one line; a long message wraps instead of widening the box past its bound.
    void theBoxIsSizedForItsTexts_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("oneLine");
        QTest::newRow("short") << QString() << true;
        QTest::newRow("long") << QStringLiteral("word ").repeated(60).trimmed() << false;
    }
    void theBoxIsSizedForItsTexts()
    {
        QFETCH(QString, message);
        QFETCH(bool, oneLine);
        PresentedAlert alert({500, 600});
        if (message.isEmpty())
            alert.item.set(AlertType::emptyInputs());
        else
            alert.item.set(AlertType::error(Error::make(ErrorDomain::http, 500, message)));
        QMessageBox *box = alert.presenter.messageBox();
        QVERIFY(QTest::qWaitForWindowExposed(box));
        const QFontMetrics metrics(box->font());
        QLabel *title = labelShowing(box, box->text());
        QLabel *text = labelShowing(box, box->informativeText());
        QVERIFY(title && text);
        QVERIFY(box->width() >= 300);
        QVERIFY2(title->width() >= metrics.horizontalAdvance(box->text()),
            qPrintable(QString::number(title->width())));
        const int lineWidth = metrics.horizontalAdvance(box->informativeText());
        if (oneLine) {
            QVERIFY2(text->width() >= lineWidth, qPrintable(QString::number(text->width())));
        } else {
            QVERIFY(text->width() < lineWidth);
            QVERIFY(text->width() >= 400);
            QVERIFY(text->height() >= 2 * metrics.height());
        }
    }

    void returnPressesTheDefaultButton()
    {
        PresentedAlert alert;
        int handled = 0;
        alert.item.set(AlertType::expiredToken([&] { ++handled; }));
        QPointer<QMessageBox> box = alert.presenter.messageBox();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_COMPARE(handled, 1);
        QVERIFY(!alert.item.isSet());
    }

    // Qt draws the box itself: the application palette has to turn dark with the appearance.
    void theBoxFollowsTheAppearance()
    {
        PresentedAlert alert;
        Appearance::instance().setOverride(ColorScheme::dark);
        alert.item.set(AlertType::emptyInputs());
        QMessageBox *box = alert.presenter.messageBox();
        QVERIFY(box->palette().color(QPalette::Window).lightness() < 100);
        QVERIFY(box->palette().color(QPalette::WindowText).lightness() > 200);
        QVERIFY(box->buttons().first()->palette().color(QPalette::ButtonText).lightness() > 200);
        QImage picture = box->grab().toImage();
        QVERIFY(picture.pixelColor(2, 2).lightness() < 100);

        // Back to light, the desktop's own palette returns.
        Appearance::instance().setOverride(ColorScheme::light);
        QVERIFY(box->palette().color(QPalette::Window).lightness() > 180);
        QVERIFY(!Appearance::instance().setsApplicationPalette());
        picture = box->grab().toImage();
        QVERIFY(picture.pixelColor(2, 2).lightness() > 180);
    }
};

TOLVO_WIDGET_TEST_MAIN(AlertPresenterTest)
#include "AlertPresenterTest.moc"
