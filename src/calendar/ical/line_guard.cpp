#include "calendar/ical/line_guard_p.h"

#include <QByteArray>
#include <cstring>

namespace rv::ical {

namespace {

enum class Kind { Begin, End, Rule, Other };

// Told by the line's name, read as libical reads it: the text before the first ';' or ':',
// letter case ignored.
Kind kindOf(const char* line) {
    const size_t length = std::strcspn(line, ";:");
    if (line[length] == '\0')
        return Kind::Other;
    auto named = [&](const char* name) {
        return length == std::strlen(name) && qstrnicmp(line, name, uint(length)) == 0;
    };
    if (named("BEGIN"))
        return Kind::Begin;
    if (named("END"))
        return Kind::End;
    if (named("RRULE"))
        return Kind::Rule;
    return Kind::Other;
}

// Takes "COUNT=n" out of an RRULE line whose n is more than libical's integer holds. True when
// it did.
bool dropHugeCount(char* line) {
    char* value = std::strchr(line, ':');
    if (!value)
        return false;
    for (char* part = value + 1; *part;) {
        char* end = part + std::strcspn(part, ";");
        if (qstrnicmp(part, "COUNT=", 6) == 0) {
            const char* digits = part + 6;
            while (*digits == '0' || *digits == '+')
                ++digits;
            const size_t n = std::strspn(digits, "0123456789");
            const bool huge = digits + n == end &&
                              (n > 10 || (n == 10 && std::strncmp(digits, "2147483647", 10) > 0));
            if (huge) {
                // The part goes, with the ';' after it, or else the one before it.
                if (*end == ';')
                    std::memmove(part, end + 1, std::strlen(end + 1) + 1);
                else
                    *(part > value + 1 ? part - 1 : part) = '\0';
                return true;
            }
        }
        part = *end ? end + 1 : end;
    }
    return false;
}

} // namespace

bool LineGuard::admit(char* line) {
    const Kind kind = kindOf(line);
    if (skipping_ > 0) {
        if (kind == Kind::Begin)
            ++skipping_;
        else if (kind == Kind::End)
            --skipping_;
        return false;
    }
    switch (kind) {
    case Kind::Begin:
        if (depth_ >= kMaxNesting) {
            skipping_ = 1;
            ++droppedComponents_;
            return false;
        }
        ++depth_;
        break;
    case Kind::End:
        // As libical's parser does, an END without its BEGIN closes nothing.
        if (depth_ > 0)
            --depth_;
        break;
    case Kind::Rule:
        if (dropHugeCount(line))
            ++droppedCounts_;
        break;
    case Kind::Other:
        break;
    }
    return true;
}

} // namespace rv::ical
