#include "admin/optionsmodel.h"

#include "data/storedconnection.h"
#include "platform/system.h"

namespace admin {

OptionsModel::OptionsModel(QObject *parent) : QObject(parent)
{
    m_fields.insert(Field::FontName, QStringLiteral("Verdana"));
    m_fields.insert(Field::FontSize, QStringLiteral("12"));
}

void OptionsModel::setOn(Option option, bool on)
{
    if (isOn(option) == on)
        return;
    m_options.insert(option, on);
    Q_EMIT optionChanged(option, on);
}

void OptionsModel::setText(Field field, const QString &text)
{
    if (m_fields.value(field) == text)
        return;
    m_fields.insert(field, text);
    Q_EMIT textChanged(field, text);
}

void OptionsModel::setServerKind(data::ServerKind kind)
{
    if (m_serverKind == kind)
        return;
    m_serverKind = kind;
    Q_EMIT serverKindChanged(kind);
}

QString OptionsModel::serverKindText(data::ServerKind kind)
{
    return kind == data::ServerKind::PostgreSql ? QStringLiteral("PostgreSQL") : QStringLiteral("SQL Server");
}

data::ServerKind OptionsModel::serverKindOf(const QString &text)
{
    return data::serverKindOf(text);
}

QString OptionsModel::accessFolder() const
{
    return m_accessFolder.isEmpty() ? platform::defaultDatabaseFolder() : m_accessFolder;
}

data::ConnectionSettings OptionsModel::connectionSettings() const
{
    data::ConnectionSettings s;
    s.useSqlDb = isOn(Option::UseSqlDb);
    s.serverKind = m_serverKind;
    s.accessFolder = accessFolder();
    s.user = text(Field::SqlUser);
    s.password = m_sqlPassword;
    s.database = text(Field::SqlDatabase);
    s.server = text(Field::SqlServer);
    return s;
}

} // namespace admin
