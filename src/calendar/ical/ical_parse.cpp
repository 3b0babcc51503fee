#include "calendar/ical/ical_parse_p.h"

#include "calendar/calendar_log.h"
#include "calendar/ical/line_guard_p.h"

namespace rv::ical {

namespace {

struct TextReader {
    const char* pos;
    const char* end;
};

char* nextChunk(char* out, size_t size, void* data) {
    auto* reader = static_cast<TextReader*>(data);
    if (reader->pos >= reader->end || size < 2)
        return nullptr;
    size_t n = 0;
    while (reader->pos < reader->end && n + 1 < size) {
        const char c = *reader->pos++;
        out[n++] = c == '\0' ? ' ' : c;
        if (c == '\n')
            break;
    }
    out[n] = '\0';
    return out;
}

} // namespace

std::vector<icalcomponent*> parseComponents(const QByteArray& text) {
    std::vector<icalcomponent*> out;
    TextReader reader{text.constData(), text.constData() + text.size()};
    icalparser* parser = icalparser_new();
    icalparser_set_gen_data(parser, &reader);
    LineGuard guard;
    for (;;) {
        char* line = icalparser_get_line(parser, nextChunk);
        const bool admitted = !line || guard.admit(line);
        if (admitted)
            if (icalcomponent* c = icalparser_add_line(parser, line))
                out.push_back(c);
        if (!line)
            break;
        icalmemory_free_buffer(line);
    }
    if (guard.droppedComponents())
        qCInfo(calendarLog()).noquote()
            << guard.droppedComponents() << "components nested more than" << LineGuard::kMaxNesting
            << "levels deep left out";
    if (guard.droppedCounts())
        qCInfo(calendarLog()).noquote()
            << guard.droppedCounts()
            << "recurrence counts too large to end within reach read as no count";
    // The parser keeps (and frees) what it closed itself: take a copy.
    if (icalcomponent* unfinished = icalparser_clean(parser))
        if (!icalcomponent_get_parent(unfinished))
            out.push_back(icalcomponent_new_clone(unfinished));
    icalparser_free(parser);
    return out;
}

} // namespace rv::ical
