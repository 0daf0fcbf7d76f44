#pragma once

#include "colourref.h"
#include "testsettings.h"

#include <QString>

class Dataset;

// The rules of "Настройка вида Student": the seven values of the students' screen from the
// program's settings row, their sample texts, the defaults, and storing them on OK (nothing is
// stored before).
class StudentViewSettings
{
public:
    static constexpr int MinFontSize = 8;
    static constexpr int MaxFontSize = 18;

    // The values the row holds; a value it lacks keeps its default. Sizes come within the
    // sliders' range.
    explicit StudentViewSettings(Dataset* appSettings);

    static Appearance Defaults();

    const Appearance& values() const { return m_values; }
    void setQueFontColor(int c) { m_values.QueFontColor = c; }
    void setQueBGColor(int c) { m_values.QueBGColor = c; }
    void setAnsFontColor(int c) { m_values.AnsFontColor = c; }
    void setAnsBGColor(int c) { m_values.AnsBGColor = c; }
    void setRightAnsFontColor(int c) { m_values.RightAnsFontColor = c; }
    void setQueFontSize(int points);
    void setAnsFontSize(int points);
    // "Восстановить значения по умолчанию".
    void restoreDefaults() { m_values = Defaults(); }

    QString questionSample() const;
    QString answerSample() const;
    QString questionSizeLabel() const;
    QString answerSizeLabel() const;

    // OK: the seven values into the settings row (made when there is none yet).
    void store();

private:
    Dataset* m_appSettings;
    Appearance m_values;
};
