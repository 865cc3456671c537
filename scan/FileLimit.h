#pragma once

// A walk keeps one descriptor open per folder level; a deep disc must not run out of them.
// Raises the soft limit of open files to the hard limit, once per process.
void raiseOpenFileLimit();
