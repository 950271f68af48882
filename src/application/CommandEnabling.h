#pragma once

// Which commands the idle rule enables, from the two facts it looks at.
struct CommandEnabling {
    bool selectionCommands = false; // Remove, Send message
    bool listCommands = false;      // Clear All, Select/Deselect All, Invert, Ping, Save, Get system time

    static CommandEnabling compute(bool rowSelected, int rowCount);
    bool operator==(const CommandEnabling &) const = default;
};
