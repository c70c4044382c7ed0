#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QStackedLayout;
class QVBoxLayout;

namespace tolvo {

class AlertPresenter;
class AppKitProgressView;
class CalendarMenuItem;
class EmptyStateView;
class MainViewModel;
class CalView;

// The signed-in window's content: a fixed 310-wide dark sidebar (the month picker, "My
// Calendars" with one row per Google calendar, and "Logout") beside the detail, which follows
// the start-up: a spinner, the meetings list, or "Refresh" after a failure. The meetings list
// (and its view model, timers and reminders) exists only while the screen is configured.
// Every time the content is shown, the view model's start decision runs.
class MainView : public QWidget
{
    Q_OBJECT
public:
    using DetailFactory = std::function<QWidget *()>;

    static constexpr int sidebarWidth = 310;

    // `makeMeetingsList` builds the configured detail (the meetings list by default).
    explicit MainView(QWidget *parent = nullptr, DetailFactory makeMeetingsList = {});
    ~MainView() override;

    MainViewModel *viewModel() const { return m_viewModel; }
    QWidget *sidebar() const { return m_sidebar; }
    CalView *monthPicker() const { return m_picker; }
    QLabel *calendarsHeader() const { return m_header; }
    QList<CalendarMenuItem *> calendarRows() const { return m_rows; }
    QPushButton *logoutButton() const { return m_logout; }
    QWidget *currentDetail() const;
    AppKitProgressView *spinner() const { return m_spinner; }
    QWidget *meetingsList() const { return m_meetingsList; }
    EmptyStateView *emptyState() const { return m_emptyState; }
    AlertPresenter *alertPresenter() const { return m_alerts; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildSidebar();
    void rebuildRows();
    void followState();
    void followDate();
    void configureWindow();

    MainViewModel *m_viewModel;
    DetailFactory m_makeMeetingsList;
    QWidget *m_sidebar = nullptr;
    CalView *m_picker = nullptr;
    QLabel *m_header = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QList<CalendarMenuItem *> m_rows;
    QPushButton *m_logout = nullptr;
    QStackedLayout *m_detail;
    QWidget *m_spinnerPage;
    AppKitProgressView *m_spinner;
    EmptyStateView *m_emptyState;
    QPointer<QWidget> m_meetingsList;
    AlertPresenter *m_alerts;
    bool m_windowConfigured = false;
};

} // namespace tolvo
