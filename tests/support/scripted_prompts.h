#pragma once

#include "platform/prompts.h"

#include <QStringList>
#include <deque>

namespace rv::test {

// Answers the program's modal boxes from a script and records what was shown.
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString kind; // "message", "question", "save", "input", "color", "saveFile", "printer"
        QString text;
        QString title;
        Icon icon = Icon::None;
        QString defaultText;
    };

    void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool question(QWidget* parent, const QString& text, const QString& title) override;
    SaveAnswer askToSave(QWidget* parent, const QString& text, const QString& title) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText, bool secret) override;
    std::optional<std::uint32_t> chooseColor(QWidget* parent) override;
    // Shown with the caption as text and the suggested path as defaultText.
    std::optional<QString> saveFileName(QWidget* parent, const QString& caption,
                                        const QString& suggestedPath,
                                        const QStringList& filters) override;
    // A scripted answer is the PDF file the printer then prints into; nullopt cancels.
    bool setUpPrinter(QWidget* parent, QPrinter& printer) override;

    // Answers, used in order; a box with no scripted answer fails the test.
    std::deque<bool> questionAnswers;
    std::deque<SaveAnswer> saveAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<std::uint32_t>> colorAnswers;
    std::deque<std::optional<QString>> saveFileAnswers;
    std::deque<std::optional<QString>> printerAnswers;

    std::vector<Shown> shown;
    int count(const QString& kind) const;
    QStringList messageTexts() const;
};

} // namespace rv::test
