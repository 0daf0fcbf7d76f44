#include "viewsettings.h"

#include "dataset.h"
#include "schema.h"
#include "studentstexts.h"

#include <algorithm>

namespace {

int fontSize(int points)
{
    return std::clamp(points, StudentViewSettings::MinFontSize, StudentViewSettings::MaxFontSize);
}

// The main window may have the row open already: its snapshot follows every change made through it.
void openRow(Dataset& settings)
{
    if (!settings.isOpen())
        settings.open();
}

} // namespace

Appearance StudentViewSettings::Defaults()
{
    Appearance a;
    for (size_t i = 0; i < std::size(AppearancePlaces); ++i)
        a.*AppearancePlaces[i] = StudentViewColumns[i].second;
    return a;
}

StudentViewSettings::StudentViewSettings(Dataset* appSettings) : m_appSettings(appSettings), m_values(Defaults())
{
    openRow(*m_appSettings);
    if (m_appSettings->recordCount() > 0) {
        m_appSettings->first();
        for (size_t i = 0; i < std::size(AppearancePlaces); ++i) {
            const QVariant v = m_appSettings->value(QLatin1String(StudentViewColumns[i].first));
            if (!v.isNull())
                m_values.*AppearancePlaces[i] = v.toInt();
        }
    }
    m_values.QueFontSize = fontSize(m_values.QueFontSize);
    m_values.AnsFontSize = fontSize(m_values.AnsFontSize);
}

void StudentViewSettings::setQueFontSize(int points)
{
    m_values.QueFontSize = fontSize(points);
}

void StudentViewSettings::setAnsFontSize(int points)
{
    m_values.AnsFontSize = fontSize(points);
}

QString StudentViewSettings::questionSample() const
{
    return StudentsText::QuestionSample.arg(m_values.QueFontSize);
}

QString StudentViewSettings::answerSample() const
{
    return StudentsText::AnswerSample.arg(m_values.AnsFontSize);
}

QString StudentViewSettings::questionSizeLabel() const
{
    return StudentsText::QuestionSizeLabel.arg(m_values.QueFontSize);
}

QString StudentViewSettings::answerSizeLabel() const
{
    return StudentsText::AnswerSizeLabel.arg(m_values.AnsFontSize);
}

void StudentViewSettings::store()
{
    Dataset& settings = *m_appSettings;
    openRow(settings);
    if (settings.recordCount() > 0) {
        settings.first();
        settings.edit();
    } else {
        settings.append();
    }
    for (size_t i = 0; i < std::size(AppearancePlaces); ++i)
        settings.setValue(QLatin1String(StudentViewColumns[i].first), m_values.*AppearancePlaces[i]);
    settings.post();
}
