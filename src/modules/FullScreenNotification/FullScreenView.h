#pragma once

#include "core/Requests.h"

#include <QWidget>

#include <functional>

class QLabel;

namespace tolvo {

class FullScreenViewModel;
class StyledButton;
class VisualEffectView;

// The reminder's content over a dark translucent backdrop: the title (at most three lines,
// elided after), the time, Dismiss and "Join with Google Meet", and the three snooze choices.
// No button has the keyboard focus until the user presses Tab.
class FullScreenView : public QWidget
{
    Q_OBJECT
public:
    FullScreenView(FullScreenViewModel *viewModel, std::function<void()> close,
        std::function<void(SnoozeTime)> snoozeHandler, std::function<void()> join,
        QWidget *parent = nullptr);

    QLabel *titleLabel() const { return m_title; }
    QLabel *timeToMeetingLabel() const { return m_timeToMeeting; }
    QLabel *timeRangeLabel() const { return m_timeRange; }
    StyledButton *dismissButton() const { return m_dismiss; }
    StyledButton *joinButton() const { return m_join; }
    StyledButton *snoozeButton(SnoozeTime time) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateTitle();

    FullScreenViewModel *m_viewModel;
    VisualEffectView *m_background;
    QLabel *m_title;
    QLabel *m_timeToMeeting;
    QLabel *m_timeRange;
    StyledButton *m_dismiss;
    StyledButton *m_join;
    StyledButton *m_minute;
    StyledButton *m_fiveMinutes;
    StyledButton *m_untilEvent;
};

} // namespace tolvo
