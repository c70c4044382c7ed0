#pragma once

#include "core/CalendarEvent.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"

#include "components/ThemedWidgets.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QToolButton;

namespace tolvo {

class AlertPresenter;
class IntuitiveCalendarView;
class MeetingsListViewModel;

// The configured main screen's detail: "Meetings" with the add button over the calendar screen.
// It owns the meetings list view model, sends the calendar's date, view, edit and delete
// requests to it, and opens the full-screen reminder each time the view model says one is due.
class MeetingsListView : public ThemedPanel
{
    Q_OBJECT
public:
    // Where the add and edit windows come from (the meeting forms by default).
    struct Windows
    {
        std::function<void()> openAdd;
        std::function<void(const GoogleCalendarEvent &event, const QString &calendarId)> openEdit;
        // The reminder; it shows itself and answers through the handlers.
        std::function<void(const GoogleCalendarEvent &event, std::function<void(SnoozeTime)> snooze,
            std::function<void()> close)>
            openReminder;
    };

    explicit MeetingsListView(QWidget *parent = nullptr, Windows windows = {});
    ~MeetingsListView() override;

    MeetingsListViewModel *viewModel() const { return m_viewModel; }
    QLabel *titleLabel() const { return m_title; }
    QToolButton *addButton() const { return m_add; }
    IntuitiveCalendarView *calendarScreen() const { return m_calendar; }
    AlertPresenter *alertPresenter() const { return m_alerts; }
    int remindersOpened() const { return m_remindersOpened; }

    // The calendar screen's actions: the first listed meeting whose Google id is the item's
    // identifier is edited or deleted; with none, nothing happens.
    void openEditor(const CalendarEvent &event);
    void requestDelete(const CalendarEvent &event);
    void openAddMeeting();

private:
    void followNotificationStatus();
    void paintAddButton();
    void showEvents();

    MeetingsListViewModel *m_viewModel;
    Windows m_windows;
    QLabel *m_title;
    QToolButton *m_add;
    IntuitiveCalendarView *m_calendar;
    AlertPresenter *m_alerts;
    NotificationStatus m_shownStatus;
    int m_remindersOpened = 0;
};

} // namespace tolvo
