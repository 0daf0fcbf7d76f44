#pragma once

#include "table.h"

#include <QStringList>

class Dataset;

// Every row of an open dataset, in order, as an in-memory table with the dataset's columns and
// their types (the store's own for the columns of its tables). The dataset does not move.
Table DatasetToTable(const Dataset& dataset);

// Appends every row of the table to the dataset, each posted at once: the values go in by column
// name; the dataset's columns that the table lacks keep their defaults, and so do the
// auto-numbered key and the columns named in `keepDefault`. Returns the number of rows added.
int AppendTableRows(Dataset& dataset, const Table& table, const QStringList& keepDefault = {});
