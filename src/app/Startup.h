#pragma once

// The program's start-up, shared by main() and the start-up benchmark.

// Names the application and picks the graphics back end; call right after
// the QApplication exists.
void setUpApplication();
// Loads Qt's own Russian texts (standard buttons, file and colour dialogs);
// false when the translation is not installed. Done by setUpApplication.
bool loadQtTranslations();
// Creates the windows the first showing needs (the others come on first
// use) and queues the reader window's first showing,
// which runs once the event loop starts.
void startWindowSet();
// True when this seat keeps its learners in the class database: the course
// folder holds lab.ini or TARVEL_LAB names a connection. The seat then
// writes nothing into the course folder.
bool labModeWanted();
