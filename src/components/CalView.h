#pragma once

#include "core/CalendarContext.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QWidget>

namespace tolvo {

enum class CalendarTheme { light, dark };

// A small month calendar for choosing a day: the month's title with back and forward chevrons,
// the weekday names and the whole weeks that overlap the month. Days of the neighbouring months
// are dimmed and cannot be chosen. It starts at the date it is given and follows later
// setCheckedDate() calls; a click on a day writes that day's start, a chevron moves the shown
// date by a month (time of day kept). checkedDateChanged() is emitted only for the picker's own
// changes, and only when the value really differs, so an owner that feeds the value back in
// makes no loop. The contents margins are the caller's padding inside the background.
class CalView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int titlePixelSize = 24;
    static constexpr int smallestTitlePixelSize = 14;
    static constexpr int titleBottomPadding = 12;
    static constexpr int dayPadding = 8;
    static constexpr int spacing = 8;

    CalView(const CalendarContext &context, const QDateTime &checkedDate, CalendarTheme theme,
        QWidget *parent = nullptr);

    QDateTime checkedDate() const { return m_checked; }
    void setCheckedDate(const QDateTime &date);
    // The date whose month is shown and whose day is highlighted.
    QDateTime selectedDate() const { return m_selected; }

    CalendarTheme theme() const { return m_theme; }
    void setTheme(CalendarTheme theme);
    QColor backgroundColor() const;
    QColor textColor() const;

    QString title() const;
    QStringList weekdayNames() const;
    QList<QDate> days() const;
    bool isInShownMonth(QDate day) const;

    // Where things are drawn, for the input handling and tests.
    QRect dayRect(QDate day) const;
    QRect backButtonRect() const;
    QRect titleRect() const;
    // The title's font: its full size, or smaller where a long month name would not fit.
    QFont titleFont() const;
    QRect forwardButtonRect() const;

    // What a click on a day of the shown month and on a chevron (-1 or +1) do.
    void selectDay(QDate day);
    void changeMonth(int by);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void checkedDateChanged(const QDateTime &date);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Metrics
    {
        int titleRowHeight;
        int weekdayRowHeight;
        int dayRowHeight;
    };
    Metrics metrics() const;
    int columnLeft(int column) const;
    int columnWidth() const;
    int gridTop() const;
    void syncCheckedDate();

    CalendarContext m_context;
    QDateTime m_checked;
    QDateTime m_selected;
    CalendarTheme m_theme;
    int m_pressedChevron = 0;
};

} // namespace tolvo
