#pragma once

#include <QString>

// A disc is known by its type letter and its id with at least four digits: C0001, D0042, C12345;
// an id below one (a hand-edited catalogue) as C0000 or C-003.
QString discLabel(const QString& typeLetter, qint64 id);

// Drops the first character and reads the rest as a decimal integer.
qint64 discIdFromLabel(const QString& label);

// The medium a type letter stands for, as the disc record shows it: C is "CD", D is "DVD"; any
// other letter (a hand-edited catalogue) is shown as it is.
QString discTypeName(const QString& typeLetter);
