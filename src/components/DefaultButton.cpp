#include "components/DefaultButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QShortcut>

namespace tolvo {

namespace {
bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

class DefaultButtonKeys : public QObject
{
public:
    DefaultButtonKeys(QWidget *page, QAbstractButton *button)
        : QObject(page)
        , m_page(page)
        , m_button(button)
    {
        // A shortcut hears the key wherever the focus is (or when nothing has it); a field
        // that claims the key but then leaves it unused passes it up to the page instead.
        for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
            auto *shortcut = new QShortcut(QKeySequence(key), page);
            shortcut->setContext(Qt::WindowShortcut);
            QObject::connect(shortcut, &QShortcut::activated, this, &DefaultButtonKeys::press);
        }
        page->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_page && event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (isEnterKey(key->key())
                && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                press();
                return true;
            }
        }
        return false;
    }

private:
    void press()
    {
        auto *focused = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
        if (focused && focused != m_button && !focused->isCheckable() && m_page
            && m_page->isAncestorOf(focused) && focused->isEnabled()) {
            focused->click();
            return;
        }
        if (m_button && m_button->isEnabled() && m_button->isVisible())
            m_button->click();
    }

    QPointer<QWidget> m_page;
    QPointer<QAbstractButton> m_button;
};
} // namespace

void setDefaultButton(QWidget *page, QAbstractButton *button)
{
    new DefaultButtonKeys(page, button);
}

} // namespace tolvo
