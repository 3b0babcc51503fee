#pragma once

#include "calendar/calendar_service.h"
#include "platform/word_processor.h"

#include <functional>
#include <memory>

namespace rv {

class SettingsStore;
class Prompts;
class Desktop;
class MachineRegistry;

// The platform the board window works over; main() gives the Linux implementations, tests their
// doubles.
struct BoardServices {
    SettingsStore& settings;
    Prompts& prompts;
    Desktop& desktop;
    MachineRegistry* registry = nullptr;
    // Opens the calendar service's application object; throws CalendarError when it cannot.
    std::function<std::unique_ptr<CalendarApplication>()> openCalendarApplication;
    // Starts the word processor for "Print to Word"; throws when it cannot.
    WordApplicationFactory openWordProcessor;
};

} // namespace rv
