#ifndef TESTS_APP_TEST_MAIN_H
#define TESTS_APP_TEST_MAIN_H

// The main function of the program's tests. HOME and the XDG folders point at
// a fresh temporary folder, so that the settings and documents the program
// writes never touch the user's own; the application has the program's
// identity, and every message box is answered by the test (Prompt_Answers).

#include <Quillon.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <functional>

class Isolated_Home
{
public:
    Isolated_Home()
    {
        const QString home = dir.path();
        QDir(home).mkpath(QStringLiteral(".config"));
        QDir(home).mkpath(QStringLiteral("Documents"));
        qputenv("HOME", home.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toLocal8Bit());
    }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

// Records every prompt and answers it with the next queued answer, or with
// the prompt's default button (OK when it has none).
class Prompt_Answers
{
public:
    Prompt_Answers()
    {
        Quillon::Set_User_Prompt_Handler([this](const Quillon::User_Prompt& prompt) {
            asked.push_back(prompt);
            if (!answers.empty()) {
                const auto answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return prompt.default_button != QMessageBox::NoButton ? prompt.default_button
                                                                  : QMessageBox::Ok;
        });
    }
    ~Prompt_Answers() { Quillon::Set_User_Prompt_Handler(nullptr); }

    void answer_next(QMessageBox::StandardButton b) { answers.push_back(b); }
    std::deque<QMessageBox::StandardButton> answers;
    QList<Quillon::User_Prompt> asked;
};

#define VANTOR_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        Isolated_Home home;                                                                        \
        QApplication app(argc, argv);                                                              \
        QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));                          \
        QCoreApplication::setApplicationName(QStringLiteral("Pelmar Interface"));                  \
        Quillon::init();                                                                           \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#endif // TESTS_APP_TEST_MAIN_H
