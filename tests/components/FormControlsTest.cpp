#include "components/Fonts.h"
#include "components/FormWindow.h"
#include "components/MacEditorTextView.h"
#include "components/Popover.h"
#include "components/TolvoTextField.h"
#include "components/WindowReader.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QLabel>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

using namespace tolvo;

namespace {

// Stands in for a form's view model: a text property that re-announces every write, and
// an editor bound to it both ways, the way the forms bind theirs.
class FormModel : public QObject
{
    Q_OBJECT
public:
    QString description;
    int writes = 0;
    void setDescription(const QString &text)
    {
        description = text;
        ++writes;
        emit descriptionChanged(text);
    }
signals:
    void descriptionChanged(const QString &text);
};

void bind(FormModel &model, MacEditorTextView &editor)
{
    QObject::connect(&editor, &MacEditorTextView::textChanged, &model, &FormModel::setDescription);
    QObject::connect(&model, &FormModel::descriptionChanged, &editor, &MacEditorTextView::setText);
}

// Grabs a control on a black parent, so that what it leaves unpainted shows black.
QImage grabOnBlack(QWidget &control)
{
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, Qt::black);
    parent.setPalette(palette);
    parent.resize(control.size());
    QWidget *oldParent = control.parentWidget();
    control.setParent(&parent);
    control.move(0, 0);
    control.show();
    const QImage image = parent.grab().toImage();
    control.setParent(oldParent);
    return image;
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Base, QColor(40, 40, 40));
    dark.setColor(QPalette::PlaceholderText, QColor(200, 200, 200));
    return dark;
}

} // namespace

class FormControlsTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        test::deleteTopLevelWindows();
        QApplication::setPalette(QPalette());
    }

    void fieldIsAWhiteCardWithoutFrame()
    {
        QApplication::setPalette(darkPalette());
        TolvoTextField field;
        field.setText(QStringLiteral("Standup"));
        field.resize(200, 40);
        QCOMPARE(field.palette().color(QPalette::Text), QColor(48, 48, 48));
        QCOMPARE(field.palette().color(QPalette::PlaceholderText), QColor(163, 176, 187));
        QVERIFY(!field.hasFrame());
        QImage image = grabOnBlack(field);
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black)); // outside radius 16
        QCOMPARE(image.pixelColor(100, 1), QColor(Qt::white));

        field.setInvalid(true);
        image = grabOnBlack(field);
        QCOMPARE(image.pixelColor(100, 1), QColor(Qt::red));
        field.setInvalid(false);
        QCOMPARE(grabOnBlack(field).pixelColor(100, 1), QColor(Qt::white));
    }

    void hintKeepsItsRoomAndShowsWhileFocused()
    {
        TolvoTextField field;
        field.setHint(QStringLiteral("hh:mm"));
        const QSize hidden = field.sizeHint();
        field.setHintShown(true);
        QCOMPARE(field.sizeHint(), hidden);
        QVERIFY(hidden.width() >= field.fontMetrics().horizontalAdvance("hh:mm") + 32);

        field.resize(120, 36);
        field.show();
        field.activateWindow();
        field.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        QVERIFY(field.hasFocus());
        auto greyIn = [](const QImage &image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 16; x < 60; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (qAbs(c.red() - 163) < 20 && qAbs(c.blue() - 187) < 20 && c.red() < 200)
                        return true;
                }
            return false;
        };
        QVERIFY(greyIn(field.grab().toImage()));
        field.setHintShown(false);
        QVERIFY(!greyIn(field.grab().toImage()));
    }

    void editorKeepsCaretAndUndoThroughTheBinding()
    {
        FormModel model;
        MacEditorTextView editor;
        bind(model, editor);
        editor.resize(300, 120);
        editor.show();
        editor.editor()->setFocus();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));

        model.setDescription(QStringLiteral("Agenda"));
        QCOMPARE(editor.text(), QStringLiteral("Agenda"));
        QTextCursor cursor = editor.editor()->textCursor();
        cursor.setPosition(2);
        editor.editor()->setTextCursor(cursor);
        QTest::keyClicks(editor.editor(), QStringLiteral("XY"));
        QCOMPARE(model.description, QStringLiteral("AgXYenda"));
        QCOMPARE(editor.editor()->textCursor().position(), 4);

        editor.editor()->undo();
        QVERIFY(editor.text() != QStringLiteral("AgXYenda"));
        QCOMPARE(model.description, editor.text());

        // A shorter text from outside than where the caret stands: clamped, no trouble.
        cursor = editor.editor()->textCursor();
        cursor.setPosition(6);
        editor.editor()->setTextCursor(cursor);
        model.setDescription(QStringLiteral("Hi"));
        QCOMPARE(editor.text(), QStringLiteral("Hi"));
        QCOMPARE(editor.editor()->textCursor().position(), 2);
    }

    void editorTextSetFromCodeIsNotAnUndoStep()
    {
        FormModel model;
        MacEditorTextView editor;
        bind(model, editor);
        editor.resize(300, 120);
        editor.show();
        editor.editor()->setFocus();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        model.setDescription(QStringLiteral("Weekly sync"));
        QTest::keyClick(editor.editor(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.text(), QStringLiteral("Weekly sync"));
        QCOMPARE(model.description, QStringLiteral("Weekly sync"));

        // Typing after the fill is still undone as usual.
        editor.editor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor.editor(), QStringLiteral("!"));
        QCOMPARE(model.description, QStringLiteral("Weekly sync!"));
        QTest::keyClick(editor.editor(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(model.description, QStringLiteral("Weekly sync"));
    }

    void editorScrollBarStaysInsideTheCard()
    {
        MacEditorTextView editor;
        editor.resize(200, 120);
        editor.setText(QString(40, QLatin1Char('\n')));
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QScrollBar *bar = editor.editor()->verticalScrollBar();
        QTRY_VERIFY(bar->isVisible());
        QPainterPath card;
        card.addRoundedRect(QRectF(editor.rect()), MacEditorTextView::cornerRadius,
            MacEditorTextView::cornerRadius);
        // The centres of the bar's corner pixels.
        const QRectF barRect = QRectF(bar->mapTo(&editor, QPoint(0, 0)), QSizeF(bar->size()))
                                   .adjusted(0.5, 0.5, -0.5, -0.5);
        for (const QPointF &corner :
            {barRect.topLeft(), barRect.topRight(), barRect.bottomLeft(), barRect.bottomRight()})
            QVERIFY2(card.contains(corner),
                qPrintable(
                    QStringLiteral("%1,%2 outside the card").arg(corner.x()).arg(corner.y())));
        QVERIFY(barRect.right() >= editor.width() - 24); // still at the card's edge
        QVERIFY(barRect.height() >= editor.height() / 2);
    }

    void editorWrapsAndSignalsFocus()
    {
        MacEditorTextView editor;
        editor.resize(200, 120);
        QSignalSpy began(&editor, &MacEditorTextView::editingChanged);
        QSignalSpy ended(&editor, &MacEditorTextView::committed);
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        editor.setText(
            QString(200, QLatin1Char('w')).replace(QRegularExpression("(w{9})"), "\\1 "));
        QCOMPARE(editor.editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(editor.editor()->document()->blockCount(), 1);
        QVERIFY(editor.editor()->document()->firstBlock().layout()->lineCount() > 1);
        QCOMPARE(editor.editor()->font().pixelSize(), 14);
        QVERIFY2(hasEqualGlyphWidths(editor.editor()->font()),
            qPrintable(QFontInfo(editor.editor()->font()).family()));

        editor.editor()->setFocus();
        QTRY_COMPARE(began.count(), 1);
        QWidget other;
        auto *field = new QLabel(&other);
        field->setFocusPolicy(Qt::StrongFocus);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(began.count(), 1);
    }

    void editorStaysReadableOnADarkDesktop()
    {
        QApplication::setPalette(darkPalette());
        MacEditorTextView editor;
        editor.resize(200, 80);
        editor.setText(QStringLiteral("██████"));
        QCOMPARE(editor.editor()->palette().color(QPalette::Text), QColor(48, 48, 48));
        const QImage image = grabOnBlack(editor);
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black)); // outside radius 16
        QCOMPARE(image.pixelColor(100, 78), QColor(Qt::white));
        bool dark = false;
        for (int x = 16; x < 80 && !dark; ++x)
            for (int y = 0; y < 30 && !dark; ++y)
                dark = image.pixelColor(x, y).lightness() < 80;
        QVERIFY2(dark, "text is drawn dark on the white card");
    }

    void windowReaderBuildsOnceShown()
    {
        QWidget window;
        QList<QWidget *> built;
        QList<QWidget *> auxiliary;
        auto *reader = new WindowReader(
            [&built](QWidget *read) {
                built << read;
                return new QLabel(QStringLiteral("content"));
            },
            [&auxiliary](QWidget *read) { auxiliary << read; }, &window);
        (new QVBoxLayout(&window))->addWidget(reader);
        QVERIFY(built.isEmpty());
        QVERIFY(!reader->content());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(built, QList<QWidget *> {&window});
        QCOMPARE(reader->readWindow(), &window);
        QCOMPARE(auxiliary, QList<QWidget *> {&window});
        window.hide();
        window.show();
        QCOMPARE(built.size(), 1);
        QCOMPARE(auxiliary, (QList<QWidget *> {&window, &window}));
    }

    // Restoring a minimised window is not a new showing: the set-up (which centres the main
    // window) must not run again and move a window the user has placed.
    void windowReaderSetsUpOnceAcrossMinimiseAndRestore()
    {
        QWidget window;
        int auxiliary = 0;
        auto *reader = new WindowReader([](QWidget *) { return new QLabel(QStringLiteral("x")); },
            [&auxiliary](QWidget *) { ++auxiliary; }, &window);
        (new QVBoxLayout(&window))->addWidget(reader);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(auxiliary, 1);
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        window.showNormal();
        QTRY_VERIFY(!window.isMinimized());
        QCoreApplication::processEvents();
        QCOMPARE(auxiliary, 1);
    }

    // Sizes relative to the screen the test runs on: a form that fits, one taller and one
    // larger than the screen.
    void formWindowFitsItsScreen_data()
    {
        QTest::addColumn<QSize>("beyond");
        QTest::newRow("fits") << QSize(-400, -300);
        QTest::newRow("taller") << QSize(-300, 200);
        QTest::newRow("larger") << QSize(300, 400);
    }
    void formWindowFitsItsScreen()
    {
        QFETCH(QSize, beyond);
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize wanted = room.size() + beyond;
        auto *form = new QWidget;
        form->setMinimumSize(wanted.width() - 40, wanted.height() - 40);
        auto *save = new QPushButton(QStringLiteral("Save"), form);
        save->setGeometry(form->minimumWidth() - 90, form->minimumHeight() - 40, 80, 30);
        QPointer<FormWindow> window = new FormWindow(wanted, form);
        window->present();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QVERIFY(room.contains(window->frameGeometry()));
        QCOMPARE(window->size().expandedTo(wanted), wanted);
        // It cannot grow, so it offers no maximise; it can still be closed and minimised.
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        if (beyond.width() < 0 && beyond.height() < 0)
            QCOMPARE(window->size(), wanted);
        // The button at the far corner can be scrolled into the window.
        window->scrollArea()->ensureWidgetVisible(save);
        const QRect placed(save->mapTo(window, QPoint(0, 0)), save->size());
        QVERIFY(window->rect().contains(placed));
        window->close();
        QTRY_VERIFY(!window);
    }

    void popoverPlacesItselfAndFlips()
    {
        const QRect area(0, 0, 1000, 800);
        bool flipped = true;
        QRect placed = Popover::placement(QRect(100, 100, 40, 20), QSize(200, 150), area, &flipped);
        QVERIFY(!flipped);
        QCOMPARE(placed.top(), 100 + 20 + Popover::gap);
        QCOMPARE(placed.left(), 119 - 100); // centred under the anchor

        placed = Popover::placement(QRect(100, 700, 40, 20), QSize(200, 150), area, &flipped);
        QVERIFY(flipped);
        QCOMPARE(placed.bottom(), 700 - 1 - Popover::gap);

        placed = Popover::placement(QRect(980, 100, 20, 20), QSize(200, 150), area, &flipped);
        QCOMPARE(placed.right(), area.right());
    }

    void popoverOpensBesideItsAnchor_data()
    {
        QTest::addColumn<int>("side"); // Popover::Side
        QTest::addColumn<bool>("rightToLeft");
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("flipped");
        // Area 0,0 1000x800; popover 200x150; gap 6.
        const int leading = int(Popover::Side::leading);
        const int trailing = int(Popover::Side::trailing);
        QTest::newRow("leading, room")
            << leading << false << QRect(400, 300, 100, 40) << QRect(194, 244, 200, 150) << false;
        QTest::newRow("leading, none: trailing")
            << leading << false << QRect(100, 300, 100, 40) << QRect(206, 244, 200, 150) << true;
        QTest::newRow("trailing, room")
            << trailing << false << QRect(400, 300, 100, 40) << QRect(506, 244, 200, 150) << false;
        QTest::newRow("trailing at the edge: leading")
            << trailing << false << QRect(850, 300, 100, 40) << QRect(644, 244, 200, 150) << true;
        QTest::newRow("right to left: leading is right")
            << leading << true << QRect(400, 300, 100, 40) << QRect(506, 244, 200, 150) << false;
        QTest::newRow("near the bottom: kept on screen")
            << trailing << false << QRect(400, 760, 100, 30) << QRect(506, 650, 200, 150) << false;
        QTest::newRow("no room either side: roomier, inside")
            << leading << false << QRect(150, 300, 750, 40) << QRect(0, 244, 200, 150) << false;
    }
    void popoverOpensBesideItsAnchor()
    {
        QFETCH(int, side);
        QFETCH(bool, rightToLeft);
        QFETCH(QRect, anchor);
        QFETCH(QRect, expected);
        QFETCH(bool, flipped);
        bool wentOver = !flipped;
        const QRect placed = Popover::placement(anchor, QSize(200, 150), QRect(0, 0, 1000, 800),
            &wentOver, Popover::Side(side), rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        QCOMPARE(placed, expected);
        QCOMPARE(wentOver, flipped);
    }

    void popoverOpensAtItsAnchorAndAPressThereClosesIt()
    {
        QWidget window;
        window.resize(400, 300);
        auto *anchor = new QWidget(&window);
        anchor->setGeometry(20, 20, 60, 24);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Popover popover(new QLabel(QStringLiteral("Details")));
        QSignalSpy closed(&popover, &Popover::closed);
        popover.showFor(anchor);
        QVERIFY(popover.isVisible());
        QCOMPARE(popover.anchor(), anchor);
        QCOMPARE(popover.y(), anchor->mapToGlobal(QPoint(0, 0)).y() + 24 + Popover::gap);
        // Offscreen nothing shows through a window: the card is opaque and the window itself
        // is cut round, so its corners cannot show black.
        QVERIFY(!popover.isTranslucent());
        QVERIFY(!popover.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(!popover.mask().contains(QPoint(0, 0)));
        QVERIFY(popover.mask().contains(popover.rect().center()));
        QVERIFY(popover.mask().contains(QPoint(popover.width() / 2, 0)));
        QCOMPARE(popover.grab().toImage().pixelColor(popover.width() / 2, popover.height() / 2),
            popover.background());

        const QPoint onAnchor = popover.mapFromGlobal(anchor->mapToGlobal(QPoint(30, 12)));
        QTest::mousePress(&popover, Qt::LeftButton, Qt::NoModifier, onAnchor);
        QVERIFY(!popover.isVisible());
        QVERIFY(popover.testAttribute(Qt::WA_NoMouseReplay));
        QCOMPARE(closed.count(), 1);

        popover.showFor(anchor);
        const QPoint elsewhere = popover.mapFromGlobal(window.mapToGlobal(QPoint(350, 250)));
        QTest::mousePress(&popover, Qt::LeftButton, Qt::NoModifier, elsewhere);
        QVERIFY(!popover.isVisible());
        QVERIFY(!popover.testAttribute(Qt::WA_NoMouseReplay));
    }
};

TOLVO_WIDGET_TEST_MAIN(FormControlsTest)
#include "FormControlsTest.moc"
