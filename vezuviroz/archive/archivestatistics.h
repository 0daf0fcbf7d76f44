#pragma once

#include <QString>

// The statistics panel over the marks (Results.Points) of the rows a filter shows. Marks below 1
// (pass -2, fail -1, no mark 0) are left out of the average and the four levels; pass and fail
// are shown as shares of them, and only when there is at least one.
struct ArchiveStatistics
{
    int records = 0;
    int withoutMark = 0; // rows whose Points is below 1
    int high = 0;        // 10..12
    int sufficient = 0;  // 7..9
    int medium = 0;      // 4..6
    int initial = 0;     // 1..3
    int pass = 0;        // -2
    int fail = 0;        // -1
    qint64 pointsSum = 0;

    void add(int points);

    // The panel's texts, numbers with the decimal separator of the locale.
    QString averageText() const;
    QString highText() const { return levelText(high); }
    QString sufficientText() const { return levelText(sufficient); }
    QString mediumText() const { return levelText(medium); }
    QString initialText() const { return levelText(initial); }
    bool showsPassFail() const { return withoutMark >= 1; }
    QString passText() const { return shareText(pass, withoutMark); }
    QString failText() const { return shareText(fail, withoutMark); }

    // The lines of the panel as label and value, the pass and fail lines only when shown.
    QList<QPair<QString, QString>> lines() const;

private:
    QString levelText(int count) const;
    static QString shareText(int count, int of);
};
