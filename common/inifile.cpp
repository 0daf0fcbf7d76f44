#include "inifile.h"

#include "codec.h"

#include <QFile>
#include <QSaveFile>

IniFile IniFile::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromBytes(file.readAll());
}

IniFile IniFile::fromBytes(const QByteArray& bytes)
{
    IniFile ini;
    Section* current = nullptr;
    const QString text = fromCp1251(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed().toString();
            current = ini.findSection(name);
            if (!current) {
                ini.m_sections.append({name, {}});
                current = &ini.m_sections.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toString();
        const QString value = line.mid(eq + 1).trimmed().toString();
        bool known = false;
        for (Entry& e : current->entries) {
            if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
                known = true; // the first occurrence wins, as the Windows reader does
                break;
            }
        }
        if (!known)
            current->entries.append({key, value});
    }
    return ini;
}

const IniFile::Section* IniFile::findSection(const QString& name) const
{
    for (const Section& s : m_sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

IniFile::Section* IniFile::findSection(const QString& name)
{
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

bool IniFile::hasSection(const QString& section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    if (const Section* s = findSection(section))
        for (const Entry& e : s->entries)
            if (e.key.compare(key, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

QString IniFile::value(const QString& section, const QString& key, const QString& defaultValue) const
{
    if (const Section* s = findSection(section))
        for (const Entry& e : s->entries)
            if (e.key.compare(key, Qt::CaseInsensitive) == 0)
                return e.value;
    return defaultValue;
}

int IniFile::intValue(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int v = value(section, key).toInt(&ok);
    return ok ? v : defaultValue;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = findSection(section);
    if (!s) {
        m_sections.append({section, {}});
        s = &m_sections.last();
    }
    for (Entry& e : s->entries) {
        if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
            e.value = value;
            return;
        }
    }
    s->entries.append({key, value});
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList result;
    if (const Section* s = findSection(section))
        for (const Entry& e : s->entries)
            result.append(e.key);
    return result;
}

QByteArray IniFile::toBytes() const
{
    QString text;
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        if (i > 0)
            text += QStringLiteral("\r\n");
        text += u'[' + m_sections[i].name + QStringLiteral("]\r\n");
        for (const Entry& e : m_sections[i].entries)
            text += e.key + u'=' + e.value + QStringLiteral("\r\n");
    }
    return toCp1251(text);
}

bool IniFile::save(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(toBytes());
    return file.commit();
}
