#pragma once

#include "messages.h"
#include "table.h"

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QSqlQuery;
class StoreConnection;
struct SchemaTable;

namespace MigrationTexts {
inline constexpr char SeveralOldDatabases[] =
    "Обнаружено несколько файлов старой базы данных.\r\rЕсли после обновления версии программы Вы ещё не "
    "переносили данные из старой базы,\rВы можете это сделать из Главного меню программы:\r\"Тема | Перенести "
    "данные из предыдущей версии\"";
inline constexpr char NotEmptyQuestion[] = "Обновлённая база данных не пустая.\rПеренос данных может быть "
                                           "некорректным.\r\rПродолжить попытку автоматического переноса?";
inline constexpr char TablesFailed[] = "Не удалось автоматически перенести данные в обновлённую базу из следующих "
                                       "таблиц:\r\r%S\r\rВы можете перенести их вручную, используя MS Access.";
inline constexpr char AllMoved[] = "Все данные успешно перенесены в обновлённую базу.";
inline constexpr char AllMovedDeleteOld[] =
    "Все данные успешно перенесены в обновлённую базу.\r\rСтарую базу данных \"%S\" рекомендуется удалить.";
inline constexpr char MovedOldName[] = "%SDataReplaced_From_%S_To_%S";
inline constexpr char ActionCaption[] = "Перенести данные из предыдущей версии";
inline constexpr char OpenDialogTitle[] = "Выбор файла старой базы данных";
inline constexpr char OpenDialogFilter[] = "MDB files (*.mdb)|*.mdb";
} // namespace MigrationTexts

// Rows of a table of another database written into the store's table of the same name, all in
// one transaction: committed whole or, when anything fails or the import is dropped, not at all.
// Columns are matched by name regardless of case: one the old table lacks keeps the store's
// default, one the store lacks is left behind. A text longer than the store's column (an older
// bank may have had wider ones) is shortened, with a line in the run log. Key values are written as they come, so that
// the references between the tables hold.
class TableImport
{
public:
    // AppError when the store has no such table or the transaction cannot begin.
    TableImport(StoreConnection* store, const QString& table);
    ~TableImport();
    TableImport(const TableImport&) = delete;
    TableImport& operator=(const TableImport&) = delete;

    void setColumns(const QList<Column>& columns);
    // Values in the order of the columns given; AppError when the store refuses the row.
    void addRow(const QVariantList& row);
    void commit();
    int rows() const { return m_rows; }

private:
    QSqlDatabase m_db;
    const SchemaTable* m_target;
    std::unique_ptr<QSqlQuery> m_insert;
    QList<QPair<int, Column>> m_mapping; // old ordinal, store column
    bool m_open = false;
    int m_rows = 0;
};

// The tables an old database gives the current one, in the order they are moved.
QStringList MigratedTables();

// What a move has to tell the user, in order. Logic never shows it: the command does.
struct MigrationNotice
{
    QString text;
    MsgIcon icon = MsgIcon::Information;
    bool operator==(const MigrationNotice&) const = default;
};

struct MigrationOutcome
{
    bool success = false;
    QList<MigrationNotice> notices;
};

// Asked before moving into a store that already holds rows; false (No) leaves both as they are.
using ConfirmMove = std::function<bool(const QString& question)>;

// Moves the data of an old question bank into the store that the connection has open. The old
// file is a SQLite file of an earlier installation of this system, or a Jet 3 / Jet 4 database of
// the Windows programs; it is only read. Tables are moved whole, one after the other; the first
// that fails stops the move (tables moved before it stay moved). Rows keep their key values, so
// the references between the tables hold. Asks through `confirm` before moving into a store that
// already holds rows; gives the outcome's message as a notice; after success gives the old file the
// name "DataReplaced_From_<old name>_To_vs4.mdb" and reopens the connection with its datasets.
//
// AppError (with the reason in words) when the old file cannot be opened as a database at all;
// nothing has been copied then.
MigrationOutcome MigrateDatabase(StoreConnection* connection, const QString& oldPath, const ConfirmMove& confirm);

// At start: moves the one old database lying in the program's folder ("ekz*.mdb", "vs*.mdb"
// other than vs4.mdb itself), or gives the notice that there are several. `success` is true when
// old data remain, which is when the main window enables its command to move data.
MigrationOutcome CheckOldDatabases(StoreConnection* connection, const ConfirmMove& confirm);

// Before the store is opened: a Jet file at the store's own path (a bank copied over from the
// Windows programs) is renamed "vs4_jet.mdb" (made unique) so that a fresh store can be made and
// the start-up check moves the old bank in. Returns the new path, or empty when the file at the
// path is not a Jet database (or there is none). AppError when the file cannot be renamed.
QString SetAsideJetStore(const QString& storePath);

// The command "Перенести данные из предыдущей версии" (acUpdateDB) as the main windows hold it:
// whether it is enabled, after the start-up check and after each use. As a command it asks and
// tells the user through the message seam: the question before moving into a non-empty store, the
// notices of the move, and a failure (the command then stays enabled).
class UpdateDbCommand
{
public:
    bool enabled() const { return m_enabled; }
    // At start.
    void startUp(StoreConnection* connection);
    // With the file chosen in the open dialog; an empty path (dialog cancelled) does nothing.
    void execute(StoreConnection* connection, const QString& chosenFile);

private:
    void run(const std::function<MigrationOutcome(const ConfirmMove&)>& move, bool enabledOnSuccess);
    bool m_enabled = true;
};
