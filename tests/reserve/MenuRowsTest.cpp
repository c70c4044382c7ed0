#include "reserve/CheckmarkView.h"
#include "reserve/Control.h"
#include "reserve/MenuConfiguration.h"
#include "reserve/MenuElement.h"
#include "reserve/MenuLabel.h"
#include "reserve/MenuTiming.h"
#include "reserve/NSMenuItemProxy.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QAction>
#include <QLabel>

using namespace tolvo;

namespace {

using Alignment = MenuBaseConfiguration::Alignment;

class RightImages : public MenuConfiguration
{
public:
    Alignment imageAlignment() const override { return Alignment::right; }
};

QIcon maskIcon()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::black);
    QIcon icon(pixmap);
    icon.setIsMask(true);
    return icon;
}

MenuItem entry(const QString &title, std::function<void()> action = {}, bool enabled = true)
{
    MenuItem item;
    item.title = title;
    item.action = std::move(action);
    item.isEnabled = enabled;
    return item;
}

// A row shown on its own, the way a test can point at it.
struct ShownRow
{
    QWidget host;
    MenuElement *row;

    ShownRow(const MenuItem &item, bool selected, MenuStyle style)
        : row(new MenuElement(item, selected, std::move(style), &host))
    {
        host.resize(260, 60);
        row->setGeometry(0, 0, 260, row->sizeHint().height());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
    }
};

// What the row itself paints at a point (transparent where it paints nothing).
QColor fillAt(MenuElement *row, QPoint point)
{
    QImage image(row->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    row->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.pixelColor(point);
}

} // namespace

class MenuRowsTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void initTestCase() { menuTiming::setDurationScale(0.2); }

    void theStyleTable_data()
    {
        QTest::addColumn<bool>("app");
        QTest::newRow("default") << false;
        QTest::newRow("application") << true;
    }

    void theStyleTable()
    {
        QFETCH(bool, app);
        const MenuStyle style = app ? MenuStyle(std::make_shared<MenuConfig>())
                                    : MenuStyle(std::make_shared<MenuConfiguration>());
        const QColor green(84, 181, 146);
        const QColor darkGreen(76, 161, 132);
        QCOMPARE(style->titleSpacing(), 8);
        QCOMPARE(style->titleFont().pixelSize(), 18);
        QCOMPARE(style->titleFont().weight(), QFont::Light);
        QCOMPARE(style->titleColor(), QColor(Qt::white));
        QCOMPARE(style->backgroundColor().toRgb(), app ? QColor(48, 58, 72) : green);
        QCOMPARE(style->cornerRadius(), app ? 15 : 5);
        QCOMPARE(style->spareFlag1(), true);
        QCOMPARE(style->spareFlag2(), true);
        QCOMPARE(style->spareValue(), 0);
        QCOMPARE(style->selectionFadeDuration(), 0.15);
        QCOMPARE(style->contentInsets(), app ? QMarginsF(16, 8, 16, 8) : QMarginsF(16, 16, 16, 16));
        QVERIFY(!style->maximumHeight());
        QCOMPARE(style->separatorColor().toRgb(), darkGreen);
        QCOMPARE(style->separatorThickness(), 1);
        QCOMPARE(style->separatorHorizontalPadding().left, 16);
        QCOMPARE(style->separatorHorizontalPadding().right, 16);
        QCOMPARE(style->separatorVerticalPadding().top, 4);
        QCOMPARE(style->separatorVerticalPadding().bottom, 4);
        QCOMPARE(style->showsCheckmark(), !app);
        QCOMPARE(style->contentAlignment(), Alignment::left);
        QCOMPARE(style->imageAlignment(), Alignment::left);
        QCOMPARE(style->itemFont().pixelSize(), 14);
        QCOMPARE(style->itemFont().weight(), QFont::Light);
        QCOMPARE(style->itemHeight(), 40);
        QCOMPARE(style->hoverColor().toRgb(), app ? QColor(163, 176, 187) : darkGreen);
        QCOMPARE(style->itemTitleColor(), QColor(Qt::white));
        QCOMPARE(style->highlightedItemTitleColor(), QColor(Qt::white));
        QCOMPARE(style->checkmarkColor(), QColor(Qt::white));
        QCOMPARE(style->spareColor(), QColor(Qt::white));
        QCOMPARE(style->checkmarkSize(), 32);
        QCOMPARE(style->checkmarkLineWidth(), 1);
        QCOMPARE(style->itemSpacing(), 8);
        QCOMPARE(style->imageSize(), std::optional<qreal>(app ? 16 : 24));
        QCOMPARE(style->imageTintColor(), std::optional<QColor>(QColor(Qt::white)));
        QCOMPARE(style->highlightedImageTintColor(), QColor(Qt::white));
        QCOMPARE(style->hoverAnimationDuration(), 0.15);
    }

    void debugDescriptions()
    {
        MenuItem item = entry("Edit");
        item.id = QUuid("{6f1a2b3c-4d5e-4f60-8a9b-0c1d2e3f4a5b}");
        QCOMPARE(item.debugDescription(),
            QStringLiteral("title: Edit, id: 6F1A2B3C-4D5E-4F60-8A9B-0C1D2E3F4A5B"));
        MenuItem separator = MenuItem::separator();
        separator.title = "ignored";
        QCOMPARE(separator.debugDescription(), QStringLiteral("separator"));
    }

    void aRowIsLaidOutBetweenTheInsets_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<bool>("rightImages");
        QTest::newRow("image on the left") << true << false;
        QTest::newRow("no image") << false << false;
        QTest::newRow("image on the right") << true << true;
    }

    void aRowIsLaidOutBetweenTheInsets()
    {
        QFETCH(bool, image);
        QFETCH(bool, rightImages);
        MenuItem item = entry("Duplicate");
        if (image)
            item.image = maskIcon();
        const MenuStyle style = rightImages ? MenuStyle(std::make_shared<RightImages>())
                                            : MenuStyle(std::make_shared<MenuConfiguration>());
        ShownRow shown(item, false, style);
        MenuElement *row = shown.row;
        QCOMPARE(row->height(), 40);
        QCOMPARE(row->control()->geometry(), row->rect());
        QCOMPARE(row->imageView()->isVisible(), image);
        QVERIFY(row->checkmark());
        QCOMPARE(row->checkmark()->size(), QSize(32, 32));
        const int title = row->titleLabel()->x();
        const int mark = row->checkmark()->x();
        if (!rightImages) {
            QCOMPARE(title, image ? 16 + 24 + 8 : 16);
            if (image)
                QCOMPARE(row->imageView()->geometry(), QRect(16, 8, 24, 24));
            QCOMPARE(mark + 32, 260 - 16); // the mark on the other side
        } else {
            QCOMPARE(mark, 16);
            QCOMPARE(title, 16 + 32 + 8);
            QCOMPARE(row->imageView()->geometry().right() + 1, 260 - 16);
        }
    }

    void theApplicationStyleHasNoCheckmarkEvenWhenSelected()
    {
        MenuItem item = entry("Week");
        item.image = maskIcon();
        ShownRow shown(item, true, std::make_shared<MenuConfig>());
        QVERIFY(!shown.row->checkmark());
        QCOMPARE(shown.row->imageView()->size(), QSize(16, 16));
        // Built like an unselected row; only the hover handler knows it is selected.
        QCOMPARE(shown.row->titleLabel()->color(), QColor(Qt::white));
        shown.row->control()->setHovered(true);
        shown.row->control()->setHovered(false);
        QCOMPARE(shown.row->titleLabel()->color(), QColor(Qt::white));
    }

    void aSelectedRowShowsItsMarkAtOnce()
    {
        class Coloured : public MenuConfiguration
        {
        public:
            QColor itemTitleColor() const override { return Qt::black; }
            QColor highlightedItemTitleColor() const override { return Qt::yellow; }
            std::optional<QColor> imageTintColor() const override { return QColor(Qt::gray); }
            QColor highlightedImageTintColor() const override { return Qt::red; }
        };
        const auto style = std::make_shared<Coloured>();
        MenuItem item = entry("Day");
        item.image = maskIcon();
        ShownRow selected(item, true, style);
        ShownRow plain(entry("Week"), false, style);
        QCOMPARE(selected.row->checkmark()->strokeEnd(), 1.0);
        QCOMPARE(plain.row->checkmark()->strokeEnd(), 0.0);
        QCOMPARE(selected.row->titleLabel()->color(), QColor(Qt::yellow));
        QCOMPARE(selected.row->imageTint(), QColor(Qt::red));

        for (ShownRow *shown : {&selected, &plain}) {
            shown->row->control()->setHovered(true);
            QCOMPARE(shown->row->titleLabel()->color(), QColor(Qt::yellow));
            shown->row->control()->setHovered(false);
        }
        QCOMPARE(selected.row->titleLabel()->color(), QColor(Qt::yellow));
        QCOMPARE(selected.row->imageTint(), QColor(Qt::red));
        QCOMPARE(plain.row->titleLabel()->color(), QColor(Qt::black));
    }

    void theHoverFillFollowsThePointer()
    {
        const auto style = std::make_shared<MenuConfig>();
        ShownRow shown(entry("Month", [] {}), false, style);
        MenuElement *row = shown.row;
        const QPoint probe(130, 2); // beside the title, where nothing but the fill is drawn
        QCOMPARE(fillAt(row, probe).alpha(), 0);
        QTest::mouseMove(shown.host.windowHandle(), QPoint(130, 20));
        QTRY_COMPARE(row->control()->hoverProgress(), 1.0);
        QCOMPARE(fillAt(row, probe), QColor(163, 176, 187));
        QVERIFY(row->control()->isHovered());
        QTest::mouseMove(shown.host.windowHandle(), QPoint(130, 55)); // below the row
        QTRY_COMPARE(row->control()->hoverProgress(), 0.0);
        QCOMPARE(fillAt(row, probe).alpha(), 0);
    }

    void aDisabledRowNeitherLightsUpNorActs()
    {
        int runs = 0;
        ShownRow shown(entry(
                           "Delete", [&] { ++runs; }, false),
            false, std::make_shared<MenuConfig>());
        MenuElement *row = shown.row;
        QSignalSpy clicked(row, &MenuElement::clicked);
        QCOMPARE(row->opacity(), 0.5);
        QTest::mouseMove(shown.host.windowHandle(), QPoint(100, 20));
        QTest::mouseClick(row->control(), Qt::LeftButton, {}, QPoint(100, 20));
        row->control()->setHovered(true);
        row->activate();
        // Neither the fill nor the action was started, so nothing can come later.
        QVERIFY(!row->control()->isHovered());
        QVERIFY(!row->control()->isActionPending());
        QCoreApplication::processEvents();
        QCOMPARE(row->control()->hoverProgress(), 0.0);
        QCOMPARE(runs, 0);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!row->canActivate());
    }

    void aClickActsOnceAfterTheDelay()
    {
        int runs = 0;
        ShownRow shown(entry("Edit", [&] { ++runs; }), false, std::make_shared<MenuConfig>());
        MenuElement *row = shown.row;
        QSignalSpy clicked(row, &MenuElement::clicked);
        row->control()->setHovered(true);
        QTRY_COMPARE(row->control()->hoverProgress(), 1.0);
        QTest::mouseClick(row->control(), Qt::LeftButton, {}, QPoint(100, 20));
        // The fill and the hover look go at once; the action waits for the delay.
        QCOMPARE(row->control()->hoverProgress(), 0.0);
        QVERIFY(!row->control()->isHovered());
        QCOMPARE(runs, 0);
        QVERIFY(row->control()->isActionPending());
        QCOMPARE(row->control()->actionDelayMs(), menuTiming::milliseconds(0.15));
        QTRY_COMPARE(runs, 1);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).value<MenuElement *>(), row);
        // Nothing more is pending, so nothing more can run.
        QVERIFY(!row->control()->isActionPending());
        QCOMPARE(runs, 1);
    }

    void aPressDraggedOutOfTheRowDoesNothing()
    {
        int runs = 0;
        ShownRow shown(entry("Edit", [&] { ++runs; }), false, std::make_shared<MenuConfig>());
        Control *control = shown.row->control();
        QTest::mousePress(control, Qt::LeftButton, {}, QPoint(100, 20));
        QTest::mouseRelease(control, Qt::LeftButton, {}, QPoint(100, 52));
        QVERIFY(!control->isActionPending()); // so nothing can run later
        QCoreApplication::processEvents();
        QCOMPARE(runs, 0);
    }

    void aCustomRowShowsOnlyItsViewBetweenTheInsets_data()
    {
        QTest::addColumn<bool>("right");
        QTest::newRow("left") << false;
        QTest::newRow("right") << true;
    }

    void aCustomRowShowsOnlyItsViewBetweenTheInsets()
    {
        QFETCH(bool, right);
        class RightContent : public MenuConfiguration
        {
        public:
            Alignment contentAlignment() const override { return Alignment::right; }
        };
        MenuItem item;
        item.customView = [] {
            auto *label = new QLabel(QStringLiteral("custom"));
            label->setFixedSize(80, 30);
            return label;
        };
        const MenuStyle style = right ? MenuStyle(std::make_shared<RightContent>())
                                      : MenuStyle(std::make_shared<MenuConfiguration>());
        ShownRow shown(item, false, style);
        MenuElement *row = shown.row;
        QVERIFY(row->isCustom());
        QVERIFY(!row->control());
        QVERIFY(!row->checkmark());
        QVERIFY(!row->titleLabel());
        QCOMPARE(row->customView()->x(), right ? 260 - 16 - 80 : 16);
        QVERIFY(!row->canActivate());
    }

    void theCheckmarkDrawsInOverItsDuration()
    {
        CheckmarkView mark(std::make_shared<MenuConfiguration>());
        mark.resize(32, 32);
        int completions = 0;
        mark.showCheckmark(0.5, [&] { ++completions; });
        QCOMPARE(mark.strokeEnd(), 0.0);
        QTRY_COMPARE(completions, 1);
        QCOMPARE(mark.strokeEnd(), 1.0);

        const QPainterPath path = CheckmarkView::checkmarkPath(QSizeF(100, 100));
        QCOMPARE(QPointF(path.elementAt(0)), QPointF(0, 50)); // the ring starts on the left
        const QPointF tickEnd = path.currentPosition();
        QCOMPARE(tickEnd, QPointF(50 + 22.8, 50 - 13.4));
    }

    void theProxyRunsItsActionAndMakesMenuEntries()
    {
        int runs = 0;
        NSMenuItemProxy empty("Nothing", "", nullptr);
        empty.handleAction(); // no action: nothing happens
        NSMenuItemProxy proxy("Refresh", "r", [&] { ++runs; });
        QObject owner;
        QAction *action = proxy.makeAction(&owner);
        QCOMPARE(action->text(), QStringLiteral("Refresh"));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
        action->trigger();
        QCOMPARE(runs, 1);
        NSMenuItemProxy separator("", "", nullptr, true);
        QVERIFY(separator.makeAction(&owner)->isSeparator());
    }
};

TOLVO_WIDGET_TEST_MAIN(MenuRowsTest)
#include "MenuRowsTest.moc"
