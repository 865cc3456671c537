#pragma once

#include <QString>
#include <QStringList>

class Catalogue;

// The entries of the disc list and the extension list as the catalogue gives them,
// without any widget: the filter panel and the command line show the very same lists.
namespace FilterLists
{
// Shown alone, and disabled, when a list would be empty.
inline const QString None = QStringLiteral("- None -");

// Disc labels, highest id first.
QStringList discLabels(Catalogue& catalogue);
// Lower-case extensions without their dot, in the catalogue's order.
QStringList extensionEntries(Catalogue& catalogue);

// Removes leading and trailing blanks and control characters (codes 32 and below).
QString trimControls(const QString& text);
// The entry an extension as stored (".TXT ") gives in the list ("txt"); false when the
// stored text holds nothing but blanks.
bool extensionEntry(const QString& stored, QString& entry);
} // namespace FilterLists
