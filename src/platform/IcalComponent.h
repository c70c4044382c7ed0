#pragma once

#include "core/Result.h"

#include <QByteArray>

#include <memory>

struct icalcomponent_impl;

namespace tolvo {

// Owns one libical component tree (freed with it). Text handed out is copied at once: libical
// reuses its own buffers on the next call.
class IcalComponent
{
public:
    // Garbage and text without any component fail; partial errors show up later as
    // X-LIC-ERROR properties inside the tree.
    static Result<IcalComponent> parse(const QByteArray &text);
    // An empty VCALENDAR with VERSION and PRODID.
    static IcalComponent newCalendar();

    icalcomponent_impl *get() const { return m_component.get(); }
    QByteArray toText() const;

private:
    explicit IcalComponent(icalcomponent_impl *component);

    struct Free
    {
        void operator()(icalcomponent_impl *component) const;
    };
    std::unique_ptr<icalcomponent_impl, Free> m_component;
};

} // namespace tolvo
