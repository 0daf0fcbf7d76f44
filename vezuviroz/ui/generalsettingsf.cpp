#include "generalsettingsf.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int BreakCounts[] = {10, 15, 20, 30};
constexpr int MaxPort = 65535;

QSpinBox* portBox(QWidget* parent, int port)
{
    auto* box = new QSpinBox(parent);
    box->setRange(0, MaxPort);
    box->setValue(port);
    return box;
}

} // namespace

TGeneralSettingsF::TGeneralSettingsF(const VezuvirozSettings& settings, bool requestMode, QWidget* parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("TGeneralSettingsF"));
    setWindowTitle(QStringLiteral("Общие настройки"));
    auto* layout = new QVBoxLayout(this);
    const auto box = [&](const char* name, const QString& caption, bool checked) {
        auto* b = new QCheckBox(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setChecked(checked);
        layout->addWidget(b);
        return b;
    };
    cbHideStudentViewPanel =
        box("cbHideStudentViewPanel", QStringLiteral("Скрывать панель просмотра, когда нет данных"),
            settings.HideStudentViewPanel);
    cbShowCaptions = box("cbShowCaptions", QStringLiteral("Показывать подписи кнопок"), settings.ShowCaptions);
    cbPrePointsFromPassedOnly =
        box("cbPrePointsFromPassedOnly", QStringLiteral("Показывать предв.оценку только по пройденным вопросам"),
            settings.PrePointsFromPassedOnly);
    cbRequestMode = box("cbRequestMode", QStringLiteral("Разрешить выдачу заданий по запросу"), requestMode);

    auto* breakRow = new QHBoxLayout;
    breakRow->addWidget(new QLabel(QStringLiteral("Разделять список тем в меню по "), this));
    cbTopicBreakCount = new QComboBox(this);
    cbTopicBreakCount->setObjectName(QStringLiteral("cbTopicBreakCount"));
    for (int count : BreakCounts) {
        cbTopicBreakCount->addItem(QString::number(count), count);
        if (count == settings.TopicBreakCount)
            cbTopicBreakCount->setCurrentIndex(cbTopicBreakCount->count() - 1);
    }
    breakRow->addWidget(cbTopicBreakCount);
    breakRow->addStretch();
    layout->addLayout(breakRow);

    auto* ports = new QFormLayout;
    edUDPPort = portBox(this, settings.UDPPort);
    edUDPPort->setObjectName(QStringLiteral("edUDPPort"));
    edTCPPort = portBox(this, settings.TCPPort);
    edTCPPort->setObjectName(QStringLiteral("edTCPPort"));
    ports->addRow(QStringLiteral("Порт UDP:"), edUDPPort);
    ports->addRow(QStringLiteral("Порт TCP:"), edTCPPort);
    layout->addLayout(ports);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

VezuvirozSettings TGeneralSettingsF::settings() const
{
    VezuvirozSettings s = m_settings;
    s.HideStudentViewPanel = cbHideStudentViewPanel->isChecked();
    s.ShowCaptions = cbShowCaptions->isChecked();
    s.TopicBreakCount = cbTopicBreakCount->currentData().toInt();
    s.PrePointsFromPassedOnly = cbPrePointsFromPassedOnly->isChecked();
    s.UDPPort = edUDPPort->value();
    s.TCPPort = edTCPPort->value();
    return s;
}

bool TGeneralSettingsF::requestMode() const
{
    return cbRequestMode->isChecked();
}
