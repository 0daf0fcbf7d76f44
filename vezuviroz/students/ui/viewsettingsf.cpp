#include "viewsettingsf.h"

#include "colourdialog.h"
#include "studentstexts.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QLabel* sample(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAutoFillBackground(true);
    label->setMinimumHeight(48);
    label->setMargin(6);
    label->setWordWrap(true);
    return label;
}

QSlider* sizeSlider(const char* name, QWidget* parent)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(name));
    slider->setRange(StudentViewSettings::MinFontSize, StudentViewSettings::MaxFontSize);
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    return slider;
}

void paint(QLabel* label, int fontColour, int background, int points)
{
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; font-size: %3pt; font-weight: bold; }")
                             .arg(ColourFromRef(fontColour).name(), ColourFromRef(background).name())
                             .arg(points));
}

} // namespace

TViewSettingsF::TViewSettingsF(Dataset* appSettings, QWidget* parent) : QDialog(parent), m_settings(appSettings)
{
    setObjectName(QStringLiteral("ViewSettingsF"));
    setWindowTitle(StudentsText::ViewTitle);
    auto* layout = new QVBoxLayout(this);

    auto* question = new QGroupBox(QStringLiteral("Вопрос"), this);
    auto* q = new QGridLayout(question);
    m_questionSample = sample("lblQuestionSample", question);
    q->addWidget(m_questionSample, 0, 0, 1, 2);
    q->addWidget(colourButton(QStringLiteral("Цвет текста..."), "btnQueFontColor", &Appearance::QueFontColor,
                              &StudentViewSettings::setQueFontColor),
                 1, 0);
    q->addWidget(colourButton(QStringLiteral("Цвет фона..."), "btnQueBGColor", &Appearance::QueBGColor,
                              &StudentViewSettings::setQueBGColor),
                 1, 1);
    m_questionSize = new QLabel(question);
    m_questionSize->setObjectName(QStringLiteral("lblQuestionSize"));
    q->addWidget(m_questionSize, 2, 0, 1, 2);
    m_questionSlider = sizeSlider("tbQueFontSize", question);
    q->addWidget(m_questionSlider, 3, 0, 1, 2);
    layout->addWidget(question);

    auto* answers = new QGroupBox(QStringLiteral("Варианты ответа"), this);
    auto* a = new QGridLayout(answers);
    m_answerSample = sample("lblAnswerSample", answers);
    a->addWidget(m_answerSample, 0, 0, 1, 2);
    m_rightSample = sample("lblRightSample", answers);
    a->addWidget(m_rightSample, 1, 0, 1, 2);
    a->addWidget(colourButton(QStringLiteral("Цвет текста..."), "btnAnsFontColor", &Appearance::AnsFontColor,
                              &StudentViewSettings::setAnsFontColor),
                 2, 0);
    a->addWidget(colourButton(QStringLiteral("Цвет фона..."), "btnAnsBGColor", &Appearance::AnsBGColor,
                              &StudentViewSettings::setAnsBGColor),
                 2, 1);
    a->addWidget(colourButton(QStringLiteral("Цвет правильного варианта ответа..."), "btnRightAnsFontColor",
                              &Appearance::RightAnsFontColor, &StudentViewSettings::setRightAnsFontColor),
                 3, 0, 1, 2);
    m_answerSize = new QLabel(answers);
    m_answerSize->setObjectName(QStringLiteral("lblAnswerSize"));
    a->addWidget(m_answerSize, 4, 0, 1, 2);
    m_answerSlider = sizeSlider("tbAnsFontSize", answers);
    a->addWidget(m_answerSlider, 5, 0, 1, 2);
    layout->addWidget(answers);

    auto* defaults = new QPushButton(QStringLiteral("Восстановить значения по умолчанию"), this);
    defaults->setObjectName(QStringLiteral("btnDefaults"));
    defaults->setAutoDefault(false);
    layout->addWidget(defaults);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(m_questionSlider, &QSlider::valueChanged, this, [this](int points) {
        m_settings.setQueFontSize(points);
        showValues();
    });
    connect(m_answerSlider, &QSlider::valueChanged, this, [this](int points) {
        m_settings.setAnsFontSize(points);
        showValues();
    });
    connect(defaults, &QPushButton::clicked, this, [this] {
        m_settings.restoreDefaults();
        showValues();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &TViewSettingsF::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TViewSettingsF::reject);
    showValues();
}

QWidget* TViewSettingsF::colourButton(const QString& caption, const char* name, int Appearance::*value, Setter set)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, caption, value, set] {
        QString title = caption;
        title.remove(QStringLiteral("..."));
        if (const std::optional<QColor> chosen = ChooseColour(this, ColourFromRef(m_settings.values().*value), title)) {
            (m_settings.*set)(ColourRef(*chosen));
            showValues();
        }
    });
    return button;
}

void TViewSettingsF::showValues()
{
    const Appearance& v = m_settings.values();
    m_questionSample->setText(m_settings.questionSample());
    paint(m_questionSample, v.QueFontColor, v.QueBGColor, v.QueFontSize);
    m_answerSample->setText(m_settings.answerSample());
    paint(m_answerSample, v.AnsFontColor, v.AnsBGColor, v.AnsFontSize);
    m_rightSample->setText(StudentsText::RightAnswerSample);
    paint(m_rightSample, v.RightAnsFontColor, v.AnsBGColor, v.AnsFontSize);
    m_questionSize->setText(m_settings.questionSizeLabel());
    m_answerSize->setText(m_settings.answerSizeLabel());
    const QSignalBlocker blockQuestion(m_questionSlider);
    const QSignalBlocker blockAnswer(m_answerSlider);
    m_questionSlider->setValue(v.QueFontSize);
    m_answerSlider->setValue(v.AnsFontSize);
}

void TViewSettingsF::accept()
{
    m_settings.store();
    QDialog::accept();
}
