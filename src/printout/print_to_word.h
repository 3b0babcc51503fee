#pragma once

#include "platform/word_processor.h"

#include <QDateTime>
#include <QString>
#include <functional>

class QWidget;

namespace rv {

class CalendarNamespace;
class Prompts;

// What the printout reads from the board window.
struct PrintBoard {
    // The number of person rows (the grid's rows less the heading row).
    int personRows = 0;
    // The stored identifier of a person row (1-based), read from the board's member file.
    std::function<QString(int row)> storedIdOfRow;
    // Makes the name cell of a person row the grid's current cell.
    std::function<void(int row)> selectNameCell;
    CalendarNamespace& mapi_ns;
    int cur_month = 0;
    int cur_year = 0;
    // The days of cur_month in cur_year.
    int daysInMonth = 0;
};

// A date-time of an item line: the date day first, then the time of day,
// "05/03/1998 09:00 AM".
QString itemTimeText(const QDateTime& when);

// Writes every person's appointments of the month into a new word-processor document, one page
// a person, and leaves the document open on screen. Calendar failures leave a person's page
// empty; when the document cannot be created or written, one message says so.
void print_to_word(const PrintBoard& board, const WordApplicationFactory& startWordProcessor,
                   Prompts& prompts, QWidget* parent);

} // namespace rv
