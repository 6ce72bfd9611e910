#include "admin/sqllogindialog.h"

#include "admin/optionsmodel.h"
#include "platform/messagebox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace admin {

const QString SqlLoginDialog::Caption = QStringLiteral("SQL Authentication");

namespace {
struct Script {
    std::function<void(SqlLoginDialog &)> answer;
    int asked = 0;
};
Script &script()
{
    static Script s;
    return s;
}
} // namespace

SqlLoginDialog::SqlLoginDialog(OptionsModel &options, QWidget *parent)
    : QDialog(parent), m_options(options), m_user(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)), m_cancel(new QPushButton(QStringLiteral("Cancel It"), this))
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(Caption);
    setModal(true);

    m_user->setObjectName(QStringLiteral("Text1"));
    m_password->setObjectName(QStringLiteral("Text2"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_cancel->setObjectName(QStringLiteral("Command2"));
    m_ok->setDefault(true);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("User Name:"), this), 0, 0);
    grid->addWidget(m_user, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Password:"), this), 1, 0);
    grid->addWidget(m_password, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &SqlLoginDialog::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SqlLoginDialog::confirm()
{
    m_options.setText(Field::SqlUser, m_user->text());
    m_options.setSqlPassword(m_password->text());
    accept();
}

bool SqlLoginDialog::ask(OptionsModel &options, QWidget *parent)
{
    SqlLoginDialog dialog(options, parent);
    if (platform::MessageBox::isScripted()) {
        Script &s = script();
        ++s.asked;
        if (s.answer)
            s.answer(dialog);
        return dialog.result() == QDialog::Accepted;
    }
    return dialog.exec() == QDialog::Accepted;
}

void SqlLoginDialog::setScriptedAnswer(std::function<void(SqlLoginDialog &)> answer)
{
    script().answer = std::move(answer);
    script().asked = 0;
}

int SqlLoginDialog::timesAsked()
{
    return script().asked;
}

} // namespace admin
