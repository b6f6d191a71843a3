#pragma once

// The window set: creates the nine windows, and answers what they ask of
// each other (ui::Navigator). The only module that
// knows every window; each window's global name (frmMain, frmLogin, ...) is
// declared in that window's own header.

// Creates the reader window and the sign-in screen, which the first showing
// needs; every other window is created the first time it is shown. None is
// shown. The program starts so.
void createStartWindows();
// Creates the nine windows at once, in their fixed order; none is shown.
void createWindowSet();
// Destroys those created, in reverse order (at exit, and between tests).
void destroyWindowSet();
