#pragma once

// The program's start-up, shared by main() and the start-up benchmark.

// Names the application and picks the graphics back end; call right after
// the QApplication exists.
void setUpApplication();
// Creates the window set and queues the reader window's first showing,
// which runs once the event loop starts.
void startWindowSet();
