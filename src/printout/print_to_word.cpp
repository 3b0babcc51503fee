#include "printout/print_to_word.h"

#include "calendar/calendar_service.h"
#include "calendar/day_query.h"
#include "calendar/person_calendar.h"
#include "platform/prompts.h"
#include "printout/printout_log.h"

#include <QLocale>

namespace rv {

namespace {

const QString kTitle = QStringLiteral("Print to Word");

// A word-processor step failed: nothing more can be written to the document.
struct DocumentLost {
    QString reason;
};

// Every write goes through the application's selection, fetched again for each step.
class Printout {
public:
    explicit Printout(WordApplication& word) : word_(word) {}

    template <typename Step> void write(Step step) {
        try {
            step(word_.Selection());
        } catch (const std::exception& error) {
            throw DocumentLost{errorMessage(error)};
        }
    }

    void bold(bool on) {
        write([&](WordSelection& s) { s.SetBold(on); });
    }
    void italic(bool on) {
        write([&](WordSelection& s) { s.SetItalic(on); });
    }
    void align(int alignment) {
        write([&](WordSelection& s) { s.SetAlignment(alignment); });
    }
    void text(const QString& text) {
        write([&](WordSelection& s) { s.TypeText(text); });
    }
    void paragraph() {
        write([](WordSelection& s) { s.TypeParagraph(); });
    }
    void pageBreak() {
        write([](WordSelection& s) { s.InsertBreak(kPageBreak); });
    }

private:
    WordApplication& word_;
};

// The item line: start, TAB, end, TAB, the masked subject (cut as the board cuts it). Empty when
// the item cannot be read.
QString itemLine(const AppointmentItem& item) {
    try {
        return itemTimeText(item.Start()) + QLatin1Char('\t') + itemTimeText(item.End()) +
               QLatin1Char('\t') + elided(mask_subject(item), kMaxItemText);
    } catch (const std::exception& error) {
        qCInfo(printoutLog()).noquote() << "an item left out:" << errorMessage(error);
        return {};
    }
}

void writePerson(Printout& out, const QString& name, CalendarFolder& folder,
                 const PrintBoard& board) {
    out.bold(true);
    out.align(kAlignCenter);
    out.text(name);
    out.bold(false);
    out.paragraph();
    out.paragraph();
    out.align(kAlignLeft);
    for (int day = 1; day <= board.daysInMonth; ++day) {
        const DayQueryResult found = query_day(folder, day, board.cur_month, board.cur_year);
        if (found.items.empty())
            continue;
        out.paragraph();
        out.bold(true);
        out.italic(true);
        out.text(dayText(day, board.cur_month, board.cur_year));
        out.paragraph();
        out.bold(false);
        out.italic(false);
        for (const auto& item : found.items) {
            const QString line = itemLine(*item);
            if (line.isEmpty())
                continue;
            out.text(line);
            out.paragraph();
        }
    }
}

// One person's page. A person who cannot be looked up, does not resolve or whose calendar cannot be
// opened gets an empty page.
void printPerson(Printout& out, const PrintBoard& board, int row) {
    if (board.selectNameCell)
        board.selectNameCell(row);
    QString id;
    try {
        id = board.storedIdOfRow(row);
    } catch (const Error& error) {
        qCInfo(printoutLog()).noquote() << "row" << row << "has no identifier:" << error.message();
    }
    const PersonCalendar calendar = openPersonCalendar(board.mapi_ns, id);
    if (calendar.opened()) {
        QString name;
        try {
            name = elided(calendar.recipient->Name(), kMaxItemText);
        } catch (const CalendarError& error) {
            // The page goes on without the name; the appointments are still worth having.
            qCInfo(printoutLog()).noquote() << "row" << row << "has no name:" << error.message();
        }
        writePerson(out, name, *calendar.folder, board);
    }
    out.pageBreak();
}

} // namespace

QString itemTimeText(const QDateTime& when) {
    return QLocale::c().toString(when, QStringLiteral("dd/MM/yyyy hh:mm AP"));
}

void print_to_word(const PrintBoard& board, const WordApplicationFactory& startWordProcessor,
                   Prompts& prompts, QWidget* parent) {
    std::unique_ptr<WordApplication> word;
    try {
        if (!startWordProcessor)
            throw WordProcessorError(QStringLiteral("no word processor is set up"));
        word = startWordProcessor();
        if (!word)
            throw WordProcessorError(QStringLiteral("no word processor is set up"));
        word->SetVisible(true);
        word->DocumentsAdd();
    } catch (const std::exception& error) {
        prompts.message(parent,
                        QStringLiteral("The word-processor document could not be created: %1.")
                            .arg(errorMessage(error)),
                        kTitle, Prompts::Icon::Exclamation);
        return;
    }

    Printout out(*word);
    try {
        for (int row = 1; row <= board.personRows; ++row)
            printPerson(out, board, row);
    } catch (const DocumentLost& lost) {
        prompts.message(parent,
                        QStringLiteral("The word-processor document could not be written: %1. "
                                       "The printout is incomplete.")
                            .arg(lost.reason),
                        kTitle, Prompts::Icon::Exclamation);
    }
}

} // namespace rv
