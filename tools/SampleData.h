#pragma once

class SqliteDatabase;

// Fills an empty monitoring database with a realistic sample: eight disciplines, six
// criteria, five ICT tools and a few hundred values entered over two school years.
// The same sample every time.
void fillSampleData(SqliteDatabase &db);
