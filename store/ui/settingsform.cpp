#include "settingsform.h"

#include "apperror.h"
#include "messages.h"
#include "utf8text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char* const SystemCaptions[] = {"100-бальная", "12-бальная", "5-бальная", "Зачёт/Незачёт"};

QString thresholdCaption(int mark)
{
    if (mark == 1)
        return Utf8Text("Для зачёта необходимо");
    if (mark == 2 || mark == 3)
        return Utf8Text("На %1 балла:").arg(mark);
    return Utf8Text("На %1 баллов:").arg(mark);
}

} // namespace

TSettingsF::TSettingsF(SettingsRows& rows, int topicId, const QString& topicName, QWidget* parent)
    : QDialog(parent), m_editor(rows, topicId)
{
    setObjectName(QStringLiteral("SettingsF"));
    setWindowTitle(QStringLiteral("%1 %2").arg(Utf8Text(SettingsTexts::Caption), topicName));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("PageControl"));

    // "Общие"
    auto* general = new QWidget;
    general->setObjectName(QStringLiteral("tsGeneral"));
    auto* g = new QVBoxLayout(general);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(Utf8Text("Выдавать")));
    m_count = new QSpinBox;
    m_count->setObjectName(QStringLiteral("edGiveMaxCount"));
    m_count->setRange(TopicSettingsEditor::MinQuestionCount, TopicSettingsEditor::MaxQuestionCount);
    countRow->addWidget(m_count);
    countRow->addWidget(new QLabel(Utf8Text("вопросов из темы")));
    countRow->addStretch();
    g->addLayout(countRow);
    auto* countHint = new QLabel(
        Utf8Text("Если установлено больше вопросов, чем есть в теме, то выдано будет только то количество, что есть"));
    countHint->setWordWrap(true);
    g->addWidget(countHint);
    g->addWidget(boundBox("RandomOrder", "раздавать вопросы в случайном порядке", general));
    g->addWidget(boundBox("MixAnswers", "перемешивать варианты ответов", general));
    g->addWidget(boundBox("AllowBack", "разрешить возврат к пройденным вопросам", general));
    g->addWidget(boundBox("ShowRightsInstant", "показывать правильные ответы после каждого вопроса", general));
    g->addWidget(boundBox("ShowRights", "показывать правильные ответы после работы", general));
    g->addWidget(boundBox("ShowPrice", "показывать цену вопроса", general));
    g->addWidget(boundBox("ShowRightCount", "показывать количество правильных вариантов", general));
    g->addWidget(boundBox("HideDetails", "скрыть таблицу с подробными результатами тестирования", general));
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(boundBox("TimeLimit", "Ограничение времени:", general));
    m_timeBar = new QSlider(Qt::Horizontal);
    m_timeBar->setObjectName(QStringLiteral("TimeBar"));
    m_timeBar->setRange(TopicSettingsEditor::MinMinutes, TopicSettingsEditor::MaxMinutes);
    m_timeBar->setTickInterval(TopicSettingsEditor::MinutesTick);
    m_timeBar->setTickPosition(QSlider::TicksBelow);
    m_timeBar->setPageStep(TopicSettingsEditor::MinutesTick);
    timeRow->addWidget(m_timeBar, 1);
    m_timeLabel = new QLabel;
    m_timeLabel->setObjectName(QStringLiteral("lblTime"));
    timeRow->addWidget(m_timeLabel);
    g->addLayout(timeRow);
    g->addStretch();
    tabs->addTab(general, Utf8Text("Общие"));

    // "Оценивание"
    auto* grading = new QWidget;
    grading->setObjectName(QStringLiteral("tsGrading"));
    auto* e = new QVBoxLayout(grading);
    e->addWidget(boundBox("TakePartialRight", "засчитывать проценты неполных ответов", grading));
    auto* systemRow = new QHBoxLayout;
    systemRow->addWidget(new QLabel(Utf8Text("Система оценивания")));
    m_system = new QComboBox;
    m_system->setObjectName(QStringLiteral("cbMaxPointSystem"));
    for (const char* caption : SystemCaptions)
        m_system->addItem(Utf8Text(caption));
    systemRow->addWidget(m_system);
    systemRow->addStretch();
    e->addLayout(systemRow);
    m_percentLine = new QLabel(Utf8Text("Каждый процент соответствует 1 баллу"));
    m_percentLine->setObjectName(QStringLiteral("lblEveryPercent"));
    e->addWidget(m_percentLine);
    for (int i = 0; i < 12; ++i) {
        const int mark = 12 - i;
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("pnlNa%1").arg(mark));
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(new QLabel(thresholdCaption(mark)));
        auto* spin = new QSpinBox;
        spin->setObjectName(QStringLiteral("SpinEdit%1").arg(mark));
        spin->setRange(TopicSettingsEditor::MinThreshold, TopicSettingsEditor::MaxThreshold);
        h->addWidget(spin);
        h->addWidget(new QLabel(QStringLiteral("%")));
        h->addStretch();
        e->addWidget(row);
        m_thresholds[i] = spin;
        m_thresholdRows[i] = row;
    }
    e->addStretch();
    tabs->addTab(grading, Utf8Text("Оценивание"));

    auto* buttons = new QHBoxLayout;
    auto* makeDefault = new QPushButton(Utf8Text("Сделать настройками по умолчанию"));
    makeDefault->setObjectName(QStringLiteral("btnMakeDefault"));
    makeDefault->setToolTip(Utf8Text("Настройки по умолчанию применяются ко всем темам, у которых нет своих настроек"));
    auto* restore = new QPushButton(Utf8Text("Восстановить настройки по умолчанию"));
    restore->setObjectName(QStringLiteral("btnRestoreDefault"));
    restore->setToolTip(Utf8Text("Применить к данной теме текущие настройки по умолчанию"));
    auto* okButton = new QPushButton(Utf8Text("OK"));
    okButton->setObjectName(QStringLiteral("btnOK"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(Utf8Text("Отмена"));
    cancelButton->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(makeDefault);
    buttons->addWidget(restore);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    for (const auto& [column, box] : std::as_const(m_boxes)) {
        connect(box, &QCheckBox::toggled, this, [this, column = column](bool checked) {
            if (m_showing)
                return;
            m_editor.setFlag(column, checked);
            showBoundValues();
        });
    }
    connect(m_system, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_showing || index < 0)
            return;
        m_editor.setMaxPointSystem(TopicSettingsEditor::MarkSystems[index]);
        showMarkSystem();
    });
    connect(m_timeBar, &QSlider::valueChanged, this,
            [this](int minutes) { m_timeLabel->setText(TopicSettingsEditor::timeText(minutes)); });
    connect(okButton, &QPushButton::clicked, this, &TSettingsF::btnOKClick);
    connect(cancelButton, &QPushButton::clicked, this, &TSettingsF::btnCancelClick);
    connect(makeDefault, &QPushButton::clicked, this, &TSettingsF::btnMakeDefaultClick);
    connect(restore, &QPushButton::clicked, this, &TSettingsF::btnRestoreDefaultClick);
    connect(this, &QDialog::rejected, this, [this] { m_editor.cancel(); });

    loadEditors();
}

QCheckBox* TSettingsF::boundBox(const char* column, const char* caption, QWidget* parent)
{
    auto* box = new QCheckBox(Utf8Text(caption), parent);
    box->setObjectName(QStringLiteral("cb") + QLatin1String(column));
    if (QLatin1String(column) == QLatin1String("ShowRightsInstant"))
        box->setToolTip(Utf8Text("Для включения этой опции возврат к пройденным вопросам должен быть запрещён"));
    m_boxes.append({QLatin1String(column), box});
    return box;
}

void TSettingsF::loadEditors()
{
    m_count->setValue(m_editor.giveMaxCount);
    m_timeBar->setValue(m_editor.maxTime);
    m_timeLabel->setText(TopicSettingsEditor::timeText(m_timeBar->value()));
    for (int i = 0; i < 12; ++i)
        m_thresholds[i]->setValue(m_editor.na[i]);
    showBoundValues();
}

void TSettingsF::showBoundValues()
{
    m_showing = true;
    for (const auto& [column, box] : std::as_const(m_boxes))
        box->setChecked(m_editor.flag(column));
    for (const auto& [column, box] : std::as_const(m_boxes)) {
        if (column == QLatin1String("ShowRightsInstant"))
            box->setEnabled(m_editor.showRightsInstantEnabled());
    }
    m_timeBar->setEnabled(m_editor.timeBarEnabled());
    m_timeLabel->setEnabled(m_editor.timeBarEnabled());
    int index = -1;
    for (int i = 0; i < 4; ++i)
        if (TopicSettingsEditor::MarkSystems[i] == m_editor.maxPointSystem())
            index = i;
    m_system->setCurrentIndex(index);
    m_showing = false;
    showMarkSystem();
}

void TSettingsF::showMarkSystem()
{
    const QList<int> marks = m_editor.visibleThresholds();
    for (int i = 0; i < 12; ++i)
        m_thresholdRows[i]->setVisible(marks.contains(12 - i));
    m_percentLine->setVisible(m_editor.maxPointSystem() == 100);
}

void TSettingsF::takeEditors()
{
    m_editor.giveMaxCount = m_count->value();
    m_editor.maxTime = m_timeBar->value();
    for (int i = 0; i < 12; ++i)
        m_editor.na[i] = m_thresholds[i]->value();
}

void TSettingsF::btnOKClick()
{
    takeEditors();
    try {
        m_editor.ok();
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
        return;
    }
    accept();
}

void TSettingsF::btnCancelClick()
{
    reject();
}

void TSettingsF::btnMakeDefaultClick()
{
    takeEditors();
    m_editor.makeDefault();
    showBoundValues();
    ShowMessage(Utf8Text(SettingsTexts::MadeDefault), MsgIcon::Information);
}

void TSettingsF::btnRestoreDefaultClick()
{
    m_editor.restoreDefaults();
    loadEditors();
}

int TSettingsF::Execute(SettingsRows& rows, int topicId, const QString& topicName, QWidget* parent)
{
    TSettingsF dialog(rows, topicId, topicName, parent);
    return dialog.exec();
}
