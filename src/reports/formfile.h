#pragma once

#include "reports/filechooser.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace reports {

// FormFile, "File": picks or takes a typed path of the text file a report is appended to.
// Built once and kept: closing or choosing only hides it, so the next use starts from its
// last drive, folders and path. The remembered values are read when it is built.
class FormFile : public QDialog
{
    Q_OBJECT

public:
    static const QString Caption;

    explicit FormFile(QWidget *parent = nullptr);

    // Shows the chooser modally and returns when it is hidden again: the chosen path, or
    // empty when nothing was chosen.
    QString choose();

    FileChooser &chooser() { return m_chooser; }

    // --- scripting for tests ---
    // While the platform is scripted choose() does not block: it shows the chooser, hands
    // it to this answer (which may type, click and press its buttons) and cancels it if it is
    // still showing afterwards.
    static void setScriptedAnswer(std::function<void(FormFile &)> answer);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showDrives();
    void showFolder();
    void showFiles();
    void chooseDrive(int index);
    void openFolder(const QString &folder);
    void confirm();
    void layOut();

    FileChooser m_chooser;
    QLineEdit *m_path;
    QComboBox *m_drives;
    QListWidget *m_folders;
    QListWidget *m_files;
    QGroupBox *m_options;
    QLineEdit *m_delimiter;
    QLabel *m_delimiterLabel;
    QCheckBox *m_headers;
    QGroupBox *m_buttons;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace reports
