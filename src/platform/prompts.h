#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class QPrinter;
class QWidget;

namespace rv {

// Every modal box the program shows goes through this seam, so that tests can answer them.
// Texts are plain text, shown as they stand: a line ends at a line feed or a carriage return.
class Prompts {
public:
    enum class Icon { None, Information, Exclamation, Critical };
    enum class SaveAnswer { Save, Discard, Cancel };

    virtual ~Prompts() = default;

    // A message box with an OK button only.
    virtual void message(QWidget* parent, const QString& text, const QString& title,
                         Icon icon = Icon::None) = 0;
    // A question box with Yes and No; true for Yes.
    virtual bool question(QWidget* parent, const QString& text, const QString& title) = 0;
    // Asks whether to save changes that would otherwise be lost: Save, Don't Save or Cancel.
    // Where only Yes and No can be asked, Yes saves and No does not.
    virtual SaveAnswer askToSave(QWidget* parent, const QString& text, const QString& title) {
        return question(parent, text, title) ? SaveAnswer::Save : SaveAnswer::Discard;
    }
    // An input box; nullopt when the user cancels.
    virtual std::optional<QString> input(QWidget* parent, const QString& prompt,
                                         const QString& title, const QString& defaultText,
                                         bool secret = false) = 0;
    // The colour chooser; the chosen colour as 0x00BBGGRR, nullopt when cancelled.
    virtual std::optional<std::uint32_t> chooseColor(QWidget* parent) = 0;
    // The file chooser for a file to write, starting at suggestedPath; filters such as
    // "PNG image (*.png)", the first chosen at start. A name typed without a suffix gets the
    // chosen filter's. nullopt when the user cancels.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& caption,
                                                const QString& suggestedPath,
                                                const QStringList& filters) = 0;
    // The print dialog for printer; true when the user chose to print, the printer then set up
    // as chosen.
    virtual bool setUpPrinter(QWidget* parent, QPrinter& printer) = 0;
};

} // namespace rv
