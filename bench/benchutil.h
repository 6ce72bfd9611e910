#pragma once

// Small measuring helpers the benchmarks share.

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <vector>

namespace bench {

// The middle value (the upper middle of an even count).
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A kB figure of this process from /proc/self/status ("VmHWM:" is the peak resident size);
// -1 where it cannot be read.
inline qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace bench
