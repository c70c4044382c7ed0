#include "modules/MeetingForm/MeetingFormView.h"

#include "components/AlertPresenter.h"
#include "components/CalendarSelectionView.h"
#include "components/CardButton.h"
#include "components/DefaultButton.h"
#include "components/Fonts.h"
#include "components/FormParts.h"
#include "components/MacEditorTextView.h"
#include "components/Palette.h"
#include "components/Popover.h"
#include "components/ReminderTimeView.h"
#include "components/StyledButton.h"
#include "components/TimeSelectionView.h"
#include "components/ToggleSwitch.h"
#include "components/TolvoTextField.h"
#include "components/ValidationFrame.h"
#include "core/DateHelpers.h"
#include "core/FormLogic.h"
#include "modules/MeetingForm/MeetingFormViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tolvo {

namespace {
void setTextIfDifferent(QLineEdit *field, const QString &text)
{
    if (field->text() != text)
        field->setText(text);
}

ToggleSwitch *formSwitch(const QString &text, QWidget *parent)
{
    auto *toggle = new ToggleSwitch(text, parent);
    toggle->setSwitchSize(ToggleSwitch::Size::regular);
    toggle->setFont(uiFont(12, QFont::Medium));
    return toggle;
}
} // namespace

MeetingFormView::MeetingFormView(const QString &headerText, MeetingFormViewModel *model,
    CalendarSource calendars, std::function<void()> closeHandler, std::function<void()> saveHandler,
    QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_calendars(std::move(calendars))
    , m_closeHandler(std::move(closeHandler))
    , m_saveHandler(std::move(saveHandler))
{
    model->setParent(this);
    setAttribute(Qt::WA_OpaquePaintEvent);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(rowSpacing);

    m_header = form::headerLabel(headerText, this);
    m_closeButton = form::closeButton(this);
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] {
        if (m_closeHandler)
            m_closeHandler();
    });
    column->addLayout(form::headerRow(m_header, m_closeButton));

    m_titleField = new TolvoTextField(this);
    m_titleField->setPlaceholderText(tr("Add Title"));
    m_titleFrame = new ValidationFrame(m_titleField, this);
    connect(m_titleField, &QLineEdit::textEdited, model, &MeetingFormViewModel::setTitle);
    column->addWidget(form::labelledRow(tr("Title *"), m_titleFrame, this));

    column->addWidget(form::labelledRow(tr("Time *"), buildTimeRow(), this));

    m_allDaySwitch = formSwitch(tr("All day"), this);
    connect(
        m_allDaySwitch, &QAbstractButton::toggled, model, &MeetingFormViewModel::setIsAllDayEvent);
    column->addWidget(m_allDaySwitch);

    column->addWidget(buildCalendarRow(static_cast<bool>(m_calendars)));

    m_meetSwitch = formSwitch(tr("Create Google Meet video"), this);
    connect(m_meetSwitch, &QAbstractButton::toggled, model,
        &MeetingFormViewModel::setShouldCreateGoogleMeet);
    column->addWidget(m_meetSwitch);

    column->addWidget(form::labelledRow(tr("Set reminder"), buildReminderRow(), this));

    m_description = new MacEditorTextView(this);
    m_description->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(m_description, &MacEditorTextView::textChanged, model,
        &MeetingFormViewModel::setDescription);
    column->addWidget(form::labelledRow(tr("Description"), m_description, this), 1);

    column->addWidget(buildButtons());

    m_alertPresenter = new AlertPresenter(model->alertType(), this);
    connect(model, &MeetingFormViewModel::changed, this, &MeetingFormView::sync);
    sync();
}

QWidget *MeetingFormView::buildTimeRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    m_dateCard = new CardButton(QStringLiteral("calendar"), row);
    m_dateCard->setTextWidth(dateTextWidth);
    connect(m_dateCard, &QAbstractButton::clicked, this, &MeetingFormView::openDatePopover);
    // The card lines up with the outlined time fields beside it.
    auto *dateHolder = new QWidget(row);
    auto *dateLayout = new QVBoxLayout(dateHolder);
    dateLayout->setContentsMargins(
        ValidationFrame::margin, ValidationFrame::margin, 0, ValidationFrame::margin);
    dateLayout->addWidget(m_dateCard);
    layout->addWidget(dateHolder);

    m_timesGroup = new QWidget(row);
    auto *times = new QHBoxLayout(m_timesGroup);
    times->setContentsMargins(0, 0, 0, 0);
    const auto timeField = [this](TolvoTextField *&field, ValidationFrame *&frame) {
        field = new TolvoTextField(m_timesGroup);
        field->setHint(QStringLiteral("hh:mm"));
        field->setFixedWidth(timeFieldWidth);
        field->setTextMargins(
            8, TolvoTextField::verticalPadding, 8, TolvoTextField::verticalPadding);
        frame = new ValidationFrame(field, m_timesGroup);
        connect(field, &QLineEdit::textEdited, this,
            [this, field](const QString &text) { timeEdited(field, text); });
    };
    timeField(m_startField, m_startFrame);
    timeField(m_endField, m_endFrame);
    times->addWidget(m_startFrame);
    times->addWidget(form::fieldLabel(tr("to"), m_timesGroup));
    times->addWidget(m_endFrame);
    // Hidden for all-day meetings, but keeping its place so that nothing moves.
    QSizePolicy policy = m_timesGroup->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_timesGroup->setSizePolicy(policy);
    layout->addWidget(m_timesGroup);
    layout->addStretch(1);
    return row;
}

QWidget *MeetingFormView::buildCalendarRow(bool choosable)
{
    if (!choosable) {
        m_calendarField = new TolvoTextField(this);
        m_calendarField->setEnabled(false);
        m_calendarField->setFocusPolicy(Qt::NoFocus);
        // Disabled text keeps the card's dark colour.
        QPalette colours = m_calendarField->palette();
        colours.setColor(QPalette::Disabled, QPalette::Text, palette::textDark());
        m_calendarField->setPalette(colours);
        const auto &calendar = m_model->selectedCalendar();
        m_calendarField->setText(calendar ? calendar->summary.value_or(QString()) : QString());
        // Never outlined; the frame only keeps it in line with the fields above.
        return form::labelledRow(tr("Calendar"), new ValidationFrame(m_calendarField, this), this);
    }
    m_calendarCard = new CardButton(QStringLiteral("calendar"), this);
    m_calendarCard->setTextWidth(0);
    m_calendarFrame = new ValidationFrame(m_calendarCard, this);
    connect(m_calendarCard, &QAbstractButton::clicked, this, &MeetingFormView::openCalendarPopover);
    return form::labelledRow(tr("Select calendar *"), m_calendarFrame, this);
}

QWidget *MeetingFormView::buildReminderRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(ValidationFrame::margin, 0, 0, 0);
    m_reminderCard = new CardButton(QStringLiteral("bell"), row);
    m_reminderCard->setTextWidth(reminderTextWidth);
    connect(m_reminderCard, &QAbstractButton::clicked, this, &MeetingFormView::openReminderPopover);
    layout->addWidget(m_reminderCard);
    layout->addStretch(1);
    return row;
}

QWidget *MeetingFormView::buildButtons()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    m_cancelButton = new StyledButton(ButtonStyle::grayed, tr("Cancel"), row);
    m_saveButton = new StyledButton(ButtonStyle::blue, tr("Save"), row);
    for (StyledButton *button : {m_cancelButton, m_saveButton}) {
        button->setFixedSize(actionButtonSize);
        layout->addWidget(button);
    }
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] {
        if (m_closeHandler)
            m_closeHandler();
    });
    connect(m_saveButton, &QAbstractButton::clicked, this, &MeetingFormView::saveTapped);
    setDefaultButton(this, m_saveButton);
    return row;
}

void MeetingFormView::saveTapped()
{
    m_model->saveTapped(m_saveHandler);
}

void MeetingFormView::timeEdited(TolvoTextField *field, const QString &text)
{
    const QString filtered = formatTimeInput(text);
    if (field == m_startField)
        m_model->setStartTime(filtered);
    else
        m_model->setEndTime(filtered);
}

Popover *MeetingFormView::openPopover(QWidget *content, int width, QWidget *anchor)
{
    content->setFixedWidth(width);
    auto *popover = new Popover(content, this);
    popover->setBackground(Qt::white);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    connect(popover, &Popover::closed, popover, &QObject::deleteLater);
    popover->showFor(anchor);
    return popover;
}

void MeetingFormView::openCalendarPopover()
{
    if (m_calendarPopover || !m_calendars)
        return;
    auto *list = new CalendarSelectionView(m_calendars(), [this](const GoogleCalendar &calendar) {
        if (m_calendarPopover)
            m_calendarPopover->close();
        m_model->setSelectedCalendar(calendar);
    });
    m_calendarPopover = openPopover(list, calendarPopoverWidth, m_calendarCard);
}

void MeetingFormView::openReminderPopover()
{
    if (m_reminderPopover)
        return;
    auto *list = new ReminderTimeView(reminderChoices(), [this](qint64 minutes) {
        if (m_reminderPopover)
            m_reminderPopover->close();
        m_model->setReminderTime(minutes);
    });
    m_reminderPopover = openPopover(list, reminderPopoverWidth, m_reminderCard);
}

void MeetingFormView::openDatePopover()
{
    if (m_datePopover)
        return;
    // The panel starts at the form's day, so what it shows is what the card says.
    auto *panel = new TimeSelectionView(
        [this] {
            if (m_datePopover)
                m_datePopover->close();
        },
        [this](const QDateTime &date) {
            if (m_datePopover)
                m_datePopover->close();
            m_model->setSelectedDate(date);
        },
        m_model->selectedDate(), m_model->context());
    m_datePopover = openPopover(panel, datePopoverWidth, m_dateCard);
}

void MeetingFormView::sync()
{
    const MeetingFormViewModel &model = *m_model;
    setTextIfDifferent(m_titleField, model.title());
    setTextIfDifferent(m_startField, model.startTime());
    setTextIfDifferent(m_endField, model.endTime());
    m_startField->setHintShown(model.startTime().isEmpty());
    m_endField->setHintShown(model.endTime().isEmpty());
    const AppDateFormatter formatter(model.context().locale, model.context().zone);
    m_dateCard->setText(formatter.date(model.selectedDate()));
    // Hidden rather than transparent: hidden fields cannot take focus or typing.
    m_timesGroup->setVisible(!model.isAllDayEvent());
    {
        const QSignalBlocker allDay(m_allDaySwitch);
        const QSignalBlocker meet(m_meetSwitch);
        m_allDaySwitch->setChecked(model.isAllDayEvent());
        m_meetSwitch->setChecked(model.shouldCreateGoogleMeet());
    }
    if (m_calendarCard) {
        const auto &calendar = model.selectedCalendar();
        m_calendarCard->setText(calendar ? calendar->summary.value_or(QString()) : QString());
        m_calendarFrame->setInvalid(!model.isCalendarSelected());
    }
    m_reminderCard->setText(reminderText(model.reminderTime()));
    m_description->setText(model.description());
    m_titleFrame->setInvalid(!model.isValidTitle());
    m_startFrame->setInvalid(!model.isValidStartTime());
    m_endFrame->setInvalid(!model.isValidEndTime());
}

void MeetingFormView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette::backgroundDark());
}

} // namespace tolvo
