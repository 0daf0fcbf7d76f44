#pragma once

class QSqlDatabase;

// Text comparison as the question bank has always had it, on a SQLite connection: LIKE without
// regard to case for every alphabet (SQLite's own folds only A-Z, so "ив%" would miss "Иванов"),
// and the collation StoreCollation for ORDER BY (Russian alphabetical order without regard to
// case, Ё beside Е), which ToSqliteDialect adds to the ordering of the fixed texts.
// False when the connection is not a SQLite one.
bool RegisterStoreFunctions(const QSqlDatabase& db);

inline constexpr char StoreCollation[] = "vastrel_text";
