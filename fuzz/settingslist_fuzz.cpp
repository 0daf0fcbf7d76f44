// Settings lists arrive from the network and from question files made elsewhere. Input: the list
// in Windows-1251; the first byte chooses the source (odd: network, even: topic settings file).
// A list is either read whole or refused with a message; what is read must be what it says.
#include "apperror.h"
#include "codec.h"
#include "testsettings.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const SettingsListSource source =
        (data[0] & 1) ? SettingsListSource::Network : SettingsListSource::TopicSettingsFile;
    const QString text = fromCp1251(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    try {
        const SettingsListValues v = ReadSettingsList(text, source);
        if (v.criteriaList.size() != 14)
            std::abort();
        for (const QString& line : v.criteriaList)
            if (!text.contains(line))
                std::abort();
        if (v.hasAppearance != (source == SettingsListSource::Network))
            std::abort();
    } catch (const AppError& e) {
        if (e.message().isEmpty())
            std::abort();
    }
    return 0;
}
