#pragma once

#include "data/database.h"

#include <QString>
#include <QTemporaryDir>

// A PostgreSQL server of the test's own, in a folder of its own on a free port, that the
// test may stop, start, freeze and thaw under open connections without disturbing the
// server other tests share. Started with scripts/pgserver.sh.
class PrivatePgServer
{
public:
    PrivatePgServer();
    ~PrivatePgServer();

    // Why the server could not be started (empty once it runs).
    QString unavailable() const { return m_unavailable; }
    data::ConnectionSettings settings() const;

    bool stop();
    bool start();
    // Stops the postmaster and every server process (SIGSTOP) or lets them go on (SIGCONT):
    // the server's host still answers on the network, the server does not.
    bool freeze();
    bool thaw();

private:
    bool script(const QString &action, QString *output = nullptr);
    bool signalAll(const char *signal);

    QTemporaryDir m_dir;
    QString m_port;
    QString m_user;
    QString m_password;
    QString m_database;
    QString m_unavailable;
};
