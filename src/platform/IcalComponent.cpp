#include "platform/IcalComponent.h"

#include <libical/ical.h>

namespace tolvo {

namespace {
void configureLibical()
{
    // A malformed file must come back as an error value, never abort the process.
    static const bool configured = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    Q_UNUSED(configured);
}
} // namespace

void IcalComponent::Free::operator()(icalcomponent_impl *component) const
{
    icalcomponent_free(component);
}

IcalComponent::IcalComponent(icalcomponent_impl *component)
    : m_component(component)
{
}

Result<IcalComponent> IcalComponent::parse(const QByteArray &text)
{
    configureLibical();
    icalerror_clear_errno();
    icalcomponent *component = icalparser_parse_string(text.constData());
    if (!component) {
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The text is not iCalendar data."));
    }
    return IcalComponent(component);
}

IcalComponent IcalComponent::newCalendar()
{
    configureLibical();
    icalcomponent *calendar = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(calendar, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar, icalproperty_new_prodid("-//Tolvo//Tolvo//EN"));
    return IcalComponent(calendar);
}

QByteArray IcalComponent::toText() const
{
    char *text = icalcomponent_as_ical_string_r(m_component.get());
    if (!text)
        return {};
    QByteArray copy(text);
    icalmemory_free_buffer(text);
    return copy;
}

} // namespace tolvo
