#pragma once

#include <QString>

class QBoxLayout;
class QLabel;
class QWidget;

namespace tolvo {

class StyledButton;

// The pieces the dark forms (meetings, feedback) are built from.
namespace form {

inline constexpr int labelSpacing = 6;

// A field label: white, 12 px medium.
QLabel *fieldLabel(const QString &text, QWidget *parent = nullptr);
// A form's title: white, 22 px semibold.
QLabel *headerLabel(const QString &text, QWidget *parent = nullptr);
// The close button of a form's header: the "x" symbol in a 44 x 44 gray button.
StyledButton *closeButton(QWidget *parent = nullptr);
// A label above its control.
QWidget *labelledRow(const QString &label, QWidget *control, QWidget *parent = nullptr);
// A row of a title, a flexible space and the close button.
QBoxLayout *headerRow(QLabel *title, StyledButton *close);

} // namespace form

} // namespace tolvo
