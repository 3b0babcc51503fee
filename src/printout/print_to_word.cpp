#include "printout/print_to_word.h"

#include "calendar/day_query.h"
#include "calendar/calendar_service.h"
#include "platform/prompts.h"

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
            throw DocumentLost{QString::fromStdString(error.what())};
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

// The item line: start, TAB, end, TAB, the masked subject. Empty when the item cannot be read.
QString itemLine(const AppointmentItem& item) {
    try {
        return itemTimeText(item.Start()) + QLatin1Char('\t') + itemTimeText(item.End()) +
               QLatin1Char('\t') + mask_subject(item);
    } catch (const std::exception&) {
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

// One person's page. A failed look-up or folder opening leaves the page empty; a person found
// but not resolved gets an empty page too.
void printPerson(Printout& out, const PrintBoard& board, int row) {
    if (board.selectNameCell)
        board.selectNameCell(row);
    bool failed = false;
    std::shared_ptr<CalendarRecipient> recipient;
    bool resolved = false;
    try {
        const QString id = board.storedIdOfRow(row);
        recipient = board.mapi_ns.GetRecipientFromID(id);
        recipient->Resolve();
        resolved = recipient->Resolved();
    } catch (const std::exception&) {
        failed = true;
    }
    if (resolved && !failed) {
        std::shared_ptr<CalendarFolder> folder;
        try {
            folder = board.mapi_ns.GetSharedDefaultFolder(*recipient, kFolderCalendar);
        } catch (const std::exception&) {
            failed = true;
        }
        if (!failed && folder) {
            QString name;
            try {
                name = recipient->Name();
            } catch (const std::exception&) {
                // The page goes on without the name; the appointments are still worth having.
            }
            writePerson(out, name, *folder, board);
        }
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
                            .arg(QString::fromStdString(error.what())),
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
