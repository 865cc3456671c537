#pragma once

#include <QString>

// Standard output of the commands, every write checked: a full disk or a failing device ends
// the command with an error instead of a short file and status 0.
namespace Output
{
// The reader of a pipe went away: the command ends without a message.
struct Closed {
};

// Writes the text as UTF-8. Throws TessaroError when it cannot be written, Closed on a closed pipe.
void write(const QString& text);
// Writes the text and a line break.
void line(const QString& text);
// Flushes what is still buffered, with the same errors; run once the command has written all.
void finish();
} // namespace Output
