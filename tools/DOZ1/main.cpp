// DOZ1: the sound player the station starts after a punch.
//
// Argument: one text, "<wav file>::<token>". The token after the last "::" must match;
// the file is played by the first working command-line player on PATH (aplay, then
// paplay), waiting no longer than the sound lasts plus a margin.
//
// Exit codes: 0 played, 1 file or playback problem, 2 wrong or missing token.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>

namespace {

constexpr char Token[] = "zoktrebwqilsdhaf";
constexpr int MarginMs = 3000;
constexpr qint64 LongestWaitMs = 15 * 60 * 1000;

int fail(int code, const QString &message)
{
    std::fprintf(stderr, "DOZ1: %s\n", qPrintable(message));
    return code;
}

quint32 le32(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// Length of the sound in milliseconds from the RIFF header, or -1 when the file is not a
// WAV file. A data size that runs past the end of the file (streamed writers leave it at
// its maximum) is cut to what the file holds.
qint64 wavDurationMs(QFile &file)
{
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return -1;
        const quint32 size = le32(chunk, 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(qMin<quint32>(size, 64));
            if (fmt.size() < 12)
                return -1;
            byteRate = le32(fmt, 8);
            file.seek(file.pos() - fmt.size());
        } else if (chunk.startsWith("data")) {
            if (byteRate == 0)
                return -1;
            const qint64 available = qMin<qint64>(size, file.size() - file.pos());
            return available * 1000 / byteRate;
        }
        // Chunks are padded to an even length.
        if (!file.seek(file.pos() + size + (size & 1)))
            return -1;
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    // The station passes one argument; if a shell split it at blanks, put it back together.
    QStringList parts;
    for (int i = 1; i < argc; ++i)
        parts << QString::fromLocal8Bit(argv[i]);
    const QString argument = parts.join(QLatin1Char(' '));

    const qsizetype cut = argument.lastIndexOf(QLatin1String("::"));
    if (cut < 0 || argument.mid(cut + 2) != QLatin1String(Token))
        return fail(2, QStringLiteral("refused: missing or wrong token"));
    const QString path = argument.left(cut);

    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return fail(1, QStringLiteral("cannot read sound file \"%1\"").arg(path));
    const qint64 duration = wavDurationMs(file);
    file.close();
    if (duration < 0)
        return fail(1, QStringLiteral("not a WAV file: \"%1\"").arg(path));
    const int waitMs = int(qMin(duration + MarginMs, LongestWaitMs));

    QString lastError = QStringLiteral("no sound player (aplay or paplay) found");
    const QList<QStringList> players = {{QStringLiteral("aplay"), QStringLiteral("-q")},
                                        {QStringLiteral("paplay")}};
    for (QStringList command : players) {
        const QString program = QStandardPaths::findExecutable(command.takeFirst());
        if (program.isEmpty())
            continue;
        QProcess player;
        player.setStandardOutputFile(QProcess::nullDevice());
        player.start(program, command << path);
        if (!player.waitForFinished(waitMs)) {
            const bool started = player.state() != QProcess::NotRunning;
            player.kill();
            player.waitForFinished(1000);
            if (started)
                return fail(1, QStringLiteral("%1 did not finish in time").arg(program));
            lastError = QStringLiteral("cannot start %1").arg(program);
            continue;
        }
        if (player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0)
            return 0;
        // Keep the player's own last word on why it could not play (no device, no server).
        const QStringList lines = QString::fromLocal8Bit(player.readAllStandardError())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lastError = QStringLiteral("%1 failed%2").arg(program,
            lines.isEmpty() ? QString() : QStringLiteral(": ") + lines.last().trimmed());
    }
    return fail(1, lastError);
}
