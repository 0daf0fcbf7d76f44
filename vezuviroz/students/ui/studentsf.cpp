#include "studentsf.h"

#include "filedialogs.h"
#include "recordbar.h"
#include "studentstexts.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TStudentsF::TStudentsF(TDM* dm, QWidget* parent) : QDialog(parent), m_list(dm)
{
    setObjectName(QStringLiteral("StudentsF"));
    setWindowTitle(StudentsText::StudentsTitle);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Класс:"), this));
    m_klasses = new QComboBox(this);
    m_klasses->setObjectName(QStringLiteral("cbKlass"));
    for (const KlassItem& k : m_list.klasses())
        m_klasses->addItem(k.name, k.id);
    top->addWidget(m_klasses, 1);
    m_move = new QPushButton(QStringLiteral("В другой класс"), this);
    m_move->setObjectName(QStringLiteral("btnMove"));
    m_move->setToolTip(QStringLiteral("Перебросить выделенного в другой класс"));
    m_move->setCheckable(true);
    m_move->setAutoDefault(false);
    top->addWidget(m_move);
    auto* import = new QPushButton(QStringLiteral("Импорт..."), this);
    import->setObjectName(QStringLiteral("btnImport"));
    import->setToolTip(QStringLiteral("Импорт из текстового файла"));
    import->setAutoDefault(false);
    top->addWidget(import);
    layout->addLayout(top);

    m_moveHint = new QLabel(StudentsText::NowChooseKlass, this);
    m_moveHint->setObjectName(QStringLiteral("lblMoveHint"));
    m_moveHint->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_moveHint->hide();
    layout->addWidget(m_moveHint);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("gridStudents"));
    layout->addWidget(MakeRecordBar(m_list.grid(), m_view,
                                    {{RecordCommand::First, QStringLiteral("Первый")},
                                     {RecordCommand::Prior, QStringLiteral("Предыдущий")},
                                     {RecordCommand::Next, QStringLiteral("Следующий")},
                                     {RecordCommand::Last, QStringLiteral("Последний")},
                                     {RecordCommand::Append, QStringLiteral("Новый")},
                                     {RecordCommand::Remove, QStringLiteral("Удалить")},
                                     {RecordCommand::Post, QStringLiteral("Сохранить изменения")},
                                     {RecordCommand::Cancel, QStringLiteral("Отменить изменения")}},
                                    this));
    layout->addWidget(m_view, 1);
    m_view->installEventFilter(this);

    connect(m_klasses, &QComboBox::activated, this, [this](int index) { m_list.chooseKlass(index); });
    connect(&m_list, &StudentList::chosenKlassChanged, this, &TStudentsF::showChosenKlass);
    connect(m_move, &QPushButton::toggled, this, [this](bool down) {
        m_list.setMoving(down);
        if (down)
            pointToChooser();
    });
    connect(&m_list, &StudentList::movingChanged, this, [this](bool down) {
        const QSignalBlocker block(m_move);
        m_move->setChecked(down);
        m_moveHint->setVisible(down);
    });
    connect(import, &QPushButton::clicked, this, &TStudentsF::btnImportClick);
    showChosenKlass(m_list.chosenKlass());
    resize(640, 480);
}

void TStudentsF::showChosenKlass(int index)
{
    const QSignalBlocker block(m_klasses);
    m_klasses->setCurrentIndex(index);
}

void TStudentsF::pointToChooser()
{
    m_klasses->setFocus();
    m_klasses->showPopup();
}

void TStudentsF::btnImportClick()
{
    if (!m_list.requireKlass()) {
        pointToChooser();
        return;
    }
    const QString path =
        ChooseOpenFile(this, QStringLiteral("Импорт из текстового файла"), QtFileFilter(StudentsText::ImportFilter));
    if (!path.isEmpty())
        m_list.importFile(path);
}

bool TStudentsF::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress && m_list.chosenKlass() == StudentList::NoKlass) {
        m_list.requireKlass();
        pointToChooser();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TStudentsF::done(int result)
{
    if (SavePendingChange(m_list.grid()))
        QDialog::done(result);
}
