#pragma once

#include "core/Clock.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"

#include <QLabel>
#include <QPointer>

// What a window under test works on: a real temporary database whose path is published as
// the main window publishes it, recording dialogs and a fixed "now". All of it is withdrawn
// when the fixture goes, also when a failed check leaves the test function early.
class WindowWorkspace
{
public:
    WindowWorkspace();
    explicit WindowWorkspace(const TestDatabase::Layout &layout);
    ~WindowWorkspace();
    WindowWorkspace(const WindowWorkspace &) = delete;
    WindowWorkspace &operator=(const WindowWorkspace &) = delete;

    // What the windows read as the database path: the database's, or none.
    void publishPath(const QString &path) { m_pathLabel.setText(path); }

    TestDatabase db;
    FakeDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 5), QTime(10, 15))};

private:
    QLabel m_pathLabel;
};

// One window of the type, opened over a workspace; it goes before the workspace does.
template <typename Window> class WindowFixture : public WindowWorkspace
{
public:
    using WindowWorkspace::WindowWorkspace;
    // The window may have deleted itself on closing, hence the guarded pointer.
    ~WindowFixture() { delete window.data(); }

    // Makes and shows the window, as the main window's menu does; once per fixture.
    Window *open()
    {
        Q_ASSERT(!window);
        window = new Window;
        window->show();
        return window;
    }

    QPointer<Window> window;
};
