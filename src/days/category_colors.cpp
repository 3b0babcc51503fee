#include "days/category_colors.h"

#include "platform/settings_store.h"

namespace rv {

double leadingNumber(const QString& text) {
    QString digits;
    bool seenDigit = false;
    bool seenPoint = false;
    bool seenExponent = false;
    for (const QChar ch : text) {
        if (ch == QLatin1Char(' ') || ch == QLatin1Char('\t'))
            continue;
        const QChar last = digits.isEmpty() ? QChar() : digits.back();
        if (ch.isDigit() && ch.unicode() < 128) {
            digits += ch;
            seenDigit = true;
        } else if ((ch == QLatin1Char('+') || ch == QLatin1Char('-')) &&
                   (digits.isEmpty() || last == QLatin1Char('E'))) {
            digits += ch;
        } else if (ch == QLatin1Char('.') && !seenPoint && !seenExponent) {
            digits += ch;
            seenPoint = true;
        } else if ((ch == QLatin1Char('e') || ch == QLatin1Char('E')) && seenDigit &&
                   !seenExponent) {
            digits += QLatin1Char('E');
            seenExponent = true;
        } else {
            break;
        }
    }
    // Drop an unfinished exponent or sign at the end ("12E", "12E-").
    while (!digits.isEmpty() && !digits.back().isDigit() && digits.back() != QLatin1Char('.'))
        digits.chop(1);
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok && seenDigit ? value : 0.0;
}

CategoryColors readCategoryColors(SettingsStore& settings) {
    CategoryColors colors{};
    for (int c = 0; c < kDayCategoryCount; ++c) {
        const auto category = static_cast<DayCategory>(c);
        const QString text = settings.GetSetting(QStringLiteral("Color"), categoryKey(category),
                                                 QStringLiteral("none"));
        colors[c] =
            text == QLatin1String("none") ? defaultCategoryColor(category) : leadingNumber(text);
    }
    return colors;
}

} // namespace rv
