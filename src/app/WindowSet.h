#pragma once

class TfrmMain;
class TfrmLogin;
class TfrmTest;
class TfrmIntro;
class TfrmAbout;
class TfrmStat;
class TfrmFont;
class TfrmBookmark;
class TfrmOtcher;

// The nine windows, reachable program-wide: they call each other directly.
extern TfrmMain *frmMain;
extern TfrmLogin *frmLogin;
extern TfrmTest *frmTest;
extern TfrmIntro *frmIntro;
extern TfrmAbout *frmAbout;
extern TfrmStat *frmStat;
extern TfrmFont *frmFont;
extern TfrmBookmark *frmBookmark;
extern TfrmOtcher *frmOtcher;

// Creates the nine windows once, in their fixed order; none is shown.
void createWindowSet();
// Destroys them in reverse order (at exit, and between tests).
void destroyWindowSet();
