#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The process-wide run log: lines kept in memory, appended only, and written whole to the
// program's ".LOG" file at a normal end. Every line starts with the time of day "hh:nn:ss:zzz";
// NUL characters of the logged text show as "|". The log is bounded, since a peer's traffic is
// logged: a longer entry is shortened, and past the bound the oldest entries are given up, with
// one first line that says how many.
void LogText(const QString& text);
void LogIn(const QString& peer, const QString& text);
void LogOut(const QString& peer, const QString& text);

// The first entry of Vezuviroz and Student: "<short date> BEGIN.    Version 4.0.1".
void LogBegin();

namespace RunLog {

inline constexpr qsizetype MaxEntryChars = 16 * 1024;   // a whole results list still fits
inline constexpr qsizetype MaxChars = 16 * 1024 * 1024; // a busy day's log, kept in memory

QStringList lines();
void clear();

// Appends "END" and writes the whole log to the file (replacing it), in Windows-1251 with CR LF
// line ends; the file is written completely or not at all. Returns false when it cannot be written.
bool finish(const QString& logFilePath);

// Called with every line as it is added (a headless program prints them); none when empty.
void setObserver(std::function<void(const QString& line)> observer);

// A part of the program with its own copy of this code (Student's network module) hands every
// line to the program's log through appendLine instead of keeping it.
void forwardTo(void (*sink)(const QString& line));
void appendLine(const QString& line);

// Path of the log file of a program: "<program>.LOG" in the program's folder.
QString filePathFor(const QString& programName);

} // namespace RunLog
