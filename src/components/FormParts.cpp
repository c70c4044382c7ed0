#include "components/FormParts.h"

#include "components/Fonts.h"
#include "components/StyledButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tolvo::form {

namespace {
QLabel *whiteLabel(const QString &text, QFont font, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(colours);
    return label;
}
} // namespace

QLabel *fieldLabel(const QString &text, QWidget *parent)
{
    return whiteLabel(text, uiFont(12, QFont::Medium), parent);
}

QLabel *headerLabel(const QString &text, QWidget *parent)
{
    return whiteLabel(text, uiFont(22, QFont::DemiBold), parent);
}

StyledButton *closeButton(QWidget *parent)
{
    auto *button = new StyledButton(ButtonStyle::gray, QString(), parent);
    button->setSymbol(QStringLiteral("x"));
    button->setFixedSize(44, 44);
    button->setToolTip(QObject::tr("Close"));
    button->setAccessibleName(QObject::tr("Close"));
    return button;
}

QWidget *labelledRow(const QString &label, QWidget *control, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(labelSpacing);
    layout->addWidget(fieldLabel(label, row));
    layout->addWidget(control);
    return row;
}

QBoxLayout *headerRow(QLabel *title, StyledButton *close)
{
    auto *layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addStretch(1);
    layout->addWidget(close);
    return layout;
}

} // namespace tolvo::form
