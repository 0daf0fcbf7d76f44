#pragma once

#include "resultsexport.h"

class ArchiveQuery;

// What the archive hands to the results export: its rows in the order shown, with their values
// typed and as shown, and the texts of the filters that are on.
QList<ResultRecord> ArchiveResultRecords(const ArchiveQuery& query);
// The student's name is the chooser's (the query keeps only the id).
ResultFilters ArchiveFilterTexts(const ArchiveQuery& query, const QString& studentName);
