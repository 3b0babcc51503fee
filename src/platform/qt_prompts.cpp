#include "platform/qt_prompts.h"

#include "ui/colors.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

namespace rv {

void QtPrompts::message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::None:
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool QtPrompts::question(QWidget* parent, const QString& text, const QString& title) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<QString> QtPrompts::input(QWidget* parent, const QString& prompt,
                                        const QString& title, const QString& defaultText,
                                        bool secret) {
    bool ok = false;
    const QString text = QInputDialog::getText(
        parent, title, prompt, secret ? QLineEdit::Password : QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
