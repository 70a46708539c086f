#pragma once

#include <QString>
#include <exception>
#include <utility>

class QWidget;

// The text of an error box: the message with a full stop appended when its last
// character sorts after the full stop (so "файл" gets one, "файл." and "(1)" do not).
QString errorBoxText(const QString &message);

// Shows the message in the error box through the dialogs interface.
void showError(QWidget *parent, const QString &message);

// Runs one event handler; an exception ends the handler where it arose and its message is
// shown, the window staying open. Nothing ever crosses the event loop.
template <typename Handler> void guard(QWidget *parent, Handler &&handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &e) {
        showError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        showError(parent, QStringLiteral("Неизвестная ошибка"));
    }
}

// A slot for connect() that runs a member handler inside the guard.
template <typename Window> auto guarded(Window *window, void (Window::*handler)())
{
    return [window, handler] { guard(window, [&] { (window->*handler)(); }); };
}
