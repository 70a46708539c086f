#include "tests/support/WindowFixture.h"

#include "db/forms/DatabasePath.h"

WindowWorkspace::WindowWorkspace() : WindowWorkspace(TestDatabase::Layout())
{}

WindowWorkspace::WindowWorkspace(const TestDatabase::Layout &layout)
    : db(layout), m_pathLabel(db.path())
{
    publishDatabasePathLabel(&m_pathLabel);
}

WindowWorkspace::~WindowWorkspace()
{
    publishDatabasePathLabel(nullptr);
}
