#pragma once

#include "components/Popover.h"
#include "core/GoogleCalendar.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;

namespace tolvo {

class AlertPresenter;
class CardButton;
class MacEditorTextView;
class MeetingFormViewModel;
class StyledButton;
class ToggleSwitch;
class TolvoTextField;
class ValidationFrame;

// The add and edit meeting forms: one dark column of nine rows (header, title, day and times,
// "All day", calendar, "Create Google Meet video", reminder, description, buttons). The view
// only shows the model and forwards input; its colours are fixed, so it looks the same in a
// light and a dark desktop. With a calendar source the calendar row is a card that opens the
// followed calendars; without one it is a read-only field (the edit form).
class MeetingFormView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int rowSpacing = 16;
    static constexpr int padding = 20;
    static constexpr int dateTextWidth = 150;
    static constexpr int timeFieldWidth = 74;
    static constexpr int reminderTextWidth = 160;
    static constexpr int calendarPopoverWidth = 400;
    static constexpr int reminderPopoverWidth = 200;
    static constexpr int datePopoverWidth = 320;
    static constexpr QSize closeButtonSize {44, 44};
    static constexpr QSize actionButtonSize {80, 34};

    MeetingFormViewModel *model() const { return m_model; }

    // The "Save" button's action.
    void saveTapped();

    // The parts, for the window and for tests.
    QLabel *header() const { return m_header; }
    StyledButton *closeButton() const { return m_closeButton; }
    TolvoTextField *titleField() const { return m_titleField; }
    ValidationFrame *titleFrame() const { return m_titleFrame; }
    CardButton *dateCard() const { return m_dateCard; }
    QWidget *timesGroup() const { return m_timesGroup; }
    TolvoTextField *startField() const { return m_startField; }
    TolvoTextField *endField() const { return m_endField; }
    ValidationFrame *startFrame() const { return m_startFrame; }
    ValidationFrame *endFrame() const { return m_endFrame; }
    ToggleSwitch *allDaySwitch() const { return m_allDaySwitch; }
    CardButton *calendarCard() const { return m_calendarCard; } // add form only
    ValidationFrame *calendarFrame() const { return m_calendarFrame; } // add form only
    TolvoTextField *calendarField() const { return m_calendarField; } // edit form only
    ToggleSwitch *meetSwitch() const { return m_meetSwitch; }
    CardButton *reminderCard() const { return m_reminderCard; }
    MacEditorTextView *descriptionEditor() const { return m_description; }
    StyledButton *cancelButton() const { return m_cancelButton; }
    StyledButton *saveButton() const { return m_saveButton; }
    AlertPresenter *alertPresenter() const { return m_alertPresenter; }

    Popover *calendarPopover() const { return m_calendarPopover; }
    Popover *reminderPopover() const { return m_reminderPopover; }
    Popover *datePopover() const { return m_datePopover; }

    void openCalendarPopover();
    void openReminderPopover();
    void openDatePopover();

protected:
    using CalendarSource = std::function<QList<GoogleCalendar>()>;

    // Takes the model as its child. `calendars` is read each time the calendar list opens.
    MeetingFormView(const QString &headerText, MeetingFormViewModel *model,
        CalendarSource calendars, std::function<void()> closeHandler,
        std::function<void()> saveHandler, QWidget *parent);

    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *buildTimeRow();
    QWidget *buildCalendarRow(bool choosable);
    QWidget *buildReminderRow();
    QWidget *buildButtons();
    Popover *openPopover(QWidget *content, int width, QWidget *anchor);
    void timeEdited(TolvoTextField *field, const QString &text);
    void sync();

    MeetingFormViewModel *m_model;
    CalendarSource m_calendars;
    std::function<void()> m_closeHandler;
    std::function<void()> m_saveHandler;

    QLabel *m_header = nullptr;
    StyledButton *m_closeButton = nullptr;
    TolvoTextField *m_titleField = nullptr;
    ValidationFrame *m_titleFrame = nullptr;
    CardButton *m_dateCard = nullptr;
    QWidget *m_timesGroup = nullptr;
    TolvoTextField *m_startField = nullptr;
    TolvoTextField *m_endField = nullptr;
    ValidationFrame *m_startFrame = nullptr;
    ValidationFrame *m_endFrame = nullptr;
    ToggleSwitch *m_allDaySwitch = nullptr;
    CardButton *m_calendarCard = nullptr;
    ValidationFrame *m_calendarFrame = nullptr;
    TolvoTextField *m_calendarField = nullptr;
    ToggleSwitch *m_meetSwitch = nullptr;
    CardButton *m_reminderCard = nullptr;
    MacEditorTextView *m_description = nullptr;
    StyledButton *m_cancelButton = nullptr;
    StyledButton *m_saveButton = nullptr;
    AlertPresenter *m_alertPresenter = nullptr;
    QPointer<Popover> m_calendarPopover;
    QPointer<Popover> m_reminderPopover;
    QPointer<Popover> m_datePopover;
};

} // namespace tolvo
