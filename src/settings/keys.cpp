#include "settings/keys.h"

#include "settings/settingsstore.h"

namespace settings {

QString read(const Key &key)
{
    return GetSetting(Application, key.sectionName(), key.keyName(), key.defaultText());
}

QString read(const Key &key, const QString &defaultValue)
{
    return GetSetting(Application, key.sectionName(), key.keyName(), defaultValue);
}

void write(const Key &key, const QString &value)
{
    SaveSetting(Application, key.sectionName(), key.keyName(), value);
}

void remove(const Key &key)
{
    DeleteSetting(Application, key.sectionName(), key.keyName());
}

std::optional<int> checkState(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return static_cast<int>(value);
}

bool menuCheck(const QString &text, bool defaultValue)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double value = t.toDouble(&ok);
    return ok ? value != 0 : defaultValue;
}

} // namespace settings
