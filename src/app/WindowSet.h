#pragma once

// The window set: creates the nine windows once, in their fixed order, and
// answers what they ask of each other (ui::Navigator). The only module that
// knows every window; each window's global name (frmMain, frmLogin, ...) is
// declared in that window's own header.

// Creates the nine windows; none is shown.
void createWindowSet();
// Destroys them in reverse order (at exit, and between tests).
void destroyWindowSet();
