#include "modules/FullScreenNotification/FullScreenView.h"

#include "components/Fonts.h"
#include "components/StyledButton.h"
#include "components/VisualEffectView.h"
#include "components/WrappedText.h"
#include "modules/FullScreenNotification/FullScreenViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvo {

namespace {

constexpr int sectionSpacing = 50;
constexpr int itemSpacing = 8;
constexpr QSize buttonSize(180, 30);
// Kept clear on both sides of the title, so that a long title never reaches the screen's edge.
constexpr int sideMargin = 40;
constexpr int titleLines = 3;

QLabel *whiteLabel(const QString &text, const QFont &font, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText); // titles come from remote events
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

StyledButton *reminderButton(ButtonStyle style, const QString &text, QWidget *parent)
{
    auto *button = new StyledButton(style, text, parent);
    button->setFixedSize(buttonSize);
    // Reached with Tab only: a key typed as the reminder appears must not answer it unread.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QHBoxLayout *centredRow()
{
    auto *row = new QHBoxLayout;
    row->setSpacing(itemSpacing);
    row->addStretch();
    return row;
}

} // namespace

FullScreenView::FullScreenView(FullScreenViewModel *viewModel, std::function<void()> close,
    std::function<void(SnoozeTime)> snoozeHandler, std::function<void()> join, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    m_background = new VisualEffectView(VisualEffectView::Material::dark,
        VisualEffectView::BlendingMode::behindWindow, VisualEffectView::State::active, this);

    m_title = whiteLabel(viewModel->title(), uiFont(32, QFont::Medium), this);
    // The title gets the width the screen gives, never the width its text asks for.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->setToolTip(viewModel->title());
    m_timeToMeeting = whiteLabel(viewModel->timeToMeeting(), uiFont(14, QFont::Medium), this);
    m_timeToMeeting->setVisible(!viewModel->timeToMeeting().isEmpty());
    m_timeRange = whiteLabel(viewModel->timeRangeText(), uiFont(14), this);
    auto *snoozeTitle = whiteLabel(tr("Snooze"), uiFont(14, QFont::Medium), this);

    m_dismiss = reminderButton(ButtonStyle::grayed, tr("Dismiss"), this);
    m_join = reminderButton(ButtonStyle::blue, tr("Join with Google Meet"), this);
    m_minute = reminderButton(ButtonStyle::grayed, tr("1 minute"), this);
    m_fiveMinutes = reminderButton(ButtonStyle::grayed, tr("5 minutes"), this);
    m_untilEvent = reminderButton(ButtonStyle::grayed, tr("Until event"), this);

    auto *times = new QVBoxLayout;
    times->setSpacing(itemSpacing);
    times->addWidget(m_timeToMeeting);
    times->addWidget(m_timeRange);

    auto *actions = centredRow();
    actions->addWidget(m_dismiss);
    actions->addWidget(m_join);
    actions->addStretch();

    auto *snoozeRow = centredRow();
    snoozeRow->addWidget(m_minute);
    snoozeRow->addWidget(m_fiveMinutes);
    snoozeRow->addWidget(m_untilEvent);
    snoozeRow->addStretch();
    auto *snooze = new QVBoxLayout;
    snooze->setSpacing(itemSpacing);
    snooze->addWidget(snoozeTitle);
    snooze->addLayout(snoozeRow);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(sideMargin, sideMargin, sideMargin, sideMargin);
    column->setSpacing(sectionSpacing);
    column->addStretch();
    column->addWidget(m_title);
    column->addLayout(times);
    column->addLayout(actions);
    column->addLayout(snooze);
    column->addStretch();

    connect(m_dismiss, &QAbstractButton::clicked, this, [close = std::move(close)] {
        if (close)
            close();
    });
    connect(m_join, &QAbstractButton::clicked, this, [join = std::move(join)] {
        if (join)
            join();
    });
    connect(m_minute, &QAbstractButton::clicked, this,
        [this] { m_viewModel->setSnoozeTime(SnoozeTime::minute); });
    connect(m_fiveMinutes, &QAbstractButton::clicked, this,
        [this] { m_viewModel->setSnoozeTime(SnoozeTime::fiveMinutes); });
    connect(m_untilEvent, &QAbstractButton::clicked, this,
        [this] { m_viewModel->setSnoozeTime(SnoozeTime::untilEvent); });
    connect(viewModel, &FullScreenViewModel::snoozeTimeChanged, this,
        [snoozeHandler = std::move(snoozeHandler)](SnoozeTime time) {
            if (snoozeHandler && time != SnoozeTime::notDefined)
                snoozeHandler(time);
        });
    connect(
        viewModel, &FullScreenViewModel::timeToMeetingChanged, this, [this](const QString &text) {
            m_timeToMeeting->setText(text);
            m_timeToMeeting->setVisible(!text.isEmpty());
        });
    m_background->lower();
    // The view holds the focus itself until the user tabs to a button.
    setFocusPolicy(Qt::ClickFocus);
    setFocus(Qt::OtherFocusReason);
    updateTitle();
}

void FullScreenView::updateTitle()
{
    const QStringList lines
        = wrapAndElide(m_viewModel->title(), m_title->font(), width() - 2 * sideMargin, titleLines);
    m_title->setText(lines.join(QLatin1Char('\n')));
}

StyledButton *FullScreenView::snoozeButton(SnoozeTime time) const
{
    switch (time) {
    case SnoozeTime::minute: return m_minute;
    case SnoozeTime::fiveMinutes: return m_fiveMinutes;
    case SnoozeTime::untilEvent: return m_untilEvent;
    case SnoozeTime::notDefined: return nullptr;
    }
    return nullptr;
}

void FullScreenView::resizeEvent(QResizeEvent *event)
{
    m_background->setGeometry(rect());
    updateTitle();
    QWidget::resizeEvent(event);
}

} // namespace tolvo
