#include "detailsf.h"

#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

TDetailsF::TDetailsF(const TestDetails& details, bool rowsChoosable, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_grid(new QTableView(this)),
      m_model(new QStandardItemModel(0, 4, this))
{
    setObjectName(QStringLiteral("TDetailsF"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Подробно"));
    m_model->setHorizontalHeaderLabels({QStringLiteral("№ вопр."), QStringLiteral("Цена вопр."),
                                        QStringLiteral("Правильность"), QStringLiteral("Вклад в общий результат")});
    for (const DetailsRow& row : details.rows) {
        QList<QStandardItem*> items;
        for (const QString& text : {row.number, row.price, row.rightness, row.contribution}) {
            auto* item = new QStandardItem(text);
            item->setEditable(false);
            items.append(item);
        }
        m_model->appendRow(items);
    }
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (rowsChoosable)
        connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current) {
                    if (current.isValid())
                        Q_EMIT questionChosen(current.row());
                });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    auto* total = new QLabel(QStringLiteral("Общая правильность: %1%").arg(details.percentText), this);
    total->setObjectName(QStringLiteral("lbTotal"));
    auto* mark = new QLabel(QStringLiteral("Оценка: %1").arg(details.markText), this);
    mark->setObjectName(QStringLiteral("lbMark"));
    layout->addWidget(total);
    layout->addWidget(mark);
    resize(520, 360);
}
