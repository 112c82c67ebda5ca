// The user editor window: type choices per logged-in user, the checks in
// order with their messages and focus, the rows it writes, and the stored
// type check made before a user is edited.
#include "InstallationFolder.h"
#include "LoginState.h"
#include "ScriptedDialogs.h"
#include "TdmdMain.h"
#include "TfrmUserManagement.h"
#include "UserEditor.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

using namespace kovra;

namespace {

int addUser(TdmdMain &db, const QString &name, const QString &password, int type,
            QDate expires = QDate(2030, 6, 1))
{
    UserRecord u;
    u.UserLoginName = name;
    u.UserFirstName = "Dave";
    u.UserLastName = "Miller";
    u.password = password;
    u.UserType = type;
    u.UserExpireDate = expires;
    return db.AddUser(u);
}

struct Row {
    QString login, first, last, password, typeAuth;
    int type = 0;
    bool isNew = false;
    QDate expires;
};

Row userRow(TdmdMain &db, const QString &name)
{
    Row r;
    QSqlQuery q = RunSql(db.userDatabase(),
                         "SELECT UserLoginName, UserFirstName, UserLastName, UserPassword, UserTypeAuth, UserType, "
                         "UserNew, UserExpireDate FROM tblUser WHERE UserLoginName = ? COLLATE BINARY",
                         {name});
    if (q.next()) {
        r = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
             q.value(4).toString(), q.value(5).toInt(), q.value(6).toBool(), ReadStoredDate(q.value(7))};
    }
    return r;
}

QStringList logEvents(TdmdMain &db)
{
    QStringList out;
    QSqlQuery q = RunSql(db.userDatabase(), "SELECT Event, EventDescription FROM tblLog ORDER BY Event_ID");
    while (q.next())
        out << q.value(0).toString() + " / " + q.value(1).toString();
    return out;
}

template <typename T> T *child(QWidget *w, const char *name) { return w->findChild<T *>(name); }
QLineEdit *edit(QWidget *w, const char *name) { return child<QLineEdit>(w, name); }

void setText(QWidget *w, const char *name, const QString &text)
{
    QLineEdit *e = edit(w, name);
    e->clear();
    QTest::keyClicks(e, text);
}

QStringList comboItems(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

} // namespace

class TestUsersWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void typeChoices_data();
    void typeChoices();
    void addModeDefaults();
    void checksInOrder_data();
    void checksInOrder();
    void addWritesUserWhoCanLogIn();
    void editFillsAndRewrites();
    void userDataValid_data();
    void userDataValid();
};

void TestUsersWindow::init()
{
    Login() = LoginState();
    ResetLastTimedMessage();
}

void TestUsersWindow::typeChoices_data()
{
    QTest::addColumn<int>("loggedInType");
    QTest::addColumn<bool>("serviceLogin");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<int>("editedType");     // type of the user opened in edit mode
    QTest::addColumn<QString>("editShows");  // selection in edit mode
    QTest::newRow("service login") << 2 << true << QStringList{"Supervisor", "Administrator", "User"}
                                   << QList<int>{1, 2, 3} << 1 << "Supervisor";
    QTest::newRow("supervisor") << 1 << false << QStringList{"Administrator", "User"} << QList<int>{2, 3} << 3
                                << "User";
    QTest::newRow("administrator") << 2 << false << QStringList{"User"} << QList<int>{3} << 3 << "User";
}

void TestUsersWindow::typeChoices()
{
    QFETCH(int, loggedInType);
    QFETCH(bool, serviceLogin);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, types);
    QFETCH(int, editedType);
    QFETCH(QString, editShows);
    InstallationFolder home(false);
    Login().ServiceLogin = serviceLogin;
    const int id = addUser(home.db(), "Dave0001", "Secret#123", editedType);

    TfrmUserManagement add(home.db(), TfrmUserManagement::Add, loggedInType);
    QComboBox *c = child<QComboBox>(&add, "cbxUserType");
    QCOMPARE(comboItems(c), names);
    for (int i = 0; i < types.size(); ++i)
        QCOMPARE(c->itemData(i).toInt(), types.at(i));
    QCOMPARE(c->currentIndex(), 0);

    TfrmUserManagement editor(home.db(), TfrmUserManagement::Edit, loggedInType, id);
    QCOMPARE(child<QComboBox>(&editor, "cbxUserType")->currentText(), editShows);
}

void TestUsersWindow::addModeDefaults()
{
    InstallationFolder home(false);
    TfrmUserManagement w(home.db(), TfrmUserManagement::Add, 1);
    QCOMPARE(w.windowTitle(), QString("Kovra Console | User Management"));
    QCOMPARE(child<QGroupBox>(&w, "grpUserInformation")->title(), QString(" User Information "));
    QCOMPARE(edit(&w, "edtUserLogin")->text(), QString("NewLogin"));
    QVERIFY(edit(&w, "edtUserLogin")->isEnabled());
    for (const char *name : {"edtUserLogin", "edtUserFirstName", "edtUserLastName", "edtPassword", "edtVerifyPassword"})
        QCOMPARE(edit(&w, name)->maxLength(), 30);
    QCOMPARE(edit(&w, "edtPassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(edit(&w, "edtVerifyPassword")->echoMode(), QLineEdit::Password);
    QDateEdit *date = child<QDateEdit>(&w, "edtExpirationDate");
    QCOMPARE(date->date(), QDate::currentDate());
    date->setDate(QDate(2001, 5, 5));
    QCOMPARE(date->date(), QDate(2002, 12, 1));   // earliest choosable date
    QPushButton *save = child<QPushButton>(&w, "btnDone");
    QCOMPARE(save->text(), QString("&Save"));
    QVERIFY(save->isDefault());
    QCOMPARE(child<QPushButton>(&w, "btnCancel")->text(), QString("&Cancel"));
}

void TestUsersWindow::checksInOrder_data()
{
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("verify");
    QTest::addColumn<QString>("message");   // empty: saved
    QTest::addColumn<QString>("focus");

    // Each row breaks its own rule and every later one, so only the order decides the message.
    QTest::newRow("login empty") << false << "" << "" << "" << "" << "x" << "Please provide a Login Name."
                                 << "edtUserLogin";
    QTest::newRow("login of 4") << false << "Abcd" << "" << "" << "" << "x"
                                << "Login Name should be at least 5 characters long." << "edtUserLogin";
    QTest::newRow("login taken") << false << "Taken01" << "" << "" << "" << "x"
                                 << "This Login Name already exists. Please provide another one."
                                 << "edtUserLogin";
    QTest::newRow("first name empty") << false << "Fresh01" << "" << "" << "" << "x"
                                      << "Please provide a User First Name." << "edtUserFirstName";
    QTest::newRow("last name empty") << false << "Fresh01" << "Ann" << "" << "" << "x"
                                     << "Please provide a User Last Name." << "edtUserLastName";
    QTest::newRow("password empty") << false << "Fresh01" << "Ann" << "Lee" << "" << "x"
                                    << "Please provide a Password." << "edtPassword";
    QTest::newRow("password of 7") << false << "Fresh01" << "Ann" << "Lee" << "Secret#" << "x"
                                   << "Password should be at least 8 characters long." << "edtPassword";
    QTest::newRow("verification differs") << false << "Fresh01" << "Ann" << "Lee" << "Secret#1" << "Secret#2"
                                          << "Please re-enter the correct Password." << "edtVerifyPassword";
    QTest::newRow("login of 5 saves") << false << "Abcde" << "Ann" << "Lee" << "Secret#1" << "Secret#1" << ""
                                      << "";
    QTest::newRow("taken name in other case saves")
        << false << "TAKEN01" << "Ann" << "Lee" << "Secret#1" << "Secret#1" << "" << "";
    // Edit mode: the login name is not checked again.
    QTest::newRow("edit: first name empty") << true << "" << "" << "" << "" << "x"
                                            << "Please provide a User First Name." << "edtUserFirstName";
    QTest::newRow("edit: password of 7") << true << "" << "Ann" << "Lee" << "Secret#" << "x"
                                         << "Password should be at least 8 characters long." << "edtPassword";
    QTest::newRow("edit: verification differs") << true << "" << "Ann" << "Lee" << "Secret#1" << "Secret#9"
                                                << "Please re-enter the correct Password." << "edtVerifyPassword";
    QTest::newRow("edit saves") << true << "" << "Ann" << "Lee" << "Secret#1" << "Secret#1" << "" << "";
}

void TestUsersWindow::checksInOrder()
{
    QFETCH(bool, editMode);
    QFETCH(QString, login);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, password);
    QFETCH(QString, verify);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    Login().CurrentUserName = "Boss0001";
    const int takenId = addUser(home.db(), "Taken01", "Secret#123", 3);
    const int usersBefore = home.rowCount("tblUser");
    const Row takenBefore = userRow(home.db(), "Taken01");

    TfrmUserManagement w(home.db(), editMode ? TfrmUserManagement::Edit : TfrmUserManagement::Add, 1,
                         editMode ? takenId : 0);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    if (!editMode)
        setText(&w, "edtUserLogin", login);
    setText(&w, "edtUserFirstName", first);
    setText(&w, "edtUserLastName", last);
    setText(&w, "edtPassword", password);
    setText(&w, "edtVerifyPassword", verify);
    child<QPushButton>(&w, "btnDone")->click();

    if (!message.isEmpty()) {
        QCOMPARE(dialogs.texts(), QStringList{message});
        QCOMPARE(dialogs.shown().first().caption, QString("Error"));
        QCOMPARE(dialogs.shown().first().lifetimeMs, 0);   // modal
        QVERIFY(w.isVisible());
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QCOMPARE(home.rowCount("tblUser"), usersBefore);
        QCOMPARE(userRow(home.db(), "Taken01").password, takenBefore.password);
        QCOMPARE(userRow(home.db(), "Taken01").first, takenBefore.first);
        QVERIFY(logEvents(home.db()).filter("User").filter("added").isEmpty());
        QVERIFY(logEvents(home.db()).filter("edited").isEmpty());
    } else {
        QVERIFY2(dialogs.shown().isEmpty(), qPrintable(dialogs.texts().join(" | ")));
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(home.rowCount("tblUser"), usersBefore + (editMode ? 0 : 1));
    }
}

void TestUsersWindow::addWritesUserWhoCanLogIn()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    Login().CurrentUserName = "Boss0001";
    TfrmUserManagement w(home.db(), TfrmUserManagement::Add, 1);
    w.show();
    setText(&w, "edtUserLogin", "Carol01");
    setText(&w, "edtUserFirstName", "Carol");
    setText(&w, "edtUserLastName", "Novak");
    child<QComboBox>(&w, "cbxUserType")->setCurrentText("Administrator");
    child<QDateEdit>(&w, "edtExpirationDate")->setDate(QDate(2027, 3, 4));
    setText(&w, "edtPassword", "Carol#2027");
    setText(&w, "edtVerifyPassword", "Carol#2027");
    child<QPushButton>(&w, "btnDone")->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));

    const Row r = userRow(home.db(), "Carol01");
    QCOMPARE(r.login, QString("Carol01"));
    QCOMPARE(r.first, QString("Carol"));
    QCOMPARE(r.last, QString("Novak"));
    QCOMPARE(r.type, 2);
    QVERIFY(r.isNew);
    QCOMPARE(r.expires, QDate(2027, 3, 4));
    QCOMPARE(r.password, StoredPassword("Carol01", "Carol#2027"));
    QCOMPARE(r.password.size(), 32);
    QVERIFY(CheckTypeAuth("Carol01", r.typeAuth, 2));
    QCOMPARE(home.db().LookupUser("Carol01", r.password), 2);
    const QStringList log = logEvents(home.db());
    QCOMPARE(log.last(), QString("New User Added / New User - Carol01 added"));
}

void TestUsersWindow::editFillsAndRewrites()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    Login().CurrentUserName = "Boss0001";
    // 17 characters: the stored form takes two cipher blocks.
    const int id = addUser(home.db(), "Dave0001", "Long#password1234", 3, QDate(2026, 6, 1));
    const Row before = userRow(home.db(), "Dave0001");
    QCOMPARE(before.password.size(), 64);

    TfrmUserManagement w(home.db(), TfrmUserManagement::Edit, 1, id);
    w.show();
    QCOMPARE(edit(&w, "edtUserLogin")->text(), QString("Dave0001"));
    QVERIFY(!edit(&w, "edtUserLogin")->isEnabled());
    QCOMPARE(edit(&w, "edtUserFirstName")->text(), QString("Dave"));
    QCOMPARE(edit(&w, "edtUserLastName")->text(), QString("Miller"));
    QCOMPARE(edit(&w, "edtPassword")->text(), QString("Long#password1234"));
    QCOMPARE(edit(&w, "edtVerifyPassword")->text(), QString("Long#password1234"));
    QCOMPARE(child<QDateEdit>(&w, "edtExpirationDate")->date(), QDate(2026, 6, 1));
    QCOMPARE(child<QComboBox>(&w, "cbxUserType")->currentText(), QString("User"));

    setText(&w, "edtUserLastName", "Miller-Ross");
    child<QComboBox>(&w, "cbxUserType")->setCurrentText("Administrator");
    setText(&w, "edtPassword", "Fresh#2026");
    setText(&w, "edtVerifyPassword", "Fresh#2026");
    child<QPushButton>(&w, "btnDone")->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));

    const Row r = userRow(home.db(), "Dave0001");
    QCOMPARE(r.last, QString("Miller-Ross"));
    QCOMPARE(r.type, 2);
    QCOMPARE(r.password, StoredPassword("Dave0001", "Fresh#2026"));
    QVERIFY(CheckTypeAuth("Dave0001", r.typeAuth, 2));
    QCOMPARE(home.db().LookupUser("Dave0001", r.password), 2);
    QCOMPARE(home.rowCount("tblUser"), 1);
    QCOMPARE(logEvents(home.db()).last(), QString("Edit User's data / User Dave0001 data edited"));
}

void TestUsersWindow::userDataValid_data()
{
    QTest::addColumn<QString>("tamper");
    QTest::addColumn<bool>("valid");
    QTest::newRow("intact") << "" << true;
    QTest::newRow("type changed from 3 to 1 by hand") << "UPDATE tblUser SET UserType = 1" << false;
    QTest::newRow("type check of another user")
        << "UPDATE tblUser SET UserTypeAuth = (SELECT UserTypeAuth FROM tblUser WHERE UserLoginName = 'Other01') "
           "WHERE UserLoginName = 'Dave0001'"
        << false;
    QTest::newRow("type check not a number") << "UPDATE tblUser SET UserTypeAuth = 'ABC'" << false;
    QTest::newRow("row deleted") << "DELETE FROM tblUser" << false;
}

void TestUsersWindow::userDataValid()
{
    QFETCH(QString, tamper);
    QFETCH(bool, valid);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    const int id = addUser(home.db(), "Dave0001", "Secret#123", 3);
    addUser(home.db(), "Other01", "Secret#123", 3);
    if (!tamper.isEmpty())
        RunSql(home.db().userDatabase(), tamper);

    QCOMPARE(UserDataValid(home.db(), id), valid);
    if (valid) {
        QVERIFY(dialogs.shown().isEmpty());
    } else {
        QCOMPARE(dialogs.texts(), QStringList{"Invalid User Data."});
        QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
    }
}

QTEST_MAIN(TestUsersWindow)
#include "tst_userswindow.moc"
