#pragma once

#include <QObject>

namespace tolvo {

// A signal that fires at most once. Coroutines await it instead of a signal that could fire
// twice in one turn of the event loop (which QCoro does not survive).
class OneShot : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void fire()
    {
        if (m_fired)
            return;
        m_fired = true;
        emit fired();
    }
    bool hasFired() const { return m_fired; }

signals:
    void fired();

private:
    bool m_fired = false;
};

} // namespace tolvo
