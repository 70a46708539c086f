#include "ui/ErrorGuard.h"

#include "ui/Dialogs.h"

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        return message + u'.';
    return message;
}

void showError(QWidget *parent, const QString &message)
{
    dialogs().error(parent, errorBoxText(message));
}
