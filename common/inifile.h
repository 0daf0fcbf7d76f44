#pragma once

#include <QList>
#include <QString>

// A classic sectioned initialisation file ("[Section]" lines, "Name=Value" lines) in Windows-1251.
// Section and key names compare without regard to case, as on Windows; order is kept on save.
class IniFile
{
public:
    // Reads the file; a missing or unreadable file gives an empty one.
    static IniFile load(const QString& path);

    bool hasSection(const QString& section) const;
    bool contains(const QString& section, const QString& key) const;
    QString value(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    // The value as a decimal integer; the default when the key is missing or not a number.
    int intValue(const QString& section, const QString& key, int defaultValue) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    QStringList keys(const QString& section) const;

    // CR LF lines, Windows-1251.
    QByteArray toBytes() const;
    static IniFile fromBytes(const QByteArray& bytes);

    // Writes the file completely or not at all. Returns false on failure.
    bool save(const QString& path) const;

private:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        QList<Entry> entries;
    };
    const Section* findSection(const QString& name) const;
    Section* findSection(const QString& name);
    QList<Section> m_sections;
};
