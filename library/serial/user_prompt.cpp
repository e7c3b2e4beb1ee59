#include "user_prompt.h"

namespace Quillon {

namespace {
User_Prompt_Handler& handler()
{
    static User_Prompt_Handler installed;
    return installed;
}
User_Prompt_Observer& observer()
{
    static User_Prompt_Observer installed;
    return installed;
}
} // namespace

QMessageBox::StandardButton Ask_User(const User_Prompt& prompt)
{
    if (observer())
        observer()(prompt);
    if (handler())
        return handler()(prompt);
    QMessageBox box(prompt.icon, prompt.title, prompt.text, prompt.buttons, prompt.parent);
    if (!prompt.informative_text.isEmpty())
        box.setInformativeText(prompt.informative_text);
    if (!prompt.detailed_text.isEmpty())
        box.setDetailedText(prompt.detailed_text);
    if (prompt.default_button != QMessageBox::NoButton)
        box.setDefaultButton(prompt.default_button);
    return QMessageBox::StandardButton(box.exec());
}

QMessageBox::StandardButton Ask_User(QMessageBox::Icon icon, const QString& title,
                                     const QString& text, QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton default_button, QWidget* parent)
{
    User_Prompt prompt;
    prompt.icon = icon;
    prompt.title = title;
    prompt.text = text;
    prompt.buttons = buttons;
    prompt.default_button = default_button;
    prompt.parent = parent;
    return Ask_User(prompt);
}

void Set_User_Prompt_Handler(User_Prompt_Handler h)
{
    handler() = std::move(h);
}

void Set_User_Prompt_Observer(User_Prompt_Observer o)
{
    observer() = std::move(o);
}

} // namespace Quillon
