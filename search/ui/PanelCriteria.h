#pragma once

#include "search/SearchCriteria.h"

class TFilterPanel;

// What the filter panel's ticks and inputs say right now.
SearchCriteria criteriaFromPanel(const TFilterPanel& panel);
