#include "components/AlertPresenter.h"
#include "components/Appearance.h"
#include "core/AlertType.h"
#include "support/TestMain.h"

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

} // namespace

class AlertPresenterTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Appearance::instance().setOverride(std::nullopt); }

    void showsTheAlertTexts()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        QVERIFY(!presenter.messageBox());
        item.set(AlertType::error(Error::make(ErrorDomain::http, 500, "<b>not markup</b>")));
        QMessageBox *box = presenter.messageBox();
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->text(), QStringLiteral("Error occurred"));
        QCOMPARE(box->informativeText(), QStringLiteral("<b>not markup</b>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->buttons().size(), 1);
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
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        bool clearedFirst = false;
        item.set(AlertType::expiredToken([&] {
            ++handled;
            clearedFirst = !item.isSet();
            // A retry that fails again raises the next alert; it must survive.
            item.set(AlertType::simpleError());
        }));
        QMessageBox *box = presenter.messageBox();
        QVERIFY(box);
        QPointer<QMessageBox> guard(box);
        buttonLabelled(box, label)->click();
        QCOMPARE(handled, runs);
        if (runs) {
            QVERIFY(clearedFirst);
            QVERIFY(item.isSet());
            QCOMPARE(item.value()->kind(), AlertType::Kind::simpleError);
            QVERIFY(presenter.messageBox());
            QCOMPARE(
                presenter.messageBox()->informativeText(), QStringLiteral("Something went wrong"));
        } else {
            QVERIFY(!item.isSet());
            QVERIFY(!presenter.messageBox());
        }
        QTRY_VERIFY(!guard || !guard->isVisible());
    }

    void okRunsTheSuccessHandlerOnce()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        item.set(AlertType::eventCreatedSuccessfully([&] { ++handled; }));
        buttonLabelled(presenter.messageBox(), "OK")->click();
        QCOMPARE(handled, 1);
        QVERIFY(!item.isSet());
        QVERIFY(!presenter.messageBox());
    }

    void clearingFromCodeClosesWithoutRunningAnything()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        item.set(AlertType::reportSendedSuccessfully([&] { ++handled; }));
        QPointer<QMessageBox> box = presenter.messageBox();
        item.clear();
        QVERIFY(!presenter.messageBox());
        QTRY_VERIFY(!box || !box->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(handled, 0);
    }

    void closingTheBoxClearsTheAlert()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        item.set(AlertType::expiredToken([&] { ++handled; }));
        presenter.messageBox()->reject();
        QVERIFY(!item.isSet());
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
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        const auto make = [scopes](std::function<void()> handler) {
            return scopes ? AlertType::authenticationScopesError(std::move(handler))
                          : AlertType::expiredToken(std::move(handler));
        };
        int firstRuns = 0;
        int secondRuns = 0;
        item.set(make([&] { ++firstRuns; }));
        QPointer<QMessageBox> first = presenter.messageBox();
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->buttons().size(), 2);
        if (replace)
            item.set(make([&] { ++secondRuns; }));
        else
            item.clear();
        QTRY_VERIFY(!first || !first->isVisible());
        QCOMPARE(firstRuns, 0);
        if (!replace) {
            QVERIFY(!presenter.messageBox());
            return;
        }
        QMessageBox *second = presenter.messageBox();
        QVERIFY(second && second != first && second->isVisible());
        buttonLabelled(second, "Refresh")->click();
        QCOMPARE(secondRuns, 1);
        QCOMPARE(firstRuns, 0);
        QVERIFY(!item.isSet());
    }

    void escapeDismissesATwoButtonAlertWithoutItsAction()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        item.set(AlertType::expiredToken([&] { ++handled; }));
        QPointer<QMessageBox> box = presenter.messageBox();
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!box || !box->isVisible());
        QVERIFY(!item.isSet());
        QCOMPARE(handled, 0);
    }

    void aNewAlertReplacesTheShownOne()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        item.set(AlertType::eventUpdatedSuccessfully([&] { ++handled; }));
        QPointer<QMessageBox> first = presenter.messageBox();
        item.set(AlertType::equalDates());
        QVERIFY(presenter.messageBox() != first);
        QCOMPARE(presenter.messageBox()->informativeText(),
            QStringLiteral("Start time cannot be equal end time"));
        QTRY_VERIFY(!first || !first->isVisible());
        QCOMPARE(handled, 0);
        QVERIFY(item.isSet());
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
        QWidget host;
        host.resize(500, 600);
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        if (message.isEmpty())
            item.set(AlertType::emptyInputs());
        else
            item.set(AlertType::error(Error::make(ErrorDomain::http, 500, message)));
        QMessageBox *box = presenter.messageBox();
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
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        int handled = 0;
        item.set(AlertType::expiredToken([&] { ++handled; }));
        QPointer<QMessageBox> box = presenter.messageBox();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_COMPARE(handled, 1);
        QVERIFY(!item.isSet());
    }

    // Qt draws the box itself: the application palette has to turn dark with the appearance.
    void theBoxFollowsTheAppearance()
    {
        QWidget host;
        host.show();
        AlertItem item;
        AlertPresenter presenter(&item, &host);
        Appearance::instance().setOverride(ColorScheme::dark);
        item.set(AlertType::emptyInputs());
        QMessageBox *box = presenter.messageBox();
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
