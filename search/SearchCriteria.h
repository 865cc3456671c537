#pragma once

#include "catalogue/searchindex/NamePattern.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The five filters of a search, each with its tick and its input as the user set them.
struct SearchCriteria {
    bool byDisc = false;
    QString discLabel; // a disc label such as D0007
    bool byFile = false;
    QString pattern; // as typed: "*" is the wildcard, blanks around it are dropped later
    bool byDateFrom = false;
    QDateTime dateFrom; // the chosen day at 00:00:00
    bool byDateTo = false;
    QDateTime dateTo; // the chosen day at 23:59:59
    bool byExtension = false;
    QString extension;          // an extension list entry: no dot, any letter case
    QStringList moreExtensions; // further extensions, any of which matches as well
    // A name condition of our own, beside the five (the command line's --contains and --name,
    // "Find names anywhere"): letters of every script compared without case.
    std::optional<NamePattern::Terms> name;
};
