#pragma once

#include "platform/prompts.h"

#include <QMessageBox>
#include <memory>

namespace rv {

// QMessageBox, QInputDialog, QColorDialog, QFileDialog and QPrintDialog.
class QtPrompts : public Prompts {
public:
    void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool question(QWidget* parent, const QString& text, const QString& title) override;
    SaveAnswer askToSave(QWidget* parent, const QString& text, const QString& title) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText, bool secret) override;
    std::optional<std::uint32_t> chooseColor(QWidget* parent) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& caption,
                                        const QString& suggestedPath,
                                        const QStringList& filters) override;
    bool setUpPrinter(QWidget* parent, QPrinter& printer) override;

    // The box every message and question is shown in, before its buttons are added: plain text,
    // so that a subject or a name that looks like markup shows as typed.
    static std::unique_ptr<QMessageBox> plainBox(QWidget* parent, const QString& text,
                                                 const QString& title, Icon icon = Icon::None);
};

} // namespace rv
