#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace tolvo {

class AlertPresenter;
class AppViewModel;
class OnboardingCalendarRow;
class StyledButton;

// The choice of the local calendar that receives copies: one row per offered calendar, the
// chosen one checked; "Continue" stores the choice (or asks for one).
class OnboardingAppleCalendarSelectionView : public QWidget
{
    Q_OBJECT
public:
    explicit OnboardingAppleCalendarSelectionView(
        AppViewModel *viewModel, QWidget *parent = nullptr);

    QList<OnboardingCalendarRow *> rows() const { return m_rows; }
    StyledButton *continueButton() const { return m_continue; }
    AlertPresenter *alertPresenter() const { return m_alerts; }

private:
    void rebuildRows();
    void followSelection();

    QPointer<AppViewModel> m_viewModel;
    QScrollArea *m_scroll;
    QVBoxLayout *m_rowsLayout;
    QList<OnboardingCalendarRow *> m_rows;
    StyledButton *m_continue;
    AlertPresenter *m_alerts;
};

} // namespace tolvo
