#pragma once

#include <QWidget>

#include <functional>

namespace tolvo {

class StyledButton;

// What the main screen shows when its start-up failed: one "Refresh" button in the middle.
class EmptyStateView : public QWidget
{
    Q_OBJECT
public:
    explicit EmptyStateView(std::function<void()> handler, QWidget *parent = nullptr);

    StyledButton *refreshButton() const { return m_refresh; }

private:
    StyledButton *m_refresh;
};

} // namespace tolvo
