#include "station/lockdown.h"

#include "settings/settingsstore.h"

#include <QDir>
#include <QSettings>

namespace station {

namespace {
struct Policy {
    const QString &keyPath;
    const char *name;
};

// Written in this order.
const Policy Policies[] = {
    {PolicySystem, "DisableTaskMgr"},
    {PolicyExplorer, "NoLogoff"},
    {PolicyExplorer, "NoClose"},
    {PolicySystem, "DisableLockWorkstation"},
    {PolicySystem, "DisableChangePassword"},
};

QString entry(const QString &keyPath, const QString &valueName)
{
    // INI groups cannot hold backslashes; the key path is kept readable with "/".
    return QString(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/')) + QLatin1Char('/') + valueName;
}

void writeAll(int value)
{
    QDir().mkpath(settings::storeFolder());
    QSettings file(policyFile(), QSettings::IniFormat);
    for (const Policy &p : Policies)
        file.setValue(entry(p.keyPath, QLatin1String(p.name)), value);
    file.sync();
}
} // namespace

QString policyFile()
{
    return settings::storeFolder() + QStringLiteral("/policies.conf");
}

void SetPolicyValue(const QString &keyPath, const QString &valueName, int value)
{
    QDir().mkpath(settings::storeFolder());
    QSettings file(policyFile(), QSettings::IniFormat);
    file.setValue(entry(keyPath, valueName), value);
    file.sync();
}

void SetLockdownPolicies()
{
    writeAll(1);
}

void ClearLockdownPolicies()
{
    writeAll(0);
}

int policyValue(const QString &keyPath, const QString &valueName)
{
    QSettings file(policyFile(), QSettings::IniFormat);
    const QVariant v = file.value(entry(keyPath, valueName));
    return v.isValid() ? v.toInt() : -1;
}

} // namespace station
