#include "station/lockdown.h"

#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>
#include <cstdio>

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

// The file is INI text that QSettings also reads ("[software]" and then
// "microsoft\...\DisableTaskMgr=1"), but it is read and written here directly: QSettings
// would sort the values instead of keeping them in the order above, and its locked, synced
// save is far too slow for a file that is rewritten on key events.
struct Value {
    QString name; // entry(): the key path with "/" and the value name
    int value;
};

QList<Value> readValues()
{
    QList<Value> values;
    QFile file(policyFile());
    if (!file.open(QIODevice::ReadOnly))
        return values;
    QString section;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        bool ok = false;
        const int value = line.mid(equals + 1).trimmed().toInt(&ok);
        if (!ok)
            continue;
        const QString key = line.left(equals).trimmed().replace(QLatin1Char('\\'), QLatin1Char('/'));
        values.append({section.isEmpty() ? key : section + QLatin1Char('/') + key, value});
    }
    return values;
}

void setValue(QList<Value> &values, const QString &name, int value)
{
    for (Value &v : values) {
        if (v.name == name) {
            v.value = value;
            return;
        }
    }
    values.append({name, value});
}

// Writes a new file beside the old one and renames it over it, so a failed write leaves the
// old values as they were and a reader never sees half a file.
void writeValues(const QList<Value> &values)
{
    QString text;
    QString section;
    for (const Value &v : values) {
        const qsizetype slash = v.name.indexOf(QLatin1Char('/'));
        const QString group = slash < 0 ? QString() : v.name.left(slash);
        const QString key = QString(slash < 0 ? v.name : v.name.mid(slash + 1)).replace(QLatin1Char('/'), QLatin1Char('\\'));
        if (group != section) {
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            text += QLatin1Char('[') + group + QStringLiteral("]\n");
            section = group;
        }
        text += key + QLatin1Char('=') + QString::number(v.value) + QLatin1Char('\n');
    }

    settings::makeStoreFolder();
    const QString path = policyFile();
    const QString temporary = path + QStringLiteral(".%1.new").arg(QCoreApplication::applicationPid());
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    // Owner only before anything is written; the rename keeps the mode.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray bytes = text.toUtf8();
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        QFile::remove(temporary);
}

void writeAll(int value)
{
    // The five first, in their order, then anything else the file holds.
    QList<Value> values;
    for (const Policy &p : Policies)
        values.append({entry(p.keyPath, QLatin1String(p.name)), value});
    for (const Value &old : readValues()) {
        if (std::none_of(values.cbegin(), values.cend(), [&](const Value &v) { return v.name == old.name; }))
            values.append(old);
    }
    writeValues(values);
}
} // namespace

QString policyFile()
{
    return settings::storeFolder() + QStringLiteral("/policies.conf");
}

void SetPolicyValue(const QString &keyPath, const QString &valueName, int value)
{
    QList<Value> values = readValues();
    setValue(values, entry(keyPath, valueName), value);
    writeValues(values);
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
    const QString name = entry(keyPath, valueName);
    for (const Value &v : readValues()) {
        if (v.name == name)
            return v.value;
    }
    return -1;
}

} // namespace station
