#pragma once

#include "core/CalendarContext.h"

#include <QDateTime>
#include <QWidget>

#include <functional>

namespace tolvo {

class CalView;
class StyledButton;

// The meeting forms' day picker: the light month picker above "Cancel" and "Save". It starts
// at the date it is given; "Save" hands back the day picked last (or that date, untouched),
// "Cancel" only calls its handler. It never closes itself.
class TimeSelectionView : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize buttonSize {100, 35};
    static constexpr int edgePadding = 16;
    static constexpr int pickerPadding = 12;

    TimeSelectionView(std::function<void()> closeHandler,
        std::function<void(const QDateTime &)> saveHandler, const QDateTime &selectedDate,
        const CalendarContext &context, QWidget *parent = nullptr);

    QDateTime selectedDate() const { return m_selectedDate; }
    CalView *picker() const { return m_picker; }
    StyledButton *cancelButton() const { return m_cancelButton; }
    StyledButton *saveButton() const { return m_saveButton; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::function<void()> m_closeHandler;
    std::function<void(const QDateTime &)> m_saveHandler;
    QDateTime m_selectedDate;
    CalView *m_picker;
    StyledButton *m_cancelButton;
    StyledButton *m_saveButton;
};

} // namespace tolvo
