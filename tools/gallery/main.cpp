// Every shared control on one page, in the light or the dark appearance, for a person to look
// at (or to grab to PNG offscreen: QT_QPA_PLATFORM=offscreen tolvo-gallery --grab out.png).

#include "components/AppKitProgressView.h"
#include "components/Appearance.h"
#include "components/CalendarSelectionView.h"
#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/MacEditorTextView.h"
#include "components/Palette.h"
#include "components/Popover.h"
#include "components/ReminderTimeView.h"
#include "components/StyledButton.h"
#include "components/TimeSelectionView.h"
#include "components/TolvoTextField.h"
#include "components/VisualEffectView.h"
#include "modules/AddMeeting/AddMeetingView.h"
#include "modules/AddMeeting/AddMeetingViewModel.h"
#include "modules/EditMeeting/EditMeetingView.h"
#include "modules/EditMeeting/EditMeetingViewModel.h"
#include "modules/Feedback/UserFeedbackView.h"
#include "modules/Feedback/UserFeedbackViewModel.h"
#include "modules/FullScreenNotification/FullScreenView.h"
#include "modules/FullScreenNotification/FullScreenViewModel.h"

#include "MenuPage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

using namespace tolvo;

namespace {

QLabel *caption(const QString &text)
{
    auto *label = new QLabel(text);
    label->setFont(uiFont(12, QFont::DemiBold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, DynamicColor {palette::textDark(), Qt::white}.resolve());
    label->setPalette(palette);
    return label;
}

QWidget *swatch(const QColor &color, const QString &name)
{
    auto *box = new QLabel(name);
    box->setFixedSize(120, 40);
    box->setAlignment(Qt::AlignCenter);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::WindowText, color.lightness() > 150 ? Qt::black : Qt::white);
    box->setPalette(palette);
    return box;
}

StyledButton *button(ButtonStyle style, const QString &text, QSize size, bool down = false)
{
    auto *result = new StyledButton(style, text);
    if (size.isValid())
        result->setFixedSize(size);
    result->setDown(down);
    return result;
}

QWidget *gallery()
{
    QWidget *page = galleryPages::newPage();

    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(14);
    int row = 0;
    auto addRow = [&](const QString &title, const QList<QWidget *> &widgets) {
        grid->addWidget(caption(title), row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto *line = new QHBoxLayout;
        line->setSpacing(12);
        for (QWidget *widget : widgets)
            line->addWidget(widget, 0, Qt::AlignVCenter);
        line->addStretch();
        grid->addLayout(line, row, 1);
        ++row;
    };

    addRow(QStringLiteral("Palette"),
        {swatch(palette::backgroundDark(), "backgroundDark"),
            swatch(palette::accentBlue(), "accentBlue"), swatch(palette::textDark(), "textDark"),
            swatch(palette::textGray(), "textGray"),
            swatch(palette::backgroundLight(), "backgroundLight"),
            swatch(palette::primaryBlue(), "#3066BE")});
    const QSize formButton(100, 35);
    addRow(QStringLiteral("Buttons"),
        {button(ButtonStyle::gray, "Cancel", formButton),
            button(ButtonStyle::grayed, "Edit", formButton),
            button(ButtonStyle::blue, "Save", formButton),
            button(ButtonStyle::blue, "Refresh", QSize())});
    addRow(QStringLiteral("Pressed"),
        {button(ButtonStyle::gray, "Cancel", formButton, true),
            button(ButtonStyle::grayed, "Edit", formButton, true),
            button(ButtonStyle::blue, "Save", formButton, true)});
    auto *selectedDay = button(ButtonStyle::calendar, "12", QSize(32, 32));
    selectedDay->setSelected(true);
    auto *previous = button(ButtonStyle::calendarArrow, QString(), QSize());
    previous->setSymbol("chevron-left");
    auto *next = button(ButtonStyle::calendarArrow, QString(), QSize(), true);
    next->setSymbol("chevron-right");
    auto *withIcon = button(ButtonStyle::blue, "Join Google Meet", QSize(170, 30));
    withIcon->setSymbol("video");
    addRow(QStringLiteral("Calendar"),
        {button(ButtonStyle::calendar, "11", QSize(32, 32)), selectedDay, previous, next,
            withIcon});

    QList<QWidget *> icons;
    for (const char *name :
        {"chevron-left", "chevron-right", "clock", "map-pin", "file-text", "video", "pencil",
            "trash-2", "ellipsis", "x", "check", "square-check", "square", "log-out"}) {
        auto *icon = new QLabel;
        icon->setPixmap(symbolPixmap(QString::fromLatin1(name), QSize(20, 20), palette::textGray(),
            icon->devicePixelRatioF()));
        icon->setToolTip(QString::fromLatin1(name));
        icons << icon;
    }
    addRow(QStringLiteral("Symbols"), icons);

    auto *field = new TolvoTextField;
    field->setText("Weekly planning");
    field->setFixedWidth(200);
    auto *hint = new TolvoTextField;
    hint->setHint("hh:mm");
    hint->setHintShown(true);
    auto *invalid = new TolvoTextField;
    invalid->setPlaceholderText("Title");
    invalid->setInvalid(true);
    invalid->setFixedWidth(200);
    addRow(QStringLiteral("Fields"), {field, hint, invalid});

    auto *editor = new MacEditorTextView;
    editor->setText("Agenda:\n- numbers for Q3\n- a long line that wraps inside the card "
                    "rather than scrolling sideways");
    editor->setFixedSize(420, 110);
    addRow(QStringLiteral("Editor"), {editor});

    // The popover's card, laid inline here rather than popped up.
    auto *details = new QLabel(QStringLiteral("Weekly planning\n09:30 - 10:15"));
    QPalette detailsPalette = details->palette();
    detailsPalette.setColor(
        QPalette::WindowText, DynamicColor {palette::textDark(), Qt::white}.resolve());
    details->setPalette(detailsPalette);
    auto *popover = new Popover(details);
    popover->setWindowFlags(Qt::Widget);
    addRow(QStringLiteral("Popover"), {popover});

    auto *backdrop = new VisualEffectView;
    backdrop->setFixedSize(120, 60);
    addRow(QStringLiteral("Spinner, backdrop"), {new AppKitProgressView, backdrop});
    grid->setRowStretch(row, 1);
    return page;
}

GoogleCalendarEvent sampleEvent()
{
    GoogleCalendarEvent event;
    event.summary = QStringLiteral("Quarterly planning with the design team");
    event.start = QDateTime(QDate(2025, 3, 5), QTime(9, 30));
    event.end = QDateTime(QDate(2025, 3, 5), QTime(10, 15));
    event.hangoutLink = QStringLiteral("https://meet.google.com/abc-defg-hij");
    return event;
}

// The reminder is see-through: paint a stand-in desktop behind it for the picture.
QImage reminderPicture(QWidget &view)
{
    QImage window(view.size(), QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::transparent);
    view.render(&window, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient desktop(0, 0, image.width(), image.height());
    desktop.setColorAt(0, QColor(70, 130, 180));
    desktop.setColorAt(1, QColor(200, 120, 80));
    painter.fillRect(image.rect(), desktop);
    painter.drawImage(0, 0, window);
    return image;
}

// One of the forms at its window size; "-invalid" shows every outline.
QWidget *formPage(const QString &name)
{
    const bool invalid = name.endsWith(QStringLiteral("-invalid"));
    if (name.startsWith(QStringLiteral("feedback"))) {
        auto *model = new UserFeedbackViewModel;
        auto *view = new UserFeedbackView(model, [] {});
        if (invalid) {
            model->setDebounceInterval(0);
            model->setEmail(QStringLiteral("not an address"));
            model->setUsername(QString());
            model->setComments(QString());
        }
        view->resize(500, 600);
        return view;
    }
    if (name.startsWith(QStringLiteral("edit"))) {
        GoogleCalendarEvent event = sampleEvent();
        event.description = QStringLiteral("Agenda:\n- the release date\n- who demos what");
        event.reminderMinutes = 45;
        auto *view = new EditMeetingView(
            new EditMeetingViewModel(event, QStringLiteral("work@example.com")), {}, {});
        view->resize(500, 700);
        return view;
    }
    if (name == QStringLiteral("pickers")) {
        auto *page = new QWidget;
        page->setAutoFillBackground(true);
        QPalette background = page->palette();
        background.setColor(QPalette::Window, palette::backgroundDark());
        page->setPalette(background);
        auto *row = new QHBoxLayout(page);
        row->setContentsMargins(16, 16, 16, 16);
        row->setSpacing(16);
        GoogleCalendar work;
        work.summary = QStringLiteral("Work");
        GoogleCalendar longName;
        longName.id = QStringLiteral("b");
        longName.summary = QString(60, u'W');
        auto *calendars = new CalendarSelectionView({work, longName, GoogleCalendar {}}, {});
        calendars->setFixedWidth(400);
        auto *reminders = new ReminderTimeView(reminderChoices(), {});
        reminders->setFixedWidth(200);
        auto *date = new TimeSelectionView(
            {}, {}, QDateTime::currentDateTime(), CalendarContext::system());
        date->setFixedWidth(320);
        for (QWidget *picker : {static_cast<QWidget *>(calendars),
                 static_cast<QWidget *>(reminders), static_cast<QWidget *>(date)})
            row->addWidget(picker, 0, Qt::AlignTop);
        return page;
    }
    auto *model = new AddMeetingViewModel;
    auto *view = new AddMeetingView(model, {}, {});
    if (invalid)
        model->save({});
    view->resize(500, 700);
    return view;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setFont(applicationFont());

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"dark", "Draw the dark appearance."});
    parser.addOption({"light", "Draw the light appearance."});
    parser.addOption({"reminder", "Show the full-screen reminder instead of the controls."});
    parser.addOption({"menu", "Show the popup menu and the event list instead."});
    parser.addOption({"open", "With --menu: open the short or the long menu.", "which"});
    parser.addOption({"grab", "Write the window to a PNG file and quit.", "file"});
    parser.addOption({"form",
        "Show a form instead: add, add-invalid, edit, feedback, feedback-invalid or pickers.",
        "name"});
    parser.process(app);
    if (parser.isSet("dark"))
        Appearance::instance().setOverride(ColorScheme::dark);
    else if (parser.isSet("light"))
        Appearance::instance().setOverride(ColorScheme::light);

    std::unique_ptr<QWidget> window;
    std::unique_ptr<FullScreenViewModel> viewModel;
    if (parser.isSet("reminder")) {
        viewModel = std::make_unique<FullScreenViewModel>(sampleEvent());
        window = std::make_unique<FullScreenView>(
            viewModel.get(), [] { QApplication::quit(); }, [](SnoozeTime) { QApplication::quit(); },
            [] {});
        window->setAttribute(Qt::WA_TranslucentBackground);
        window->resize(1280, 800);
    } else if (parser.isSet("menu")) {
        window = std::unique_ptr<QWidget>(galleryPages::menuPage());
        window->setWindowTitle(QStringLiteral("Tolvo gallery: menu"));
        window->resize(720, 520);
    } else if (parser.isSet("form")) {
        window = std::unique_ptr<QWidget>(formPage(parser.value("form")));
    } else {
        window = std::unique_ptr<QWidget>(gallery());
        window->setWindowTitle(QStringLiteral("Tolvo gallery"));
        window->resize(window->sizeHint().expandedTo(QSize(900, 0)));
    }
    window->show();
    if (parser.isSet("menu") && parser.isSet("open")) {
        QApplication::processEvents();
        galleryPages::openMenu(window.get(), parser.value("open") == QLatin1String("long"));
    }

    if (parser.isSet("grab")) {
        QApplication::processEvents();
        const QImage image = parser.isSet("reminder") ? reminderPicture(*window)
            : parser.isSet("menu")                    ? galleryPages::menuPagePicture(window.get())
                                                      : window->grab().toImage();
        return image.save(parser.value("grab")) ? 0 : 1;
    }
    return app.exec();
}
