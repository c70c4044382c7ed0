#include "components/AlertPresenter.h"

#include "components/FormWindow.h"
#include "core/AlertType.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace tolvo {

namespace {
constexpr const char *actionIndex = "tolvoAlertAction";
constexpr int narrowest = 300;
constexpr int widestMessageLine = 420;

} // namespace

void sizeMessageBoxForTexts(QMessageBox *box)
{
    // A message box takes a fixed size once shown.
    offerNoMaximize(box);
    int widest = widestMessageLine;
    if (const QScreen *screen = box->screen())
        widest = qMin(widest, screen->availableGeometry().width() - 80);
    // Qt's own names for the box's title and message labels.
    if (auto *title = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
        title->setMinimumWidth(
            qMax(narrowest, qMin(title->fontMetrics().horizontalAdvance(box->text()) + 2, widest)));
    if (auto *message = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        message->setMinimumWidth(
            qMin(message->fontMetrics().horizontalAdvance(box->informativeText()) + 2, widest));
}

AlertPresenter::AlertPresenter(AlertItem *alert, QWidget *host)
    : QObject(host)
    , m_alert(alert)
    , m_host(host)
{
    connect(alert, &AlertItem::changed, this, &AlertPresenter::sync);
    sync();
}

AlertPresenter::~AlertPresenter()
{
    dismissSilently();
}

void AlertPresenter::sync()
{
    dismissSilently();
    if (!m_alert || !m_alert->isSet())
        return;

    const AlertSpec spec = alertSpec(*m_alert->value());
    auto *box = new QMessageBox(m_host);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(m_host ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(spec.title);
    box->setText(spec.title);
    box->setInformativeText(spec.message);
    // Messages come from errors and must never be read as markup.
    box->setTextFormat(Qt::PlainText);
    QList<std::function<void()>> actions;
    for (qsizetype i = 0; i < spec.buttons.size(); ++i) {
        // Beside an acting button, the one that only dismisses is what Escape presses.
        const bool dismissOnly = spec.buttons.size() > 1 && !spec.buttons[i].action;
        auto *button = box->addButton(
            spec.buttons[i].label, dismissOnly ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        button->setProperty(actionIndex, int(i));
        actions.append(spec.buttons[i].action);
        if (i == 0)
            box->setDefaultButton(button);
    }
    sizeMessageBoxForTexts(box);
    m_box = box;
    connect(box, &QMessageBox::buttonClicked, this, [this, box, actions](QAbstractButton *button) {
        if (box != m_box)
            return;
        m_box = nullptr;
        const int index = button->property(actionIndex).toInt();
        const std::function<void()> action = actions.value(index);
        if (m_alert)
            m_alert->clear();
        if (action)
            action();
    });
    // Closed without a button (Escape, the window's close button): the alert is over too.
    connect(box, &QDialog::finished, this, [this, box] {
        if (box != m_box)
            return;
        m_box = nullptr;
        if (m_alert)
            m_alert->clear();
    });
    box->open();
}

void AlertPresenter::dismissSilently()
{
    if (!m_box)
        return;
    QMessageBox *box = m_box;
    m_box = nullptr;
    box->disconnect(this);
    // Not close(): a box may refuse a close request, and this one must go whatever it holds.
    box->hide();
    box->deleteLater();
}

} // namespace tolvo
