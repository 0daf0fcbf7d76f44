#include "studentsearchf.h"

#include "dataset.h"
#include "sqltexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

TStudentSearchF::TStudentSearchF(StoreConnection* store, const QString& savedName, QWidget* parent)
    : QDialog(parent), m_search(store, savedName)
{
    setObjectName(QStringLiteral("StudentSearchF"));
    setWindowTitle(QStringLiteral("Поиск студента"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = new QLineEdit(savedName, this);
    m_name->setObjectName(QStringLiteral("edName"));
    m_klasses = new QComboBox(this);
    m_klasses->setObjectName(QStringLiteral("cbKlass"));
    Dataset klasses(store, QStringLiteral("sqlSearchKlasses"), QString::fromUtf8(Sql::Klasses));
    klasses.open();
    for (klasses.first(); !klasses.eof(); klasses.next())
        m_klasses->addItem(klasses.value(QStringLiteral("Klass")).toString(), klasses.value(QStringLiteral("KlassID")));
    m_klasses->setCurrentIndex(-1);
    m_allKlasses = new QCheckBox(QStringLiteral("все классы"), this);
    m_allKlasses->setChecked(true);
    form->addRow(QStringLiteral("Фамилия:"), m_name);
    form->addRow(QStringLiteral("Класс:"), m_klasses);
    form->addRow(QString(), m_allKlasses);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Найдены похожие фамилии:"), this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstNames"));
    layout->addWidget(m_list, 1);
    m_choice = new QLabel(this);
    m_choice->setObjectName(QStringLiteral("lblChoice"));
    layout->addWidget(m_choice);
    layout->addWidget(new QLabel(QStringLiteral("Результат будет сохранён с фамилией:"), this));
    m_resultName = new QLabel(this);
    m_resultName->setObjectName(QStringLiteral("lblResultName"));
    layout->addWidget(m_resultName);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &TStudentSearchF::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TStudentSearchF::reject);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_search.setName(text);
        showList();
    });
    connect(m_klasses, &QComboBox::activated, this, [this] {
        m_allKlasses->setChecked(false);
        m_search.setKlass(m_klasses->currentData().toInt());
        showList();
    });
    connect(m_allKlasses, &QCheckBox::toggled, this, [this](bool all) {
        m_search.setKlass(all || m_klasses->currentIndex() < 0 ? 0 : m_klasses->currentData().toInt());
        showList();
    });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_list->hasFocus()) {
            m_search.selectRow(row);
            showChoice();
        }
    });
    m_list->installEventFilter(this);
    m_name->installEventFilter(this);
    showList();
}

bool TStudentSearchF::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_list)
            m_search.selectRow(qMax(0, m_list->currentRow()));
        else if (watched == m_name)
            m_search.chooseNew();
        showChoice();
    }
    return QDialog::eventFilter(watched, event);
}

int TStudentSearchF::Run(StoreConnection* store, const QString& savedName, QWidget* parent)
{
    TStudentSearchF dialog(store, savedName, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.studentId() : 0;
}

void TStudentSearchF::accept()
{
    const StudentSearch::Outcome out = m_search.accept();
    if (!out.accepted) {
        if (m_search.klassId() == 0) {
            m_klasses->setFocus();
            m_klasses->showPopup();
        }
        return;
    }
    m_studentId = out.studentId;
    QDialog::accept();
}

void TStudentSearchF::showList()
{
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (int i = 0; i < m_search.rowCount(); ++i)
        m_list->addItem(m_search.rowName(i));
    m_list->setCurrentRow(m_search.selectedRow());
    showChoice();
}

void TStudentSearchF::showChoice()
{
    const bool found = m_search.choice() == StudentSearch::Choice::Found;
    m_choice->setText(found ? QStringLiteral("(найдено)") : QStringLiteral("(будет добавлено)"));
    m_choice->setStyleSheet(found ? QStringLiteral("color: green;") : QStringLiteral("color: red;"));
    m_resultName->setText(m_search.resultName());
}
