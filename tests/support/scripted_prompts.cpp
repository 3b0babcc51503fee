#include "support/scripted_prompts.h"

#include <QPrinter>
#include <QTest>

namespace rv::test {

void ScriptedPrompts::message(QWidget*, const QString& text, const QString& title, Icon icon) {
    shown.push_back({QStringLiteral("message"), text, title, icon, {}});
}

namespace {

// The next scripted answer; a box without one fails the test and gets `none`.
template <class T> T nextAnswer(std::deque<T>& answers, const char* box, T none) {
    if (answers.empty()) {
        QTest::qFail(box, __FILE__, __LINE__);
        return none;
    }
    const T answer = answers.front();
    answers.pop_front();
    return answer;
}

// The next scripted text answer; a box without one fails the test.
std::optional<QString> nextText(std::deque<std::optional<QString>>& answers, const char* box) {
    if (answers.empty()) {
        QTest::qFail(box, __FILE__, __LINE__);
        return std::nullopt;
    }
    // Taken apart before the pop: copying the optional<QString> out of the deque trips a false
    // -Wmaybe-uninitialized in g++ 12.
    const bool answered = answers.front().has_value();
    const QString text = answers.front().value_or(QString());
    answers.pop_front();
    return answered ? std::optional<QString>(text) : std::nullopt;
}

} // namespace

bool ScriptedPrompts::question(QWidget*, const QString& text, const QString& title) {
    shown.push_back({QStringLiteral("question"), text, title, Icon::None, {}});
    return nextAnswer(questionAnswers, "unexpected question box", false);
}

Prompts::SaveAnswer ScriptedPrompts::askToSave(QWidget*, const QString& text,
                                               const QString& title) {
    shown.push_back({QStringLiteral("save"), text, title, Icon::None, {}});
    return nextAnswer(saveAnswers, "unexpected save question", SaveAnswer::Discard);
}

std::optional<QString> ScriptedPrompts::input(QWidget*, const QString& prompt, const QString& title,
                                              const QString& defaultText, bool) {
    shown.push_back({QStringLiteral("input"), prompt, title, Icon::None, defaultText});
    return nextText(inputAnswers, "unexpected input box");
}

std::optional<QString> ScriptedPrompts::saveFileName(QWidget*, const QString& caption,
                                                     const QString& suggestedPath,
                                                     const QStringList&) {
    shown.push_back({QStringLiteral("saveFile"), caption, {}, Icon::None, suggestedPath});
    return nextText(saveFileAnswers, "unexpected file chooser");
}

bool ScriptedPrompts::setUpPrinter(QWidget*, QPrinter& printer) {
    shown.push_back({QStringLiteral("printer"), {}, {}, Icon::None, {}});
    const std::optional<QString> pdf = nextText(printerAnswers, "unexpected print dialog");
    if (!pdf)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*pdf);
    return true;
}

std::optional<std::uint32_t> ScriptedPrompts::chooseColor(QWidget*) {
    shown.push_back({QStringLiteral("color"), {}, {}, Icon::None, {}});
    return nextAnswer(colorAnswers, "unexpected colour chooser", std::optional<std::uint32_t>());
}

int ScriptedPrompts::count(const QString& kind) const {
    int n = 0;
    for (const auto& s : shown)
        n += s.kind == kind ? 1 : 0;
    return n;
}

QStringList ScriptedPrompts::messageTexts() const {
    QStringList texts;
    for (const auto& s : shown)
        if (s.kind == QLatin1String("message"))
            texts << s.text;
    return texts;
}

} // namespace rv::test
