#include "markscale.h"

#include "gradingtexts.h"
#include "listlines.h"

#include <algorithm>
#include <cmath>

namespace {

const QString MaxPointSystemName = QStringLiteral("MaxPointSystem");

QString thresholdName(int mark)
{
    return QStringLiteral("Na%1").arg(mark);
}

// A threshold as the mark computation reads it: -1 when missing, so that the mark is reached.
int markThreshold(const QString& criteriaList, int mark)
{
    return CriteriaInteger(criteriaList, thresholdName(mark), -1);
}

// percent >= threshold, for either form of a percentage.
bool reaches(const ExactPercent& percent, int threshold)
{
    return percent.reaches(threshold);
}

bool reaches(double percent, int threshold)
{
    return percent >= threshold;
}

// Scans marks top..2 and gives the first whose threshold the percentage reaches, else 1.
template <typename Percent> int scaleMark(const QString& criteriaList, const Percent& percent, int top)
{
    for (int mark = top; mark >= 2; --mark) {
        if (reaches(percent, markThreshold(criteriaList, mark)))
            return mark;
    }
    return 1;
}

template <typename Percent> int passMark(const QString& criteriaList, const Percent& percent)
{
    return reaches(percent, markThreshold(criteriaList, 1)) ? 1 : 0;
}

// The whole part, at least 1. A total lies in 0..100; the clamp only keeps the conversion defined.
int hundredPointMark(qint64 whole)
{
    return int(std::clamp<qint64>(whole, 1, HundredPointScale));
}

template <typename Percent> int markFromPercent(const QString& criteriaList, const Percent& percent)
{
    switch (CriteriaInteger(criteriaList, MaxPointSystemName, -1)) {
    case PassFailScale:
        return passMark(criteriaList, percent);
    case FivePointScale:
        return scaleMark(criteriaList, percent, FivePointScale);
    case TwelvePointScale:
        return scaleMark(criteriaList, percent, TwelvePointScale);
    case HundredPointScale:
        return HundredPointMark(percent);
    default:
        return 0;
    }
}

} // namespace

QString CriteriaValue(const QString& criteriaList, const QString& name)
{
    ListLineReader lines(criteriaList);
    for (QStringView line; lines.next(&line);) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && line.first(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(eq + 1).toString();
    }
    return {};
}

int CriteriaInteger(const QString& criteriaList, const QString& name, int fallback)
{
    const QString value = CriteriaValue(criteriaList, name);
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    return ok ? number : fallback;
}

int MarkFromPercent(const QString& criteriaList, const ExactPercent& percent)
{
    return markFromPercent(criteriaList, percent);
}

int MarkFromPercent(const QString& criteriaList, double percent)
{
    return markFromPercent(criteriaList, percent);
}

int PassMark(const QString& criteriaList, const ExactPercent& percent)
{
    return passMark(criteriaList, percent);
}

int PassMark(const QString& criteriaList, double percent)
{
    return passMark(criteriaList, percent);
}

int FivePointMark(const QString& criteriaList, const ExactPercent& percent)
{
    return scaleMark(criteriaList, percent, FivePointScale);
}

int FivePointMark(const QString& criteriaList, double percent)
{
    return scaleMark(criteriaList, percent, FivePointScale);
}

int TwelvePointMark(const QString& criteriaList, const ExactPercent& percent)
{
    return scaleMark(criteriaList, percent, TwelvePointScale);
}

int TwelvePointMark(const QString& criteriaList, double percent)
{
    return scaleMark(criteriaList, percent, TwelvePointScale);
}

int HundredPointMark(const ExactPercent& percent)
{
    return hundredPointMark(percent.wholePart());
}

int HundredPointMark(double percent)
{
    if (!(percent >= 0)) // below 0, or not a number
        return hundredPointMark(0);
    return hundredPointMark(qint64(std::trunc(std::min(percent, double(HundredPointScale)))));
}

QString MarkText(const QString& criteriaList, int mark)
{
    if (CriteriaValue(criteriaList, MaxPointSystemName) == QLatin1String("1"))
        return mark == 1 ? GradingTexts::Pass : GradingTexts::Fail;
    return QString::number(mark);
}

CriteriaTable CriteriaWindowRows(const QString& criteriaList)
{
    CriteriaTable table;
    table.scaleText = CriteriaValue(criteriaList, MaxPointSystemName);
    const int scale = CriteriaInteger(criteriaList, MaxPointSystemName, TwelvePointScale);
    auto addRow = [&](const QString& mark, int threshold) {
        if (threshold <= MaxReachablePercent)
            table.rows.append({mark, QString::number(threshold) + u'%'});
    };
    switch (scale) {
    case PassFailScale:
        addRow(GradingTexts::Pass, CriteriaInteger(criteriaList, thresholdName(1), 0));
        break;
    case FivePointScale:
    case TwelvePointScale:
        for (int mark = scale; mark >= 2; --mark)
            addRow(QString::number(mark), CriteriaInteger(criteriaList, thresholdName(mark), 0));
        break;
    case HundredPointScale:
        for (int mark = HundredPointScale; mark >= 2; --mark)
            addRow(QString::number(mark), mark);
        break;
    default:
        table.knownScale = false;
        break;
    }
    return table;
}
