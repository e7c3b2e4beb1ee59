#ifndef QUILLON_USER_PROMPT_H
#define QUILLON_USER_PROMPT_H

// Every question and message box of the library and the program goes through
// Ask_User, so that a test can answer it instead of a person.

#include "quillon_global.h"

#include <QMessageBox>
#include <QString>

#include <functional>

namespace Quillon {

struct User_Prompt
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QString informative_text;
    QString detailed_text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    QWidget* parent = nullptr;
};

using User_Prompt_Handler = std::function<QMessageBox::StandardButton(const User_Prompt&)>;

// Shows a modal message box, or hands the prompt to the installed handler.
QUILLON_EXPORT QMessageBox::StandardButton Ask_User(const User_Prompt& prompt);
// The same for the common case of a box with a title, a text and buttons.
QUILLON_EXPORT QMessageBox::StandardButton
Ask_User(QMessageBox::Icon icon, const QString& title, const QString& text,
         QMessageBox::StandardButtons buttons = QMessageBox::Ok,
         QMessageBox::StandardButton default_button = QMessageBox::NoButton,
         QWidget* parent = nullptr);
// Installs a handler in place of the message boxes; an empty one restores them.
QUILLON_EXPORT void Set_User_Prompt_Handler(User_Prompt_Handler handler);

// Told of every prompt before it is shown or handled (a session recording
// keeps them); an empty one removes it.
using User_Prompt_Observer = std::function<void(const User_Prompt&)>;
QUILLON_EXPORT void Set_User_Prompt_Observer(User_Prompt_Observer observer);

} // namespace Quillon

#endif // QUILLON_USER_PROMPT_H
