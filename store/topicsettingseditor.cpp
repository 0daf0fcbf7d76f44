#include "topicsettingseditor.h"

#include "dataset.h"
#include "storeconnection.h"

TopicSettingsEditor::TopicSettingsEditor(SettingsRows& rows, int topicId) : m_rows(rows), m_topicId(topicId)
{
    Dataset& d = m_rows.dataset();
    if (d.state() == DatasetState::Browse)
        d.requery();
    if (m_rows.locateTopic(topicId))
        fillFrom(m_rows.ReadSettingsRow());
    else
        makeRow();
}

void TopicSettingsEditor::makeRow()
{
    Dataset& d = m_rows.dataset();
    const TestSettings defaults = m_rows.ReadDefaultSettings();
    d.append();
    d.setValue(QStringLiteral("TopicID"), m_topicId);
    d.setValue(QStringLiteral("Default"), false);
    m_rows.WriteSettingsRow(defaults);
    fillFrom(defaults);
}

void TopicSettingsEditor::fillFrom(const TestSettings& s)
{
    giveMaxCount = s.GiveMaxCount;
    maxTime = s.MaxTime;
    na = s.Na;
}

void TopicSettingsEditor::ensureEditing()
{
    Dataset& d = m_rows.dataset();
    if (d.state() != DatasetState::Edit && d.state() != DatasetState::Insert)
        d.edit();
}

bool TopicSettingsEditor::flag(const QString& column) const
{
    return m_rows.dataset().value(column).toBool();
}

void TopicSettingsEditor::setFlag(const QString& column, bool value)
{
    if (flag(column) == value && m_rows.dataset().state() != DatasetState::Browse)
        return;
    ensureEditing();
    m_rows.dataset().setValue(column, value);
    if (column.compare(QLatin1String("AllowBack"), Qt::CaseInsensitive) == 0 && value)
        m_rows.dataset().setValue(QStringLiteral("ShowRightsInstant"), false);
}

int TopicSettingsEditor::maxPointSystem() const
{
    return m_rows.dataset().value(QStringLiteral("MaxPointSystem")).toInt();
}

void TopicSettingsEditor::setMaxPointSystem(int system)
{
    ensureEditing();
    m_rows.dataset().setValue(QStringLiteral("MaxPointSystem"), system);
}

QString TopicSettingsEditor::timeText(int minutes)
{
    return QString::fromUtf8(SettingsTexts::MinutesFormat).arg(minutes);
}

void TopicSettingsEditor::ok()
{
    Dataset& d = m_rows.dataset();
    ensureEditing();
    d.setValue(QStringLiteral("TopicID"), m_topicId);
    d.setValue(QStringLiteral("GiveMaxCount"), giveMaxCount);
    d.setValue(QStringLiteral("MaxTime"), maxTime);
    for (int i = 0; i < 12; ++i)
        d.setValue(QStringLiteral("Na%1").arg(12 - i), na[i]);
    if (d.value(QStringLiteral("AllowBack")).toBool())
        d.setValue(QStringLiteral("ShowRightsInstant"), false);
    d.post();
}

void TopicSettingsEditor::cancel()
{
    m_rows.dataset().cancel();
}

void TopicSettingsEditor::makeDefault()
{
    atomically([&] {
        ok();
        const TestSettings s = m_rows.ReadSettingsRow();
        if (m_rows.locateDefault())
            m_rows.WriteSettingsRow(s);
        m_rows.locateTopic(m_topicId);
    });
}

void TopicSettingsEditor::restoreDefaults()
{
    atomically([&] {
        Dataset& d = m_rows.dataset();
        d.cancel();
        if (m_rows.locateTopic(m_topicId))
            d.remove();
        makeRow();
    });
}

void TopicSettingsEditor::atomically(const std::function<void()>& change)
{
    Dataset& d = m_rows.dataset();
    StoreTransaction transaction(d.connection()->database());
    try {
        change();
        transaction.commit();
    } catch (...) {
        // The rows the dataset holds were rolled back: read them again, back on the topic's row.
        transaction.rollback();
        d.cancel();
        d.requery();
        m_rows.locateTopic(m_topicId);
        throw;
    }
}
