#include "archivestatistics.h"

#include "archivetexts.h"
#include "fixedtext.h"

#include <QLocale>

void ArchiveStatistics::add(int points)
{
    ++records;
    if (points < 1)
        ++withoutMark;
    else
        pointsSum += points;
    if (points >= 10 && points <= 12)
        ++high;
    else if (points >= 7 && points <= 9)
        ++sufficient;
    else if (points >= 4 && points <= 6)
        ++medium;
    else if (points >= 1 && points <= 3)
        ++initial;
    else if (points == -2)
        ++pass;
    else if (points == -1)
        ++fail;
}

QString ArchiveStatistics::averageText() const
{
    const int marked = records - withoutMark;
    if (marked == 0)
        return ArchiveText::Zero;
    // Three significant digits; marks never reach 1000, so no exponent appears.
    return QLocale().toString(double(pointsSum) / marked, 'g', 3);
}

QString ArchiveStatistics::levelText(int count) const
{
    return shareText(count, records - withoutMark);
}

// "0" when there is nothing to take a share of.
QString ArchiveStatistics::shareText(int count, int of)
{
    if (of == 0)
        return ArchiveText::Zero;
    return QStringLiteral("%1 (%2%)").arg(count).arg(FormatFixed(100.0 * count / of, 2));
}

QList<QPair<QString, QString>> ArchiveStatistics::lines() const
{
    namespace T = ArchiveText;
    QList<QPair<QString, QString>> out{{T::RecordsLabel, QString::number(records)},
                                       {T::AverageLabel, averageText()},
                                       {T::HighLabel, highText()},
                                       {T::SufficientLabel, sufficientText()},
                                       {T::MediumLabel, mediumText()},
                                       {T::InitialLabel, initialText()}};
    if (showsPassFail()) {
        out.append({T::PassLabel, passText()});
        out.append({T::FailLabel, failText()});
    }
    return out;
}
