#include "support/scripted_prompts.h"

#include <QPrinter>
#include <QTest>

namespace rv::test {

void ScriptedPrompts::message(QWidget*, const QString& text, const QString& title, Icon icon) {
    shown.push_back({QStringLiteral("message"), text, title, icon, {}});
}

bool ScriptedPrompts::question(QWidget*, const QString& text, const QString& title) {
    shown.push_back({QStringLiteral("question"), text, title, Icon::None, {}});
    if (questionAnswers.empty()) {
        QTest::qFail("unexpected question box", __FILE__, __LINE__);
        return false;
    }
    const bool answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}

Prompts::SaveAnswer ScriptedPrompts::askToSave(QWidget*, const QString& text,
                                               const QString& title) {
    shown.push_back({QStringLiteral("save"), text, title, Icon::None, {}});
    if (saveAnswers.empty()) {
        QTest::qFail("unexpected save question", __FILE__, __LINE__);
        return SaveAnswer::Discard;
    }
    const SaveAnswer answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

namespace {

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
    if (colorAnswers.empty()) {
        QTest::qFail("unexpected colour chooser", __FILE__, __LINE__);
        return std::nullopt;
    }
    auto answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
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
