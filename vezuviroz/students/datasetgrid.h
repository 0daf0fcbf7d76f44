#pragma once

#include <QAbstractTableModel>

class Dataset;

// A one-column grid over one field of a dataset, with the record commands of its navigator:
// the current row is the dataset's, an edited cell is the dataset's pending change (saved by
// post(), by moving to another row, or dropped by cancel()), and a new row stands at the end
// until it is saved. Every save goes to the store at once.
//
// The owner calls reset() after it re-read the dataset in another way.
class DatasetGrid : public QAbstractTableModel
{
    Q_OBJECT

public:
    DatasetGrid(Dataset* dataset, const QString& field, const QString& title, QObject* parent = nullptr);

    Dataset* dataset() const { return m_dataset; }
    // A list to choose from rather than to edit.
    void setEditable(bool editable) { m_editable = editable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The grid row of the dataset's current row (the new row while one is inserted), -1 with none.
    int currentRow() const;
    // Makes the row current; a pending change of another row is saved first.
    void setCurrentRow(int row);
    // The field's value in the row (the pending one for the current row while it is edited).
    QVariant valueAt(int row) const;

    void first();
    void prior();
    void next();
    void last();
    // A new row at the end; false when the dataset's rules abandoned it.
    bool append();
    // Deletes the current row (a new row not yet saved is dropped).
    void remove();
    void post();
    void cancel();
    bool isEditing() const;
    // Saves a pending change, if there is one.
    void postPending();

    void reset();

Q_SIGNALS:
    // The current row or the editing state changed (the commands' enabling follows it).
    void stateChanged();

private:
    template <typename Change> void change(Change&& work);

    Dataset* m_dataset;
    QString m_field;
    QString m_title;
    bool m_editable = true;
};
