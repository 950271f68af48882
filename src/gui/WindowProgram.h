#pragma once

class QCommandLineParser;

// The window front end as the program runs it: the application object, the
// system's services, the main window and the event loop. PARSER holds the
// program's options (the command line's among them, so that they are known
// here too); its one positional argument is a session file to open. Returns
// the exit status.
int runWindow(int &argc, char **argv, QCommandLineParser &parser);
