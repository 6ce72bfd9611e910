#include "testenv.h"

#include "platform/messagebox.h"
#include "reports/filechooser.h"
#include "reports/formfile.h"
#include "reports/reportlistmodel.h"
#include "reports/reportoutputs.h"
#include "settings/keys.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

using platform::MessageBox;
using reports::FileChooser;
using reports::FormFile;
namespace keys = settings::keys;

namespace {

template<typename T>
T *control(FormFile &form, const char *name)
{
    return form.findChild<T *>(QString::fromLatin1(name));
}

// Walks the folder list from the root down to a folder, as a user double-clicks.
void walkTo(QListWidget *list, const QString &folder)
{
    QString path = QStringLiteral("/");
    for (const QString &part : (QStringList{QString()} + folder.split('/', Qt::SkipEmptyParts))) {
        path = QDir(path).filePath(part);
        int i = 0;
        while (i < list->count() && list->item(i)->data(Qt::UserRole).toString() != QDir::cleanPath(path))
            ++i;
        QVERIFY2(i < list->count(), qPrintable(path));
        Q_EMIT list->itemActivated(list->item(i));
    }
}

} // namespace

class TestFileChooser : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    QString m_docs; // a folder with subfolders and files of several kinds

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        m_docs = m_env->folder() + "/docs";
        for (const char *sub : {"b sub", "a sub"})
            QVERIFY(QDir().mkpath(m_docs + '/' + sub));
        for (const char *file : {"week.txt", "ALL.TXT", "notes.csv", "a sub/inner.txt"})
            QVERIFY(QFile(m_docs + '/' + file).open(QIODevice::WriteOnly));
        FormFile::setScriptedAnswer({});
    }
    void cleanup() { m_env.reset(); }

    void driveListHasRootFirstAndNoPseudoFileSystems_data()
    {
        QTest::addColumn<QStringList>("volumes"); // "type path"
        QTest::addColumn<QStringList>("drives");
        QTest::newRow("root first") << QStringList{"ext4 /home", "vfat /boot/efi", "ext4 /", "ext4 /boot"}
                                    << QStringList{"/", "/boot", "/boot/efi", "/home"};
        QTest::newRow("pseudo file systems and system folders")
            << QStringList{"overlay /", "proc /proc", "sysfs /sys", "cgroup2 /sys/fs/cgroup", "devtmpfs /dev",
                           "tmpfs /dev/shm", "tmpfs /run", "tmpfs /run/user/1000", "squashfs /snap/core/1",
                           "autofs /net", "tmpfs /tmp"}
            << QStringList{"/", "/tmp"};
        QTest::newRow("removable media and repeated mounts")
            << QStringList{"vfat /run/media/ann/USB", "ext4 /", "nfs4 /mnt/share", "ext4 /"}
            << QStringList{"/", "/mnt/share", "/run/media/ann/USB"};
    }
    void driveListHasRootFirstAndNoPseudoFileSystems()
    {
        QFETCH(QStringList, volumes);
        QFETCH(QStringList, drives);
        QList<reports::Volume> list;
        for (const QString &v : volumes)
            list.append({v.section(' ', 1), v.section(' ', 0, 0).toLatin1()});
        QCOMPARE(reports::driveList(list), drives);
    }

    void thisMachinesDrivesStartAtTheRoot()
    {
        const QStringList drives = reports::mountedDrives();
        QCOMPARE(drives.value(0), QStringLiteral("/"));
        QVERIFY(!drives.contains("/proc") && !drives.contains("/sys"));
    }

    void foldersTextFilesAndAClickedFile()
    {
        FileChooser chooser;
        QVERIFY(chooser.setFolder(m_docs + "/"));
        QCOMPARE(chooser.folder(), m_docs);
        QCOMPARE(chooser.subfolders(), (QStringList{"a sub", "b sub"}));
        QCOMPARE(chooser.files(), (QStringList{"ALL.TXT", "week.txt"}));
        QVERIFY(!chooser.setFolder(m_docs + "/none"));
        QCOMPARE(chooser.fileFolder(), m_docs);
        chooser.clickFile("week.txt");
        QCOMPARE(chooser.path(), m_docs + "/week.txt");
        // In the root folder too there is one separator before the name.
        QVERIFY(chooser.setFileFolder("/"));
        chooser.clickFile("report.txt");
        QCOMPARE(chooser.path(), QString("/report.txt"));
    }

    void okWithoutAPathRefuses()
    {
        FormFile form;
        FormFile::setScriptedAnswer([](FormFile &f) {
            control<QLineEdit>(f, "Text2")->clear();
            control<QPushButton>(f, "Command1")->click();
        });
        QCOMPARE(form.choose(), QString());
        QCOMPARE(MessageBox::shownTexts(), QStringList{FileChooser::NoFileMessage});
        QCOMPARE(MessageBox::shown().first().title, MessageBox::applicationTitle());
        QVERIFY(!form.isVisible());
        QCOMPARE(settings::read(keys::FilePath, "unset"), QString("unset"));
    }

    // A typed name is taken in the folder the file list shows, whatever the working folder;
    // a name of blanks is refused like an empty one.
    void typedNameIsTakenInTheShownFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved"); // under the documents folder; empty: refused
        QTest::newRow("name") << "report.txt" << "a sub/report.txt";
        QTest::newRow("name in a subfolder") << "../b sub/report.txt" << "b sub/report.txt";
        QTest::newRow("full path") << "%1/week.txt" << "week.txt"; // %1: the documents folder
        QTest::newRow("blanks") << "   " << "";
    }
    void typedNameIsTakenInTheShownFolder()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        reports::ReportListModel model;
        model.appendColumn("Name");
        model.appendRow({"1", "Ann"});
        reports::ReportOutputs outputs(model);
        FormFile::setScriptedAnswer([&](FormFile &f) {
            walkTo(control<QListWidget>(f, "Dir1"), m_docs + "/a sub");
            control<QLineEdit>(f, "Text2")->setText(QString(typed).replace("%1", m_docs));
            control<QPushButton>(f, "Command1")->click();
        });
        const QString working = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(working); });
        QVERIFY(QDir::setCurrent(m_docs));
        outputs.saveReport();
        if (saved.isEmpty()) {
            QCOMPARE(MessageBox::shownTexts(), QStringList{FileChooser::NoFileMessage});
            QCOMPARE(outputs.fileChooser().chooser().chosenPath(), QString());
            QCOMPARE(settings::read(keys::FilePath, "unset"), QString("unset"));
        } else {
            QCOMPARE(MessageBox::shownTexts(), QStringList{reports::ReportOutputs::SavedMessage});
            QVERIFY(QFileInfo(m_docs + '/' + saved).size() > 0);
            QVERIFY(!QFile::exists(m_docs + "/report.txt"));
        }
    }

    // A file picked through the lists is remembered, and a new chooser starts from it.
    void choiceIsRemembered()
    {
        FormFile form;
        FormFile::setScriptedAnswer([this](FormFile &f) {
            walkTo(control<QListWidget>(f, "Dir1"), m_docs + "/a sub");
            auto *files = control<QListWidget>(f, "File1");
            QCOMPARE(files->count(), 1);
            Q_EMIT files->itemClicked(files->item(0));
            control<QPushButton>(f, "Command1")->click();
        });
        const QString file = m_docs + "/a sub/inner.txt";
        QCOMPARE(form.choose(), file);
        QCOMPARE((QStringList{settings::read(keys::Drive1Drive), settings::read(keys::Dir1Path),
                              settings::read(keys::File1Path), settings::read(keys::FilePath)}),
                 (QStringList{"/", m_docs + "/a sub", m_docs + "/a sub", file}));
        FormFile again;
        QCOMPARE(control<QLineEdit>(again, "Text2")->text(), file);
        QCOMPARE(control<QListWidget>(again, "File1")->item(0)->text(), QString("inner.txt"));
    }

    void eachRememberedValueIsRestoredOnItsOwn_data()
    {
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("folder"); // %1: the documents folder
        QTest::addColumn<QString>("fileFolder");
        QTest::addColumn<QString>("expectedFolder");
        QTest::addColumn<QString>("expectedFileFolder");
        QTest::newRow("all there") << "/" << "%1" << "%1/a sub" << "%1" << "%1/a sub";
        QTest::newRow("file folder gone") << "/" << "%1" << "%1/gone" << "%1" << "%1";
        QTest::newRow("folder gone") << "/" << "%1/gone" << "%1/b sub" << "/" << "%1/b sub";
        QTest::newRow("drive gone") << "/media/none" << "%1/a sub" << "" << "%1/a sub" << "%1/a sub";
    }
    void eachRememberedValueIsRestoredOnItsOwn()
    {
        QFETCH(QString, drive);
        QFETCH(QString, folder);
        QFETCH(QString, fileFolder);
        QFETCH(QString, expectedFolder);
        QFETCH(QString, expectedFileFolder);
        settings::write(keys::FilePath, "typed.txt");
        settings::write(keys::Drive1Drive, drive);
        settings::write(keys::Dir1Path, folder.replace("%1", m_docs));
        // The file list's folder is read under another spelling of its key.
        settings::SaveSetting(settings::Application, "filesettings", "file1path", fileFolder.replace("%1", m_docs));
        FileChooser chooser;
        chooser.load();
        QCOMPARE(chooser.path(), QString("typed.txt"));
        QCOMPARE(chooser.drive(), QString("/"));
        QCOMPARE(chooser.folder(), expectedFolder.replace("%1", m_docs));
        QCOMPARE(chooser.fileFolder(), expectedFileFolder.replace("%1", m_docs));
    }

    // The report screen keeps one chooser: hidden between uses, it shows its last state
    // without reading the settings again.
    void chooserIsHiddenNotDestroyed()
    {
        reports::ReportListModel model;
        model.appendColumn("Name");
        model.appendRow({"1", "Ann"});
        reports::ReportOutputs outputs(model);
        QPointer<FormFile> form = &outputs.fileChooser();
        const QString file = m_docs + "/week.txt";
        FormFile::setScriptedAnswer([file](FormFile &f) {
            control<QLineEdit>(f, "Text2")->setText(file);
            control<QPushButton>(f, "Command1")->click();
        });
        outputs.saveReport();
        QVERIFY(form && !form->isVisible());
        settings::DeleteSetting(settings::Application);

        QString shownPath;
        FormFile::setScriptedAnswer([&shownPath](FormFile &f) {
            shownPath = control<QLineEdit>(f, "Text2")->text();
            f.close();
        });
        outputs.saveReport();
        QVERIFY(form && !form->isVisible());
        QCOMPARE(&outputs.fileChooser(), form.data());
        QCOMPARE(shownPath, file);
        QCOMPARE(MessageBox::shownTexts(), QStringList{reports::ReportOutputs::SavedMessage});
    }

    // Growing the window grows the lists; every control stays inside it and none overlap.
    void layoutFollowsTheWindow()
    {
        FormFile form;
        form.show();
        QList<int> listHeights;
        for (const QSize size : {QSize(520, 400), QSize(900, 700)}) {
            form.resize(size);
            const QStringList names{"Text2", "Drive1", "Dir1", "File1", "Frame1", "Frame2"};
            for (const QString &a : names) {
                const QRect ra = form.findChild<QWidget *>(a)->geometry();
                QVERIFY2(form.rect().contains(ra), qPrintable(a));
                for (const QString &b : names)
                    QVERIFY2(a == b || !ra.intersects(form.findChild<QWidget *>(b)->geometry()), qPrintable(a + " " + b));
            }
            listHeights << control<QListWidget>(form, "Dir1")->height() << control<QListWidget>(form, "File1")->height();
        }
        QVERIFY(listHeights[2] > listHeights[0] && listHeights[3] > listHeights[1]);
    }
};

QTEST_MAIN(TestFileChooser)
#include "tst_filechooser.moc"
