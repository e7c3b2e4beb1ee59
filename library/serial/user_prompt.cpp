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

void Set_User_Prompt_Handler(User_Prompt_Handler h)
{
    handler() = std::move(h);
}

void Set_User_Prompt_Observer(User_Prompt_Observer o)
{
    observer() = std::move(o);
}

} // namespace Quillon
