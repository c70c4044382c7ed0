#pragma once

#include "core/CalendarContext.h"
#include "core/Requests.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QWidget>

class QLabel;

namespace tolvo {

class StyledButton;

// A text button on a rounded background with its own colours ("Today", the view types).
class PillButton : public QAbstractButton
{
    Q_OBJECT
public:
    PillButton(const QString &text, QMargins padding, QWidget *parent = nullptr);
    void setColors(const QColor &text, const QColor &background);
    QColor textColor() const { return m_text; }
    QColor backgroundColor() const { return m_background; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QMargins m_padding;
    QColor m_text;
    QColor m_background;
};

// "Today", the chevrons, the period's title and the view-type buttons. It shows what its owner
// sets and asks for changes; it never changes the date or the view type by itself.
class CalendarHeaderView : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarHeaderView(const CalendarContext &context, QWidget *parent = nullptr);

    void setState(const QDateTime &date, CalendarViewType type);
    QString title() const;
    PillButton *todayButton() const { return m_today; }
    StyledButton *backButton() const { return m_back; }
    StyledButton *forwardButton() const { return m_forward; }
    PillButton *viewTypeButton(CalendarViewType type) const;

signals:
    void dateChangeRequested(const QDateTime &date);
    void viewTypeChangeRequested(tolvo::CalendarViewType type);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void step(int by);
    void applyColors();

    CalendarContext m_context;
    QDateTime m_date;
    CalendarViewType m_type = CalendarViewType::month;
    PillButton *m_today;
    StyledButton *m_back;
    QLabel *m_title;
    StyledButton *m_forward;
    QList<PillButton *> m_types;
};

} // namespace tolvo
