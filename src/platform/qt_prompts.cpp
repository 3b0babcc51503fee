#include "platform/qt_prompts.h"

#include "ui/colors.h"

#include <QColorDialog>
#include <QInputDialog>
#include <QMessageBox>

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

} // namespace rv
