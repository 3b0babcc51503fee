#pragma once

#include "platform/desktop.h"
#include "platform/prompts.h"

namespace rv::bench {

// A benchmark shows no box and opens nothing.
class NoPrompts : public Prompts {
public:
    void message(QWidget*, const QString&, const QString&, Icon) override {}
    bool question(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> input(QWidget*, const QString&, const QString&, const QString&,
                                 bool) override {
        return std::nullopt;
    }
    std::optional<std::uint32_t> chooseColor(QWidget*) override { return std::nullopt; }
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString&,
                                        const QStringList&) override {
        return std::nullopt;
    }
    bool setUpPrinter(QWidget*, QPrinter&) override { return false; }
};

class NoDesktop : public Desktop {
public:
    bool openUrl(const QUrl&) override { return false; }
    bool startProgram(const QString&) override { return false; }
};

} // namespace rv::bench
