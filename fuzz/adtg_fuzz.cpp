// Feeds arbitrary bytes to the ADTG reader: it must give a table or an AppError, never crash, hang or
// allocate beyond the input. A table it gives must survive being written and read again.
#include "adtg.h"
#include "apperror.h"
#include "runlog.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunLog::clear(); // the reader logs readings other than its own; the log is kept in memory
    Table table;
    try {
        table = ReadAdtg(QByteArrayView(data, qsizetype(size)));
    } catch (const AppError&) {
        return 0;
    }
    QByteArray written;
    try {
        written = WriteAdtg(table);
    } catch (const AppError&) {
        return 0; // read from elsewhere, it may hold what the writer refuses (text over its width, ...)
    }
    const Table back = ReadAdtg(written); // our own bytes must read: a throw here ends the run
    if (back.columnCount() != table.columnCount() || back.rowCount() != table.rowCount())
        std::abort();
    // What was read from our own bytes writes the same bytes again: the reader and the writer agree on
    // every column and value they pass between them.
    if (WriteAdtg(back) != written)
        std::abort();
    return 0;
}
