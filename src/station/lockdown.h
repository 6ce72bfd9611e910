#pragma once

#include <QString>

// The five lock-down policy values of the kiosk: set while the clock screen shows with
// "Disalbe Ctrl Alt Delete" on, cleared when the station leaves the clock. They live in the
// per-user policy file beside the settings, each as 0 or 1 under its key path.
namespace station {

inline const QString PolicySystem = QStringLiteral("software\\microsoft\\windows\\currentversion\\policies\\system");
inline const QString PolicyExplorer = QStringLiteral("software\\microsoft\\windows\\currentversion\\policies\\Explorer");

void SetPolicyValue(const QString &keyPath, const QString &valueName, int value);
void SetLockdownPolicies();
void ClearLockdownPolicies();

// The policy file and one value of it (-1 when absent), for whoever enforces or inspects them.
QString policyFile();
int policyValue(const QString &keyPath, const QString &valueName);

} // namespace station
