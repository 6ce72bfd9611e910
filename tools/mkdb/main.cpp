// Lays an empty Stampwell.mdb into the program folder when there is none.
#include "data/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (app.arguments().size() != 2) {
        err << "usage: mkdb PATH\n";
        return 2;
    }
    const QString path = app.arguments().at(1);
    if (QFileInfo::exists(path))
        return 0;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const data::DbError error = data::createEmbeddedDatabase(path);
    if (error) {
        err << "mkdb: " << error.description << "\n";
        return 1;
    }
    QTextStream(stdout) << "Created " << path << "\n";
    return 0;
}
