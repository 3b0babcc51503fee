// The month grid's layout: month and year at start-up, header row, column widths, name column.

#include "board/form1.h"

#include "board/month_layout.h"
#include "platform/settings_store.h"

#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>

#include <cmath>
#include <optional>

namespace rv {

namespace {

// A stored number as the board reads it back: blanks around it are allowed, a fraction rounds.
std::optional<long long> storedNumber(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e9)
        return std::nullopt;
    return static_cast<long long>(std::nearbyint(value));
}

} // namespace

void Form1::set_grid() {
    const QDate today = QDate::currentDate();

    // A month that is not a number, or not one of the twelve, counts as never stored.
    const auto month = storedNumber(services_.settings.GetSetting(
        QStringLiteral("Settings"), QStringLiteral("Month"), QStringLiteral("99")));
    if (month && *month >= 1 && *month <= 12) {
        state_.cur_month = static_cast<std::uint8_t>(*month);
    } else {
        state_.cur_month = static_cast<std::uint8_t>(today.month());
        services_.settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Month"),
                                       QLatin1Char(' ') + QString::number(today.month()));
    }
    Combo1->setCurrentIndex(state_.cur_month - 1);

    const auto year = storedNumber(services_.settings.GetSetting(
        QStringLiteral("Settings"), QStringLiteral("Year"), QStringLiteral("888")));
    if (year && *year != 888 && *year >= INT16_MIN && *year <= INT16_MAX) {
        state_.cur_year = static_cast<std::int16_t>(*year);
    } else {
        state_.cur_year = static_cast<std::int16_t>(today.year());
        services_.settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("Year"),
                                       QString::number(today.year()));
    }
    txtYear->setText(QString::number(state_.cur_year));

    Grid1->setColumnCount(get_days_of_month(state_.cur_month, state_.cur_year));
}

void Form1::headerAndWidths() {
    const int columns = get_days_of_month(state_.cur_month, state_.cur_year);
    Grid1->setColumnCount(columns);
    pbar_users->setValue(0);
    pbar_days->setValue(0);
    HScroll1_Change();
    show();
    Grid1->setBackgroundColor(paintedColor(state_.category_color[Free_All_day]));
    Grid1->setMonth(state_.cur_month, state_.cur_year);
    for (int d = 1; d < columns; ++d) {
        Grid1->setCellText(0, d, QString::number(d));
        Grid1->setCellAlignment(0, d, 3);
    }
}

void Form1::allignc1() {
    // Every row, however many: the board is not limited to 254 people.
    for (int r = 0; r < Grid1->rowCount(); ++r) {
        Grid1->selectFromCode(r, 0);
        Grid1->setCellAlignment(r, 0, 1);
    }
    // The pass leaves the last name current but nothing selected: a click on that name is then
    // still a selection that refreshes the row.
    Grid1->clearSelectionFromCode();
    Grid1->endProgress();
    if (Grid1->paintingEnabled())
        Grid1->viewport()->update();
}

} // namespace rv
