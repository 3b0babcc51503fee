#pragma once

#include "days/day_category.h"

namespace rv {

class SettingsStore;

// The leading-number rule: blanks are ignored and the decimal number at the start of the text is
// taken as a floating-point value; text that does not start with a number gives 0.
double leadingNumber(const QString& text);

// Reads the six colours from section "Color": an absent key ("none") gives the category's
// default, any other text its leading number.
CategoryColors readCategoryColors(SettingsStore& settings);

} // namespace rv
