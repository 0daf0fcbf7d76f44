#include "markscale.h"

#include "gradingtexts.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const QString MaxPointSystemName = QStringLiteral("MaxPointSystem");
const QString TakePartialRightName = QStringLiteral("TakePartialRight");

QString thresholdName(int mark)
{
    return QStringLiteral("Na%1").arg(mark);
}

// A threshold as the mark computation reads it: -1 when missing, so that the mark is reached.
int markThreshold(const QString& criteriaList, int mark)
{
    return CriteriaInteger(criteriaList, thresholdName(mark), -1);
}

// Scans marks top..2 and gives the first whose threshold the percentage reaches, else 1.
int scaleMark(const QString& criteriaList, double percent, int top)
{
    for (int mark = top; mark >= 2; --mark) {
        if (percent >= markThreshold(criteriaList, mark))
            return mark;
    }
    return 1;
}

QString fieldText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 17);
    return value.toString();
}

bool fieldBool(const QVariant& value)
{
    if (value.isNull())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toLongLong() != 0;
}

QString buildCriteriaList(const std::function<QVariant(const QString&)>& field)
{
    QString list;
    for (int mark = TwelvePointScale; mark >= 1; --mark)
        list += thresholdName(mark) + u'=' + fieldText(field(thresholdName(mark))) + QLatin1String("\r\n");
    list += MaxPointSystemName + u'=' + fieldText(field(MaxPointSystemName)) + QLatin1String("\r\n");
    list += TakePartialRightName + u'=' +
            (fieldBool(field(TakePartialRightName)) ? QStringLiteral("-1") : QStringLiteral("0")) +
            QLatin1String("\r\n");
    return list;
}

} // namespace

QString CriteriaValue(const QString& criteriaList, const QString& name)
{
    const QStringView text(criteriaList);
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = text.sliced(start, end - start);
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && line.first(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(eq + 1).toString();
        start = end + 1;
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

int MarkFromPercent(const QString& criteriaList, double percent)
{
    switch (CriteriaInteger(criteriaList, MaxPointSystemName, -1)) {
    case PassFailScale:
        return PassMark(criteriaList, percent);
    case FivePointScale:
        return FivePointMark(criteriaList, percent);
    case TwelvePointScale:
        return TwelvePointMark(criteriaList, percent);
    case HundredPointScale:
        return HundredPointMark(percent);
    default:
        return 0;
    }
}

int PassMark(const QString& criteriaList, double percent)
{
    return percent >= markThreshold(criteriaList, 1) ? 1 : 0;
}

int FivePointMark(const QString& criteriaList, double percent)
{
    return scaleMark(criteriaList, percent, FivePointScale);
}

int TwelvePointMark(const QString& criteriaList, double percent)
{
    return scaleMark(criteriaList, percent, TwelvePointScale);
}

int HundredPointMark(double percent)
{
    // The percentage of a total lies in 0..100; the clamp only keeps the cast defined.
    const int whole = int(std::trunc(std::clamp(percent, 0.0, double(HundredPointScale))));
    return whole == 0 ? 1 : whole;
}

QString MarkText(const QString& criteriaList, int mark)
{
    if (CriteriaValue(criteriaList, MaxPointSystemName) == QLatin1String("1"))
        return mark == 1 ? GradingTexts::Pass : GradingTexts::Fail;
    return QString::number(mark);
}

QString BuildCriteriaList(const TableRow& settingsRow)
{
    return buildCriteriaList([&](const QString& name) { return settingsRow.value(name); });
}

QString BuildCriteriaList(const QVariantMap& settings)
{
    return buildCriteriaList([&](const QString& name) {
        for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return it.value();
        }
        return QVariant();
    });
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
