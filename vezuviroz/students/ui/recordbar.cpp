#include "recordbar.h"

#include "apperror.h"
#include "datasetgrid.h"
#include "messages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace {

const char* commandName(RecordCommand command)
{
    switch (command) {
    case RecordCommand::First:
        return "btnFirst";
    case RecordCommand::Prior:
        return "btnPrior";
    case RecordCommand::Next:
        return "btnNext";
    case RecordCommand::Last:
        return "btnLast";
    case RecordCommand::Append:
        return "btnAppend";
    case RecordCommand::Remove:
        return "btnRemove";
    case RecordCommand::Post:
        return "btnPost";
    case RecordCommand::Cancel:
        return "btnCancel";
    }
    return "";
}

void run(RecordCommand command, DatasetGrid* grid, QTableView* view)
{
    switch (command) {
    case RecordCommand::First:
        return grid->first();
    case RecordCommand::Prior:
        return grid->prior();
    case RecordCommand::Next:
        return grid->next();
    case RecordCommand::Last:
        return grid->last();
    case RecordCommand::Append:
        if (grid->append())
            view->edit(grid->index(grid->currentRow(), 0));
        return;
    case RecordCommand::Remove:
        return grid->remove();
    case RecordCommand::Post:
        return grid->post();
    case RecordCommand::Cancel:
        return grid->cancel();
    }
}

bool allowed(RecordCommand command, const DatasetGrid* grid)
{
    const int row = grid->currentRow();
    switch (command) {
    case RecordCommand::First:
    case RecordCommand::Prior:
        return row > 0;
    case RecordCommand::Next:
    case RecordCommand::Last:
        return row >= 0 && row + 1 < grid->rowCount();
    case RecordCommand::Append:
        return true;
    case RecordCommand::Remove:
        return row >= 0;
    case RecordCommand::Post:
    case RecordCommand::Cancel:
        return grid->isEditing();
    }
    return false;
}

} // namespace

QWidget* MakeRecordBar(DatasetGrid* grid, QTableView* view,
                       std::initializer_list<std::pair<RecordCommand, QString>> commands, QWidget* parent)
{
    view->setModel(grid);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);

    auto* bar = new QWidget(parent);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    QList<std::pair<RecordCommand, QPushButton*>> buttons;
    for (const auto& [command, caption] : commands) {
        auto* button = new QPushButton(caption, bar);
        button->setObjectName(QLatin1String(commandName(command)));
        button->setAutoDefault(false);
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, grid, [grid, view, command] {
            // A cell still being typed in belongs to the row the command acts on.
            if (QWidget* editor = view->indexWidget(view->currentIndex()))
                QMetaObject::invokeMethod(view, "commitData", Q_ARG(QWidget*, editor));
            run(command, grid, view);
        });
        buttons.append({command, button});
    }
    layout->addStretch(1);

    // The view shows the grid's current row; a row chosen in the view becomes the grid's.
    const auto follow = [grid, view, buttons] {
        const QModelIndex current = grid->index(grid->currentRow(), 0);
        if (view->currentIndex() != current)
            view->setCurrentIndex(current);
        for (const auto& [command, button] : buttons)
            button->setEnabled(allowed(command, grid));
    };
    QObject::connect(grid, &DatasetGrid::stateChanged, view, follow);
    QObject::connect(grid, &QAbstractItemModel::modelReset, view, follow);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, grid,
                     [grid](const QModelIndex& current) {
                         if (current.isValid() && current.row() != grid->currentRow())
                             grid->setCurrentRow(current.row());
                     });
    follow();
    return bar;
}

bool SavePendingChange(DatasetGrid* grid)
{
    try {
        grid->postPending();
        return true;
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
        return false;
    }
}
