#include "datasettable.h"

#include "apperror.h"
#include "dataset.h"

Table DatasetToTable(const Dataset& dataset)
{
    Table table(dataset.fields());
    for (int i = 0; i < dataset.recordCount(); ++i)
        table.appendRow(dataset.rowValues(i));
    return table;
}

int AppendTableRows(Dataset& dataset, const Table& table, const QStringList& keepDefault)
{
    // Column of the table for each column of the dataset, -1 for none.
    QList<int> source;
    for (const Column& field : dataset.fields()) {
        const bool skip = field.autoIncrement || keepDefault.contains(field.name, Qt::CaseInsensitive);
        source.append(skip ? -1 : table.columnIndex(field.name));
    }
    int added = 0;
    for (int row = 0; row < table.rowCount(); ++row) {
        if (!dataset.append())
            break;
        for (int f = 0; f < source.size(); ++f)
            if (source[f] >= 0)
                dataset.setValue(f, table.value(row, source[f]));
        dataset.post();
        ++added;
    }
    return added;
}
