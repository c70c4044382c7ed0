#include "modules/Settings/SettingsView.h"
#include "components/AlertPresenter.h"
#include "components/Appearance.h"
#include "components/ElidingComboBox.h"
#include "components/StyledButton.h"
#include "components/ToggleSwitch.h"
#include "modules/Settings/GeneralSettingsView.h"
#include "modules/Settings/GeneralSettingsViewModel.h"
#include "modules/Settings/IntegrationsSettingsView.h"
#include "modules/Settings/IntegrationsSettingsViewModel.h"
#include "modules/Settings/TabButton.h"
#include "support/ShellFakes.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QComboBox>
#include <QMessageBox>
#include <QSettings>

using namespace tolvo;
using namespace tolvo::test;

namespace {
const QString deleteKey = QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey);
const QString calendarKey = QString::fromLatin1(UserDefaultsClient::appleCalendarIdKey);

bool isStored(ShellFakes &fakes, const QString &key)
{
    return QSettings(fakes.folder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
        .contains(key);
}

void selectTab(SettingsView &view, SettingsView::Tab tab)
{
    QTest::mouseClick(view.tabButton(tab), Qt::LeftButton);
}

// The Integrations pane shown after "Give Permission" was pressed; nothing when its picker did
// not come.
IntegrationsSettingsView *grantedPane(SettingsView &view)
{
    view.show();
    selectTab(view, SettingsView::Tab::integrations);
    IntegrationsSettingsView *pane = view.integrationsPane();
    QTest::mouseClick(pane->permissionButton(), Qt::LeftButton);
    return QTest::qWaitFor([pane] { return pane->currentContent() == pane->pickerContent(); })
        ? pane
        : nullptr;
}
} // namespace

class SettingsViewTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void opensOnGeneralAtItsFixedSize()
    {
        ShellFakes fakes;
        SettingsView view;
        view.show();
        QCOMPARE(view.size(), QSize(450, 250));
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QCOMPARE(view.selectedTab(), SettingsView::Tab::general);
        const auto tabs = view.tabButtons();
        QCOMPARE(tabs.size(), 2);
        QCOMPARE(tabs.at(0)->text(), QStringLiteral("General"));
        QCOMPARE(tabs.at(0)->imageName(), QStringLiteral("settings"));
        QCOMPARE(tabs.at(1)->text(), QStringLiteral("Integrations"));
        QCOMPARE(tabs.at(1)->imageName(), QStringLiteral("integrations"));
        QVERIFY(tabs.at(0)->x() < tabs.at(1)->x());
        QVERIFY(tabs.at(0)->width() >= 80);
        QCOMPARE(tabs.at(1)->x() - tabs.at(0)->geometry().right() - 1, 20);
        // The selected tab: blue icon, dark title on a faint blue; the other one plain.
        QCOMPARE(tabs.at(0)->iconColor(), QColor(0x37, 0x9B, 0xFF));
        QCOMPARE(tabs.at(0)->titleColor(), QColor(0x30, 0x30, 0x30));
        QVERIFY(tabs.at(0)->backgroundColor().isValid());
        QVERIFY(!tabs.at(1)->backgroundColor().isValid());
        QVERIFY(view.generalPane()->isVisible());
    }

    void selectedTabTitleIsReadableInDark()
    {
        ShellFakes fakes;
        SettingsView view;
        Appearance::instance().setOverride(ColorScheme::dark);
        QCOMPARE(view.tabButton(SettingsView::Tab::general)->titleColor(), QColor(Qt::white));
        Appearance::instance().setOverride(std::nullopt);
    }

    void escapeClosesTheWindow()
    {
        ShellFakes fakes;
        QPointer<SettingsView> window = SettingsView::openWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->tabButton(SettingsView::Tab::general), Qt::Key_Escape);
        QTRY_VERIFY(!window);
    }

    void anAbsentSettingShowsOffAndIsStored()
    {
        ShellFakes fakes;
        QVERIFY(!isStored(fakes, deleteKey));
        SettingsView view;
        QVERIFY(!view.generalPane()->deleteSwitch()->isChecked());
        QVERIFY(isStored(fakes, deleteKey));
        QVERIFY(!fakes.settings.boolValue(deleteKey));
    }

    void theSwitchStoresAtOnce()
    {
        ShellFakes fakes;
        SettingsView view;
        view.show();
        ToggleSwitch *toggle = view.generalPane()->deleteSwitch();
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(fakes.settings.boolValue(deleteKey));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!fakes.settings.boolValue(deleteKey));
        QTest::mouseClick(toggle, Qt::LeftButton);

        // Back from Integrations, a new pane shows what is stored.
        QPointer<GeneralSettingsView> first = view.generalPane();
        selectTab(view, SettingsView::Tab::integrations);
        fakes.settings.setBool(false, deleteKey);
        selectTab(view, SettingsView::Tab::general);
        QTRY_VERIFY(!first);
        QVERIFY(!view.generalPane()->deleteSwitch()->isChecked());
    }

    void aChangeThatCannotBeSavedIsTold()
    {
        ShellFakes fakes;
        QFile blocker(fakes.folder.filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        DependencyScope scope;
        scope.set(
            UserDefaultsClient::atPath(fakes.folder.filePath(QStringLiteral("blocked/s.ini"))));
        SettingsView view;
        view.show();
        GeneralSettingsView *pane = view.generalPane();
        // Opening writes the value back: that failure is only logged.
        QVERIFY(!pane->alertPresenter()->messageBox());
        QTest::mouseClick(pane->deleteSwitch(), Qt::LeftButton);
        QTRY_VERIFY(pane->alertPresenter()->messageBox());
        QCOMPARE(pane->alertPresenter()->messageBox()->text(), QStringLiteral("Error occurred"));
        QVERIFY(pane->alertPresenter()->messageBox()->informativeText().contains(
            QStringLiteral("could not be saved")));
    }

    void aStoredSettingShowsOn()
    {
        ShellFakes fakes;
        fakes.settings.setBool(true, deleteKey);
        GeneralSettingsViewModel model;
        QVERIFY(model.shouldDeleteEvent());
    }

    void integrationsAskForAccessOnEveryPress()
    {
        ShellFakes fakes;
        fakes.accessAnswer = false;
        SettingsView view;
        view.show();
        selectTab(view, SettingsView::Tab::integrations);
        IntegrationsSettingsView *pane = view.integrationsPane();
        QVERIFY(pane->isVisible());
        QCOMPARE(pane->currentContent(), pane->permissionContent());
        QTest::mouseClick(pane->permissionButton(), Qt::LeftButton);
        QTest::mouseClick(pane->permissionButton(), Qt::LeftButton);
        QTRY_COMPARE(fakes.accessRequests, 2);
        QCOMPARE(fakes.trackedEvents().count(QStringLiteral("apple_calendar_access")), 2);
        QCOMPARE(pane->currentContent(), pane->permissionContent());

        // A failed request changes nothing either.
        fakes.accessAnswer = failure(ErrorDomain::localCalendar, 1, QStringLiteral("x"));
        QTest::mouseClick(pane->permissionButton(), Qt::LeftButton);
        QCOMPARE(pane->currentContent(), pane->permissionContent());
    }

    void grantedAccessOffersThePickerThatStoresAtOnce()
    {
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(QStringLiteral("a"), QStringLiteral("Home")),
            localCalendar(
                QStringLiteral("s"), QStringLiteral("Subscribed"), LocalCalendarSource::other),
            localCalendar(
                QStringLiteral("c"), QStringLiteral("Team"), LocalCalendarSource::calDAV)};
        SettingsView view;
        IntegrationsSettingsView *pane = grantedPane(view);
        QVERIFY(pane);
        QComboBox *picker = pane->picker();
        QCOMPARE(picker->count(), 3);
        QCOMPARE(picker->itemText(0), QStringLiteral("Select Calendar"));
        QCOMPARE(picker->itemText(1), QStringLiteral("Home"));
        QCOMPARE(picker->itemText(2), QStringLiteral("Team"));
        QCOMPARE(picker->currentIndex(), 0);
        QVERIFY(!picker->itemIcon(1).isNull());

        picker->setCurrentIndex(2);
        QCOMPARE(fakes.storedCalendars.size(), 1);
        QCOMPARE(fakes.storedCalendars.last().identifier, QStringLiteral("c"));
        picker->setCurrentIndex(0);
        QCOMPARE(fakes.storedCalendars.size(), 1);
        QVERIFY(!view.integrationsViewModel()->selectedCalendar());
        picker->setCurrentIndex(1);

        // The pane keeps what it learnt across tabs.
        selectTab(view, SettingsView::Tab::general);
        selectTab(view, SettingsView::Tab::integrations);
        QCOMPARE(pane->currentContent(), pane->pickerContent());
        QCOMPARE(picker->currentIndex(), 1);
    }

    void aLongCalendarNameIsElidedAndNamedInFull()
    {
        ShellFakes fakes;
        const QString name
            = QStringLiteral("A very long local calendar name ") + QString(200, u'H');
        fakes.localCalendars = {localCalendar(QStringLiteral("a"), name),
            localCalendar(QStringLiteral("b"), QStringLiteral("Home"))};
        SettingsView view;
        IntegrationsSettingsView *pane = grantedPane(view);
        QVERIFY(pane);
        ElidingComboBox *picker = pane->picker();
        picker->setCurrentIndex(1);
        QCoreApplication::processEvents();
        const QRect placed(picker->mapTo(&view, QPoint(0, 0)), picker->size());
        QVERIFY(view.rect().contains(placed));
        // The closed picker ends the name with an ellipsis within its own width.
        const QString shown = picker->shownText();
        QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(name.startsWith(shown.chopped(1)));
        QVERIFY(picker->fontMetrics().horizontalAdvance(shown) < picker->width());
        QCOMPARE(picker->toolTip(), name);
        QCOMPARE(picker->itemData(1, Qt::ToolTipRole).toString(), name);
        picker->setCurrentIndex(2);
        QCOMPARE(picker->shownText(), QStringLiteral("Home"));
    }

    // As the General switch does: the error is told, and the picker shows the choice still in
    // force.
    void aChoiceThatCannotBeSavedIsTold()
    {
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(QStringLiteral("a"), QStringLiteral("Home")),
            localCalendar(QStringLiteral("b"), QStringLiteral("Work"))};
        SettingsView view;
        IntegrationsSettingsView *pane = grantedPane(view);
        QVERIFY(pane);
        pane->picker()->setCurrentIndex(1);
        QCOMPARE(fakes.storedCalendars.size(), 1);

        fakes.storeAnswer = failure(ErrorDomain::io, 1, QStringLiteral("could not be saved"));
        pane->picker()->setCurrentIndex(2);
        QTRY_VERIFY(pane->alertPresenter()->messageBox());
        QCOMPARE(pane->alertPresenter()->messageBox()->text(), QStringLiteral("Error occurred"));
        QCOMPARE(pane->picker()->currentIndex(), 1);
        QCOMPARE(view.integrationsViewModel()->selectedCalendar()->identifier, QStringLiteral("a"));
        QCOMPARE(fakes.storedCalendars.size(), 1);
    }

    // Access granted but not kept is told too; a question left unanswered stays silent.
    void accessThatCannotBeKeptIsTold_data()
    {
        QTest::addColumn<int>("domain");
        QTest::addColumn<bool>("told");
        QTest::newRow("settings not saved") << int(ErrorDomain::io) << true;
        QTest::newRow("not answered") << int(ErrorDomain::localCalendar) << false;
    }
    void accessThatCannotBeKeptIsTold()
    {
        QFETCH(int, domain);
        QFETCH(bool, told);
        ShellFakes fakes;
        fakes.accessAnswer = failure(ErrorDomain(domain), 0, QStringLiteral("x"));
        SettingsView view;
        view.show();
        selectTab(view, SettingsView::Tab::integrations);
        IntegrationsSettingsView *pane = view.integrationsPane();
        QTest::mouseClick(pane->permissionButton(), Qt::LeftButton);
        QTRY_COMPARE(fakes.accessRequests, 1);
        if (told)
            QTRY_VERIFY(pane->alertPresenter()->messageBox());
        QCoreApplication::processEvents();
        QCOMPARE(bool(pane->alertPresenter()->messageBox()), told);
        QCOMPARE(pane->currentContent(), pane->permissionContent());
    }

    void oneWindowAtATime()
    {
        ShellFakes fakes;
        QPointer<SettingsView> first = SettingsView::openWindow();
        QVERIFY(first->isVisible());
        QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!(first->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(SettingsView::openWindow(), first.data());
        first->selectTab(SettingsView::Tab::integrations);
        first->close();
        QTRY_VERIFY(!first);
        // A new window starts over.
        QPointer<SettingsView> second = SettingsView::openWindow();
        QCOMPARE(second->selectedTab(), SettingsView::Tab::general);
        QVERIFY(!second->integrationsViewModel()->available());
        second->close();
        QTRY_VERIFY(!second);
    }
};

TOLVO_WIDGET_TEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
