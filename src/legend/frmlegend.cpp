#include "legend/frmlegend.h"

#include "legend/color_swatch.h"
#include "legend/stay_on_top.h"
#include "ui/colors.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace rv {

namespace {

struct LegendRow {
    QRect swatch;
    const char* caption;
    QRect label;
};

// In DayCategory order: Picture1/Label1 is "Free_All_day" ... Picture6/Label6 "Weekend".
const LegendRow kRows[kDayCategoryCount] = {
    {twipsRect(120, 120, 210, 315), "Free All Day", twipsRect(450, 180, 1380, 225)},
    {twipsRect(120, 600, 210, 315), "0 to 4 Hours", twipsRect(450, 630, 1380, 225)},
    {twipsRect(120, 1020, 210, 315), "Between 4 and 7 Hours", twipsRect(450, 1080, 1740, 225)},
    {twipsRect(120, 1440, 210, 315), "More than 7 Hours", twipsRect(450, 1530, 1380, 225)},
    {twipsRect(120, 1860, 210, 315), "Special Event", twipsRect(450, 1980, 1380, 225)},
    {twipsRect(120, 2280, 210, 315), "Weekend", twipsRect(450, 2400, 1380, 225)},
};

// The captions were laid out for a narrower font than most desktops use: take the largest size,
// from 8 points down, at which every caption fits the width it was given.
QFont fontFittingCaptions(QFont font, const std::array<QLabel*, kDayCategoryCount>& labels,
                          const QCheckBox* check) {
    const int indicator =
        check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
        check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
    for (double points = 8.0; points > 5.0; points -= 0.5) {
        font.setPointSizeF(points);
        const QFontMetrics metrics(font);
        bool fits = metrics.horizontalAdvance(check->text()) <= check->width() - indicator;
        for (const QLabel* label : labels)
            fits = fits && metrics.horizontalAdvance(label->text()) <= label->width();
        if (fits)
            break;
    }
    return font;
}

} // namespace

frmlegend::frmlegend(CategoryColors& category_color, SettingsStore& settings, Prompts& prompts,
                     QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      category_color_(category_color), settings_(settings), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Legend"));
    setFixedSize(twipsRect(0, 0, 2160, 3315).size());

    // Created first so that it comes first in the tab order.
    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setGeometry(twipsRect(120, 2835, 615, 375));
    Check1 = new QCheckBox(QStringLiteral("Stay On Top"), this);
    Check1->setGeometry(twipsRect(840, 2880, 1215, 255));

    for (int c = 0; c < kDayCategoryCount; ++c) {
        pictures_[c] = new ColorSwatch(this);
        pictures_[c]->setGeometry(kRows[c].swatch);
        labels_[c] = new QLabel(QString::fromLatin1(kRows[c].caption), this);
        labels_[c]->setGeometry(kRows[c].label);
    }
    setFont(fontFittingCaptions(font(), labels_, Check1));
    setTabOrder(Command1, Check1);
    Command1->setFocus();

    connect(pictures_[Free_All_day], &ColorSwatch::doubleClicked, this,
            &frmlegend::picture1_DblClick);
    connect(pictures_[UpTo4], &ColorSwatch::doubleClicked, this, &frmlegend::Picture2_DblClick);
    connect(pictures_[Between4And7], &ColorSwatch::doubleClicked, this,
            &frmlegend::Picture3_DblClick);
    connect(pictures_[MoreThan7], &ColorSwatch::doubleClicked, this, &frmlegend::Picture4_DblClick);
    connect(pictures_[Special_Event], &ColorSwatch::doubleClicked, this,
            &frmlegend::Picture5_DblClick);
    connect(pictures_[Weekend], &ColorSwatch::doubleClicked, this, &frmlegend::Picture6_DblClick);
    connect(Check1, &QCheckBox::clicked, this, &frmlegend::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, &frmlegend::Command1_Click);

    Form_Load();
}

void frmlegend::Form_Load() {
    Check1->setChecked(false);
    for (int c = 0; c < kDayCategoryCount; ++c)
        pictures_[c]->setColor(qcolorFromColorRef(paintedColor(category_color_[c])));
}

void frmlegend::picture1_DblClick() {
    pickCategoryColor(Free_All_day);
}
void frmlegend::Picture2_DblClick() {
    pickCategoryColor(UpTo4);
}
void frmlegend::Picture3_DblClick() {
    pickCategoryColor(Between4And7);
}
void frmlegend::Picture4_DblClick() {
    pickCategoryColor(MoreThan7);
}
void frmlegend::Picture5_DblClick() {
    pickCategoryColor(Special_Event);
}
void frmlegend::Picture6_DblClick() {
    pickCategoryColor(Weekend);
}

void frmlegend::pickCategoryColor(DayCategory category) {
    const std::optional<std::uint32_t> chosen = prompts_.chooseColor(this);
    if (!chosen)
        return; // cancelled: swatch, table and store keep their colour
    pictures_[category]->setColor(qcolorFromColorRef(*chosen));
    category_color_[category] = static_cast<double>(*chosen);
    settings_.SaveSetting(QStringLiteral("Color"), categoryKey(category), QString::number(*chosen));
}

double frmlegend::leftTwips() const {
    return pixelsToTwips(frameGeometry().x());
}

double frmlegend::topTwips() const {
    return pixelsToTwips(frameGeometry().y());
}

void frmlegend::Check1_Click() {
    const WindowPlacement placement =
        stayOnTopPlacement(leftTwips(), topTwips(), Check1->isChecked());
    lastPlacement_ = placement;
    applyWindowPlacement(*this, placement);
}

void frmlegend::Command1_Click() {
    close();
}

} // namespace rv
