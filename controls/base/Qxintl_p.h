#pragma once
// Not public API: the table of default texts shared by Qxintl.cpp and its rows.

#include <vector>

struct TqxIntlRow {
    const char *ClassName; // the sub-object class that publishes the text
    const char *Name;
    const char *Default;
};

const std::vector<TqxIntlRow> &qxIntlRows();
