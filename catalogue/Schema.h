#pragma once

#include <QString>

// The catalogue's tables and indexes. The program itself only reads and writes rows;
// the command line creates catalogues and brings older ones up to date.
namespace Schema {
// Creates a new catalogue file with empty tables; refuses when the file exists.
void createCatalogue(const QString& path);
} // namespace Schema
