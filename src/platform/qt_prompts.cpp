#include "platform/qt_prompts.h"

#include "ui/colors.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

namespace rv {

std::unique_ptr<QMessageBox> QtPrompts::plainBox(QWidget* parent, const QString& text,
                                                 const QString& title, Icon icon) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title);
    box->setTextFormat(Qt::PlainText);
    // A plain-text label breaks lines only at line feeds; the details lines end in carriage
    // returns alone.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar(13), QChar(10));
    box->setText(shown);
    switch (icon) {
    case Icon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box->setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    case Icon::None:
        break;
    }
    return box;
}

void QtPrompts::message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    const auto box = plainBox(parent, text, title, icon);
    box->setStandardButtons(QMessageBox::Ok);
    box->exec();
}

bool QtPrompts::question(QWidget* parent, const QString& text, const QString& title) {
    const auto box = plainBox(parent, text, title, Icon::None);
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
    return box->exec() == QMessageBox::Yes;
}

Prompts::SaveAnswer QtPrompts::askToSave(QWidget* parent, const QString& text,
                                         const QString& title) {
    const auto box = plainBox(parent, text, title, Icon::Exclamation);
    box->setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Save);
    box->setEscapeButton(QMessageBox::Cancel);
    switch (box->exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

std::optional<QString> QtPrompts::input(QWidget* parent, const QString& prompt,
                                        const QString& title, const QString& defaultText,
                                        bool secret) {
    QInputDialog box(parent);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
    box.setTextValue(defaultText);
    // The prompt may name a server or a person: shown as plain text like every other box.
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

std::optional<std::uint32_t> QtPrompts::chooseColor(QWidget* parent) {
    const QColor chosen = QColorDialog::getColor(Qt::white, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return colorRefFromQColor(chosen);
}

namespace {

// The first suffix a filter names: "png" of "PNG image (*.png)".
QString filterSuffix(const QString& filter) {
    static const QRegularExpression suffix(QStringLiteral(R"(\*\.(\w+))"));
    return suffix.match(filter).captured(1);
}

} // namespace

std::optional<QString> QtPrompts::saveFileName(QWidget* parent, const QString& caption,
                                               const QString& suggestedPath,
                                               const QStringList& filters) {
    QFileDialog dialog(parent, caption, suggestedPath);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.setDefaultSuffix(filterSuffix(filters.first()));
    // The suffix follows the chosen kind of file, so that "board" saved as PDF is "board.pdf".
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(filterSuffix(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

bool QtPrompts::setUpPrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace rv
