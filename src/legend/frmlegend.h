#pragma once

#include "days/day_category.h"
#include "ui/window_placement.h"

#include <QWidget>
#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace rv {

class ColorSwatch;
class Prompts;
class SettingsStore;

// The legend window: one swatch per day category with its name, double-click a swatch to choose
// that category's colour. A chosen colour goes at once into the shared colour table and the
// "Color" settings; the board picks it up at its next build or row refresh, it is not repainted
// from here. Modeless; loaded afresh each time it is opened.
class frmlegend : public QWidget {
    Q_OBJECT
public:
    frmlegend(CategoryColors& category_color, SettingsStore& settings, Prompts& prompts,
              QWidget* parent = nullptr);

    void Form_Load();
    void picture1_DblClick();
    void Picture2_DblClick();
    void Picture3_DblClick();
    void Picture4_DblClick();
    void Picture5_DblClick();
    void Picture6_DblClick();
    void Check1_Click();
    void Command1_Click();

    // The window's outer position on the screen, in twips.
    double leftTwips() const;
    double topTwips() const;

    // What "Stay On Top" last handed to the window system, if it was clicked.
    std::optional<WindowPlacement> lastPlacement() const { return lastPlacement_; }

    // Picture1..Picture6 in category order.
    ColorSwatch* Picture(DayCategory category) const { return pictures_[category]; }
    QLabel* Label(DayCategory category) const { return labels_[category]; }
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;

private:
    void pickCategoryColor(DayCategory category);

    CategoryColors& category_color_;
    SettingsStore& settings_;
    Prompts& prompts_;
    std::array<ColorSwatch*, kDayCategoryCount> pictures_{};
    std::array<QLabel*, kDayCategoryCount> labels_{};
    std::optional<WindowPlacement> lastPlacement_;
};

} // namespace rv
