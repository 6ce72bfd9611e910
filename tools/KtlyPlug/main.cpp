// KtlyPlug: the camera plug-in the station starts at a punch.
//
// Argument: one text, "<camera>;<photo type>;<folder>;<snapshot name>". It fetches one
// picture from the network camera over HTTP and saves it as <folder>/<name>.jpg when the
// photo type is "True" or <folder>/<name>.bmp when it is "False".
//
// The camera is "host", "host:port" or a full http(s) URL; without a path the camera's
// "/snapshot.jpg" is asked for. Exit 0 when the picture is saved, 1 with a one-line
// message otherwise.

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int TimeoutMs = 10000;
constexpr qint64 LargestPicture = 32 * 1024 * 1024;

int fail(const QString &message)
{
    std::fprintf(stderr, "KtlyPlug: %s\n", qPrintable(message));
    return 1;
}

QUrl cameraUrl(const QString &camera)
{
    QUrl url(camera.contains(QLatin1String("://")) ? camera : QStringLiteral("http://") + camera);
    if (url.path().isEmpty() || url.path() == QLatin1String("/"))
        url.setPath(QStringLiteral("/snapshot.jpg"));
    return url;
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own warnings (environment notes, decoder chatter) would bury the one-line report;
    // only the fatal ones are worth passing on.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "KtlyPlug: %s\n", qPrintable(text));
    });
    QCoreApplication app(argc, argv);

    // The station passes one argument; if a shell split it at blanks, put it back together.
    QStringList parts;
    for (int i = 1; i < argc; ++i)
        parts << QString::fromLocal8Bit(argv[i]);
    const QStringList fields = parts.join(QLatin1Char(' ')).split(QLatin1Char(';'));
    if (fields.size() < 4)
        return fail(QStringLiteral("expected \"camera;photo type;folder;snapshot name\""));
    // A folder may hold a ";"; the name and the first two fields cannot.
    const QString camera = fields[0].trimmed();
    const QString type = fields[1].trimmed();
    const QString folder = fields.mid(2, fields.size() - 3).join(QLatin1Char(';'));
    const QString name = fields.last();

    const char *format = nullptr;
    if (type.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        format = "jpg";
    else if (type.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        format = "bmp";
    else
        return fail(QStringLiteral("photo type \"%1\" is neither True nor False").arg(type));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return fail(QStringLiteral("unusable snapshot name \"%1\"").arg(name));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return fail(QStringLiteral("no folder \"%1\"").arg(folder));

    const QUrl url = cameraUrl(camera);
    if (camera.isEmpty() || !url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return fail(QStringLiteral("unusable camera address \"%1\"").arg(camera));

    // Cameras sit on the local network: never go through a proxy. Time-out and size limit
    // also stop a camera that sends an endless stream instead of one picture.
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { timedOut = true; reply->abort(); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received) {
        if (received > LargestPicture)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(TimeoutMs);
    if (!reply->isFinished())
        loop.exec();

    const QString where = url.toDisplayString(QUrl::RemoveUserInfo);
    if (timedOut)
        return fail(QStringLiteral("no answer from camera %1 within %2 s").arg(where).arg(TimeoutMs / 1000));
    if (reply->error() != QNetworkReply::NoError)
        return fail(QStringLiteral("camera %1: %2").arg(where, reply->errorString()));
    QImage picture;
    if (!picture.loadFromData(reply->readAll()))
        return fail(QStringLiteral("camera %1 did not send a picture").arg(where));

    // Written under a temporary name and renamed, so a failed write leaves no half file.
    const QString path = QDir(folder).filePath(name + QLatin1Char('.') + QLatin1String(format));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, format) || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return 0;
}
