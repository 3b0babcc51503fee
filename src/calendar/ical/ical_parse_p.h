#pragma once

#include <libical/ical.h>

#include <QByteArray>
#include <vector>

namespace rv::ical {

// Every top-level component of the text. Unlike icalparser_parse_string, a file cut short (a
// component without its END line) still gives what was read up to the cut. The caller frees them.
std::vector<icalcomponent*> parseComponents(const QByteArray& text);

} // namespace rv::ical
