#pragma once

#include <QString>

// How the first letter of the system's text is written: as the system
// writes it ("No space left on device"), or lower-case, for a text that
// follows a comma or a colon inside a message of ours.
enum class SystemTextCase {
    AsWritten,
    LowerFirst,
};

// The system's text for the error number ERROR, in the user's language.
// Safe to call from any thread, unlike strerror.
QString systemErrorText(int error, SystemTextCase textCase = SystemTextCase::AsWritten);
