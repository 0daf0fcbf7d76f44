#include "findtopicf.h"

#include "datamodules.h"
#include "dataset.h"
#include "sqltexts.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QCheckBox* makeBox(QWidget* parent, const char* name, const char* caption, bool checked, const char* hint = nullptr)
{
    auto* box = new QCheckBox(u(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    if (hint)
        box->setToolTip(u(hint));
    return box;
}

} // namespace

TFindTopicF::TFindTopicF(TSharedDM& shared, QWidget* parent) : QDialog(parent), m_found(new QStandardItemModel(this))
{
    setObjectName(QStringLiteral("TFindTopicF"));
    setWindowTitle(u("Найти тему"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(u("Название (или часть названия) темы:"), this), 0, 0, 1, 3);
    edName = new QLineEdit(this);
    edName->setObjectName(QStringLiteral("edName"));
    layout->addWidget(edName, 1, 0, 1, 3);

    cbIgnoreCase = makeBox(this, "cbIgnoreCase", "без учёта регистра", true);
    cbPartial = makeBox(this, "cbPartial", "частичное совпадение", true);
    cbLive = makeBox(this, "cbLive", "поиск \"на лету\"", true, "Осуществлять поиск по мере ввода символов");
    cbWildcards =
        makeBox(this, "cbWildcards", "использовать подстановочные символы", false,
                "* - соответствует любому количеству любых символов. ? - соответствует любому одному символу");
    int row = 2;
    for (QCheckBox* box : {cbIgnoreCase, cbPartial, cbLive, cbWildcards})
        layout->addWidget(box, row++, 0, 1, 3);

    grdTopics = new QTableView(this);
    grdTopics->setObjectName(QStringLiteral("grdTopics"));
    grdTopics->setModel(m_found);
    grdTopics->setToolTip(u("Двойной щелчок открывает (под)тему"));
    grdTopics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdTopics->horizontalHeader()->setStretchLastSection(true);
    grdTopics->horizontalHeader()->hide();
    grdTopics->installEventFilter(this);
    layout->addWidget(grdTopics, row++, 0, 1, 3);

    btnFind = new QPushButton(u("Найти"), this);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnOpen = new QPushButton(u("Открыть (под)тему"), this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnOpen->setEnabled(false);
    btnCancel = new QPushButton(u("Отмена"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(btnFind, row, 0);
    layout->addWidget(btnOpen, row, 1);
    layout->addWidget(btnCancel, row, 2);

    // The rows are read once; every search filters them.
    Dataset names(shared.dm()->ADOConnection(), QStringLiteral("sqlFindTopic"), u(Sql::TopicNames));
    names.open();
    for (names.first(); !names.eof(); names.next())
        m_topics.append(
            {names.value(QStringLiteral("TopicID")).toInt(), names.value(QStringLiteral("TopicName")).toString()});

    connect(btnFind, &QPushButton::clicked, this, &TFindTopicF::Search);
    connect(edName, &QLineEdit::returnPressed, this, &TFindTopicF::Search);
    connect(edName, &QLineEdit::textChanged, this, [this] {
        if (cbLive->isChecked() && cbLive->isEnabled())
            Search();
    });
    for (QCheckBox* box : {cbIgnoreCase, cbPartial, cbLive})
        connect(box, &QCheckBox::toggled, this, [this] {
            updateLiveBox();
            Search();
        });
    connect(cbWildcards, &QCheckBox::toggled, this, &TFindTopicF::updateLiveBox);
    connect(grdTopics, &QTableView::clicked, this, &TFindTopicF::cellClicked);
    connect(grdTopics, &QTableView::doubleClicked, this, [this] {
        if (btnOpen->isEnabled())
            accept();
    });
    connect(btnOpen, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateLiveBox();
    Search();
}

int TFindTopicF::Execute(TSharedDM& shared, QWidget* parent)
{
    TFindTopicF dialog(shared, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosenTopicId() : 0;
}

TopicSearchOptions TFindTopicF::options() const
{
    TopicSearchOptions options;
    options.ignoreCase = cbIgnoreCase->isChecked();
    options.partial = cbPartial->isChecked();
    options.live = cbLive->isChecked();
    options.wildcards = cbWildcards->isChecked();
    return options;
}

void TFindTopicF::updateLiveBox()
{
    const bool allowed = options().liveAllowed();
    if (!allowed) {
        QSignalBlocker block(cbLive);
        cbLive->setChecked(false);
    }
    cbLive->setEnabled(allowed);
}

void TFindTopicF::Search()
{
    const TopicSearchOptions current = options();
    const QString text = edName->text();
    m_found->clear();
    for (const Topic& topic : std::as_const(m_topics)) {
        if (!TopicNameMatches(topic.name, text, current))
            continue;
        auto* item = new QStandardItem(topic.name);
        item->setData(topic.id);
        m_found->appendRow(item);
    }
    btnOpen->setEnabled(false);
}

QStringList TFindTopicF::foundNames() const
{
    QStringList names;
    for (int row = 0; row < m_found->rowCount(); ++row)
        names.append(m_found->item(row)->text());
    return names;
}

void TFindTopicF::cellClicked(const QModelIndex& index)
{
    QStandardItem* item = m_found->itemFromIndex(index);
    m_chosen = item ? item->data().toInt() : 0;
    btnOpen->setEnabled(item && !item->text().isEmpty());
}

bool TFindTopicF::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the grid for anything but the open button forgets the choice's button.
    if (watched == grdTopics && event->type() == QEvent::FocusOut && !btnOpen->hasFocus() && !btnOpen->underMouse())
        btnOpen->setEnabled(false);
    return QDialog::eventFilter(watched, event);
}
