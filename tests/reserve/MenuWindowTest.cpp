#include "reserve/MenuWindow.h"
#include "reserve/AppMenu.h"
#include "reserve/CollectionViewController.h"
#include "reserve/ContentViewController.h"
#include "reserve/Control.h"
#include "reserve/EventMonitor.h"
#include "reserve/MenuElement.h"
#include "reserve/MenuLabel.h"
#include "reserve/MenuScrollView.h"
#include "reserve/MenuScroller.h"
#include "reserve/MenuTiming.h"
#include "reserve/WindowFade.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace tolvo;

namespace {

class Limited : public MenuConfig
{
public:
    explicit Limited(qreal height)
        : m_height(height)
    {
    }
    std::optional<qreal> maximumHeight() const override { return m_height; }

private:
    qreal m_height;
};

MenuItem entry(
    const QString &title, std::function<void()> action = [] {}, bool enabled = true)
{
    MenuItem item;
    item.title = title;
    item.action = std::move(action);
    item.isEnabled = enabled;
    return item;
}

// The fade ends a rounding step away from the resting alpha (1 - 0.7 is not 0.3), so it is
// compared loosely: QTRY_COMPARE would poll with an exact == and only pass, on its fuzzy
// final check, after its whole timeout.
bool restsFaint(const MenuScroller &scroller)
{
    return qFuzzyCompare(scroller.displayedOpacity(), MenuScroller::restingAlpha);
}

QList<MenuItem> entries(int count)
{
    QList<MenuItem> items;
    for (int i = 0; i < count; ++i)
        items << entry(QStringLiteral("Entry %1").arg(i));
    return items;
}

} // namespace

class MenuWindowTest : public QObject
{
    Q_OBJECT

    QWidget *m_host = nullptr;
    QWidget *m_button = nullptr;

    void pressKey(AppMenu &menu, Qt::Key key)
    {
        QTest::keyClick(menu.window()->windowHandle(), key);
    }

private slots:
    void initTestCase() { menuTiming::setDurationScale(0.2); }

    void init()
    {
        m_host = new QWidget;
        m_host->resize(500, 400);
        m_button = new QWidget(m_host);
        m_button->setGeometry(40, 30, 120, 28);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host));
    }

    void cleanup()
    {
        delete m_host;
        test::deleteTopLevelWindows();
    }

    void theListSitsBelowTheTitleOrTheInset_data()
    {
        QTest::addColumn<bool>("title");
        QTest::addColumn<bool>("app");
        QTest::newRow("title") << true << true;
        QTest::newRow("no title, default style") << false << false;
        QTest::newRow("no title, application style") << false << true;
    }

    void theListSitsBelowTheTitleOrTheInset()
    {
        QFETCH(bool, title);
        QFETCH(bool, app);
        const MenuStyle style = app ? MenuStyle(std::make_shared<MenuConfig>())
                                    : MenuStyle(std::make_shared<MenuConfiguration>());
        ContentViewController view(title ? std::optional<QString>("Calendars") : std::nullopt,
            entries(3), style, std::nullopt);
        view.resize(view.sizeHint());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const int top = view.scrollView()->y();
        if (title) {
            QCOMPARE(view.titleLabel()->y(), 8);
            QCOMPARE(view.titleLabel()->x(), 16);
            QCOMPARE(top, view.titleLabel()->geometry().bottom() + 1 + 8);
        } else {
            QVERIFY(!view.titleLabel());
            QCOMPARE(top, app ? 8 : 16);
        }
        QCOMPARE(view.scrollView()->x(), 0);
        QCOMPARE(view.scrollView()->width(), view.width());
        QCOMPARE(view.height() - view.scrollView()->geometry().bottom() - 1, app ? 8 : 16);
    }

    void theListScrollsOnlyWithinAMaximumHeight_data()
    {
        QTest::addColumn<qreal>("limit"); // 0: none
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("scroller");
        QTest::newRow("no maximum") << 0.0 << 6 << 6 * 40 << false;
        QTest::newRow("overflowing") << 120.0 << 6 << 120 << true;
        QTest::newRow("negative") << -120.0 << 6 << 120 << true;
        QTest::newRow("room enough") << 200.0 << 2 << 200 << false;
    }

    void theListScrollsOnlyWithinAMaximumHeight()
    {
        QFETCH(qreal, limit);
        const std::optional<qreal> maximum
            = limit != 0 ? std::optional<qreal>(limit) : std::nullopt;
        QFETCH(int, count);
        QFETCH(int, height);
        QFETCH(bool, scroller);
        const MenuStyle style = maximum ? MenuStyle(std::make_shared<Limited>(*maximum))
                                        : MenuStyle(std::make_shared<MenuConfig>());
        ContentViewController view(std::nullopt, entries(count), style, std::nullopt);
        view.resize(view.sizeHint());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.scrollView()->height(), height);
        QCOMPARE(view.scrollView()->isScrollingEnabled(), maximum.has_value());
        QTRY_COMPARE(view.scrollView()->verticalScrollBar()->isVisible(), scroller);
        QVERIFY(qobject_cast<MenuScroller *>(view.scrollView()->verticalScrollBar()));
        if (!maximum) {
            // Every row shows, whole.
            QCOMPARE(view.elementAt(count - 1)->geometry().bottom() + 1, height);
        }
    }

    void aListThatDoesNotScrollKeepsTheWheel()
    {
        QScrollArea outer;
        auto *page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        auto *view = new ContentViewController(
            std::nullopt, entries(3), std::make_shared<MenuConfig>(), std::nullopt);
        layout->addWidget(view);
        layout->addSpacing(2000);
        outer.setWidget(page);
        outer.resize(300, 300);
        outer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outer));
        QWidget *row = view->elementAt(1);
        const QPointF at(10, 10);
        QWheelEvent wheel(at, row->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(row, &wheel);
        QCOMPARE(outer.verticalScrollBar()->value(), 0);
    }

    void onlyTheSelectedEntryIsBuiltSelected()
    {
        QList<MenuItem> items = entries(4);
        ContentViewController none(std::nullopt, items, std::make_shared<MenuConfiguration>(), {});
        ContentViewController one(
            std::nullopt, items, std::make_shared<MenuConfiguration>(), items[2].id);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!none.elementAt(i)->isSelected());
            QCOMPARE(one.elementAt(i)->isSelected(), i == 2);
        }
    }

    void aClickReportsItsEntryPastSeparators()
    {
        QList<MenuItem> items = entries(3);
        items.insert(1, MenuItem::separator());
        ContentViewController view(std::nullopt, items, std::make_shared<MenuConfiguration>(), {});
        QSignalSpy chosen(&view, &ContentViewController::didSelectItem);
        QCOMPARE(view.menuElements().size(), 4);
        QCOMPARE(view.menuElements().at(1)->height(), 9);
        view.menuElementDidClick(view.menuElements().at(2));
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toUuid(), items[2].id);
        QLabel stranger;
        view.menuElementDidClick(&stranger);
        QCOMPARE(chosen.count(), 1);
    }

    void theKeyboardSkipsSeparatorsAndDisabledEntries()
    {
        QList<MenuItem> items {entry("A"), MenuItem::separator(),
            entry(
                "B", [] {}, false),
            entry("C"), entry("D")};
        items[4].customView = [] { return new QLabel("custom"); };
        ContentViewController view(std::nullopt, items, std::make_shared<MenuConfig>(), {});
        QList<qsizetype> visited;
        for (int i = 0; i < 3; ++i) {
            view.moveHighlight(1);
            visited << view.highlightedIndex();
        }
        QCOMPARE(visited, (QList<qsizetype> {0, 3, 0}));
        view.moveHighlight(-1);
        QCOMPARE(view.highlightedIndex(), 3);
        QVERIFY(view.elementAt(3)->isHighlighted());
        QVERIFY(!view.elementAt(0)->isHighlighted());
    }

    void aWindowKeepsItsContentView()
    {
        MenuWindow window(std::make_shared<MenuConfig>());
        auto *first = new QLabel("first");
        window.setContentView(first);
        window.setContentView(first);
        QCOMPARE(window.contentView(), first);
        QCOMPARE(first->parentWidget(), &window);
        auto *second = new QLabel("second");
        window.setContentView(second);
        QCOMPARE(window.contentView(), second);
        QVERIFY(first->parentWidget() != &window);
        delete first;
        QCOMPARE(window.cornerRadiusValue(), 15);
        QCOMPARE(window.background(), QColor(48, 58, 72));
    }

    void fadeOutHidesAndKeepsTheOpacity()
    {
        QWidget window;
        window.resize(50, 50);
        window.show();
        window.setWindowOpacity(0.8);
        windowFade::fadeOut(&window);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(window.windowOpacity(), 0.8);
    }

    void aChoiceWithNoWindowIsOnlyRecorded()
    {
        AppMenu menu(entries(2), std::make_shared<MenuConfig>());
        QSignalSpy closed(&menu, &AppMenu::closed);
        const QUuid id = menu.items().at(1).id;
        menu.didSelectItem(id);
        QCOMPARE(menu.selectedId(), std::optional<QUuid>(id));
        // With no window there is no fade to wait for: a close could only be queued.
        QCoreApplication::processEvents();
        QCOMPARE(closed.count(), 0);
    }

    void theMenuOpensBelowItsTarget()
    {
        AppMenu menu(entries(3), std::make_shared<MenuConfig>(), QStringLiteral("Views"));
        menu.popUp(m_button);
        QVERIFY(menu.isOpen());
        MenuWindow *window = menu.window();
        QVERIFY(window->isVisible());
        QVERIFY(window->windowFlags() & Qt::Popup);
        QCOMPARE(window->parentWidget(), m_host);
        QVERIFY(window->width() >= m_button->width());
        QCOMPARE(
            window->y(), m_button->mapToGlobal(QPoint(0, m_button->height())).y() + Popover::gap);
        QVERIFY(menu.localMonitor() && menu.localMonitor()->isRunning());
        QTRY_COMPARE(window->windowOpacity(), 1.0);
        menu.popUp(m_button); // already open: nothing happens
        QCOMPARE(menu.window(), window);
    }

    void openHoverClickActThenClose()
    {
        int runs = 0;
        // Read when the action runs rather than after it: the fade is short, and a slow machine
        // may already have finished it by the time the test looks.
        bool openWhenRun = false;
        AppMenu *opened = nullptr;
        QList<MenuItem> items = entries(3);
        items[1].action = [&] {
            ++runs;
            openWhenRun = opened && opened->isOpen();
        };
        AppMenu menu(items, std::make_shared<MenuConfig>());
        opened = &menu;
        QSignalSpy closed(&menu, &AppMenu::closed);
        bool shown = true;
        MenuBinding binding {[&](bool state) { shown = state; }};
        connect(&menu, &AppMenu::closed, this, [&] { binding.menuDidClose(); });
        menu.popUp(m_button);
        QPointer<MenuWindow> window = menu.window();
        MenuElement *row = menu.contentView()->elementAt(1);
        QTest::mouseMove(window->windowHandle(), row->mapTo(window.data(), QPoint(20, 20)));
        QTRY_VERIFY(row->control()->isHovered());
        QTest::mouseClick(row->control(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(runs, 0);
        QTRY_COMPARE(runs, 1);
        QVERIFY(openWhenRun); // fading
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(menu.selectedId(), std::optional<QUuid>(items[1].id));
        QVERIFY(!menu.isOpen());
        QVERIFY(!menu.localMonitor());
        QTRY_VERIFY(!window);
        QVERIFY(!shown);
    }

    void theCloseIsReportedOnceForTwoChoices()
    {
        AppMenu menu(entries(3), std::make_shared<MenuConfig>());
        QSignalSpy closed(&menu, &AppMenu::closed);
        menu.popUp(m_button);
        QPointer<MenuWindow> window = menu.window();
        menu.didSelectItem(menu.items().at(0).id);
        menu.didSelectItem(menu.items().at(2).id);
        QTRY_COMPARE(closed.count(), 1);
        // The fades belong to the window: once it is gone, none can close again.
        QTRY_VERIFY(!window);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(menu.selectedId(), std::optional<QUuid>(menu.items().at(2).id));
    }

    void theKeyboardChoosesAndEscapeCloses()
    {
        int runs = 0;
        QList<MenuItem> items {entry("A"), MenuItem::separator(),
            entry(
                "B", [] {}, false),
            entry("C", [&] { ++runs; })};
        AppMenu menu(items, std::make_shared<MenuConfig>());
        QSignalSpy closed(&menu, &AppMenu::closed);
        menu.popUp(m_button);
        pressKey(menu, Qt::Key_Down);
        pressKey(menu, Qt::Key_Down);
        QCOMPARE(menu.contentView()->highlightedIndex(), 3);
        pressKey(menu, Qt::Key_Return);
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(runs, 1);
        QCOMPARE(menu.selectedId(), std::optional<QUuid>(items[3].id));

        menu.popUp(m_button);
        QVERIFY(menu.isOpen());
        pressKey(menu, Qt::Key_Escape);
        QVERIFY(!menu.isOpen());
        QCOMPARE(closed.count(), 2);
        QCOMPARE(runs, 1);
    }

    void aMenuDestroyedWhileOpenTakesItsWindow()
    {
        auto menu = std::make_unique<AppMenu>(entries(3), std::make_shared<MenuConfig>());
        QSignalSpy closed(menu.get(), &AppMenu::closed);
        menu->popUp(m_button);
        QPointer<MenuWindow> window = menu->window();
        QVERIFY(window && window->isVisible());
        menu.reset();
        QVERIFY(!window || !window->isVisible());
        QTRY_VERIFY(!window);
        QCOMPARE(closed.count(), 0);
        // A key afterwards reaches nothing that is gone.
        QTest::keyClick(m_host->windowHandle(), Qt::Key_Escape);
    }

    void aMenuWhoseTargetWindowGoesClosesOnce()
    {
        AppMenu menu(entries(3), std::make_shared<MenuConfig>());
        QSignalSpy closed(&menu, &AppMenu::closed);
        menu.popUp(m_button);
        QVERIFY(menu.isOpen() && menu.localMonitor());
        delete m_host; // the menu's window goes with it
        m_host = nullptr;
        QCOMPARE(closed.count(), 1);
        QVERIFY(!menu.isOpen());
        QVERIFY(!menu.localMonitor());
        menu.dismiss();
        QCoreApplication::processEvents();
        QCOMPARE(closed.count(), 1);
    }

    void aMenuDestroyedDuringItsFadeStaysQuiet()
    {
        auto menu = std::make_unique<AppMenu>(entries(3), std::make_shared<MenuConfig>());
        menu->popUp(m_button);
        QPointer<MenuWindow> window = menu->window();
        menu->didSelectItem(menu->items().at(0).id);
        menu.reset();
        QTRY_VERIFY(!window);
    }

    void theScrollerBrightensWhileScrollingAndRestsAfter()
    {
        MenuScroller scroller;
        scroller.setRange(0, 100);
        scroller.resize(15, 200); // not shown: the pointer must not wander into it
        QCOMPARE(scroller.requestedAlpha(), 0.0);
        QCOMPARE(scroller.displayedOpacity(), 1.0);
        scroller.setValue(10);
        QCOMPARE(scroller.requestedAlpha(), 1.0);
        QVERIFY(scroller.isFadeOutPending());
        scroller.setValue(20); // re-arms the fade
        QVERIFY(scroller.isFadeOutPending());
        QTRY_COMPARE(scroller.requestedAlpha(), MenuScroller::restingAlpha);
        QTRY_VERIFY(restsFaint(scroller));

        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&scroller, &move);
        QCOMPARE(scroller.displayedOpacity(), 1.0); // at once
        QVERIFY(!scroller.isFading());

        scroller.setValue(30);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&scroller, &leave);
        QCOMPARE(scroller.requestedAlpha(), MenuScroller::restingAlpha);
        QVERIFY(scroller.isFadeOutPending()); // leaving does not cancel it
        QTRY_VERIFY(!scroller.isFadeOutPending());
        QTRY_VERIFY(restsFaint(scroller));
    }

    void theScrollerDrawsAKnobUnderAFaintSlot()
    {
        MenuScroller scroller;
        scroller.setRange(0, 100);
        scroller.setPageStep(100);
        scroller.resize(15, 200);
        const QRectF knob = scroller.knobRect();
        const QRectF slot = scroller.slotRect();
        QCOMPARE(knob.left(), 5.0);
        QCOMPARE(knob.width(), 5.0);
        QCOMPARE(slot.left(), 3.0);
        QCOMPARE(slot.width(), 9.0);
        QImage image(scroller.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        scroller.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QColor inKnob = image.pixelColor(7, int(knob.center().y()));
        const QColor slotOnly = image.pixelColor(3, int(knob.center().y()));
        QCOMPARE(inKnob, QColor(Qt::white));
        QVERIFY(slotOnly.red() > 20 && slotOnly.red() < 60); // white at 0.15 on black

        MenuScroller across(MenuScroller::Type::horizontal);
        across.setRange(0, 100);
        across.setPageStep(50);
        across.resize(200, 15);
        QCOMPARE(across.knobRect().top(), 3.0);
        QCOMPARE(across.knobRect().height(), 9.0);
    }

    void theEventListShowsItsItemsAndKeepsUnchangedRows()
    {
        const QList<QUuid> ids {QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()};
        auto item = [](QUuid id, QString text) {
            return EventListItem {id, [text] {
                                      auto *label = new QLabel(text);
                                      label->setFixedHeight(40);
                                      return label;
                                  }};
        };
        CollectionViewController empty;
        QCOMPARE(empty.count(), 0);
        QVERIFY(!empty.autoFillBackground());
        QVERIFY(!empty.viewport()->autoFillBackground());
        QVERIFY(!empty.widget()->autoFillBackground());
        QCOMPARE(empty.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(empty.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

        CollectionViewController list({item(ids[0], "a"), item(ids[1], "b"), item(ids[2], "c")});
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.identifiers(), ids);
        QCOMPARE(list.rowWidget(ids[0])->geometry().topLeft(), QPoint(10, 10));
        QCOMPARE(list.rowWidget(ids[1])->y(), 10 + 40 + 10);
        QCOMPARE(list.rowWidget(ids[0])->width(), list.viewport()->width() - 20);

        QWidget *first = list.rowWidget(ids[0]);
        QWidget *third = list.rowWidget(ids[2]);
        QPointer<QWidget> second = list.rowWidget(ids[1]);
        const QUuid fresh = QUuid::createUuid();
        list.setItems({item(ids[2], "c"), item(fresh, "d"), item(ids[0], "a")});
        QCOMPARE(list.identifiers(), (QList<QUuid> {ids[2], fresh, ids[0]}));
        QCOMPARE(list.rowWidget(ids[0]), first);
        QCOMPARE(list.rowWidget(ids[2]), third);
        QVERIFY(!second);
        QTRY_COMPARE(list.rowWidget(ids[2])->y(), 10);
    }
};

TOLVO_WIDGET_TEST_MAIN(MenuWindowTest)
#include "MenuWindowTest.moc"
