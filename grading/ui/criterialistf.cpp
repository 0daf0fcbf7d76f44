#include "criterialistf.h"

#include "gradingtexts.h"
#include "markscale.h"

#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPointer<TCriteriaListF>& openWindow()
{
    static QPointer<TCriteriaListF> window;
    return window;
}

} // namespace

TCriteriaListF* TCriteriaListF::instance()
{
    return openWindow().data();
}

TCriteriaListF* TCriteriaListF::ensure(const QString& criteriaList, QWidget* parent)
{
    if (!openWindow())
        openWindow() = new TCriteriaListF(criteriaList, parent);
    return openWindow().data();
}

void TCriteriaListF::closeInstance()
{
    if (TCriteriaListF* window = openWindow().data())
        window->close();
}

TCriteriaListF::TCriteriaListF(const QString& criteriaList, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CriteriaListF"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(GradingTexts::CriteriaCaption);

    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setColumnCount(2);
    m_grid->setHorizontalHeaderLabels({GradingTexts::MarkHeading, GradingTexts::MinPercentHeading});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);

    m_unknownScale = new QLabel(this);
    m_unknownScale->setObjectName(QStringLiteral("lblUnknownScale"));
    m_unknownScale->setWordWrap(true);

    m_btnClose = new QPushButton(GradingTexts::Close, this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(m_btnClose, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addWidget(m_unknownScale);
    layout->addWidget(m_btnClose, 0, Qt::AlignRight);

    fill(criteriaList);
}

TCriteriaListF::~TCriteriaListF() = default;

void TCriteriaListF::fill(const QString& criteriaList)
{
    const CriteriaTable table = CriteriaWindowRows(criteriaList);
    m_unknownScale->setVisible(!table.knownScale);
    m_grid->setVisible(table.knownScale);
    if (!table.knownScale) {
        m_unknownScale->setText(GradingTexts::UnknownScale.arg(table.scaleText));
        return;
    }
    m_grid->setRowCount(int(table.rows.size()));
    for (int r = 0; r < table.rows.size(); ++r) {
        m_grid->setItem(r, 0, new QTableWidgetItem(table.rows[r].mark));
        m_grid->setItem(r, 1, new QTableWidgetItem(table.rows[r].threshold));
    }
}
