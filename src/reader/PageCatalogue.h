#pragma once

#include <QString>

// Where a page number leads: its document, its lecture movie and the toolbar
// frame it wants. Numbers without a row of their own show the default page.
struct PageEntry {
    QString document;   // relative to the current directory
    QString movie;      // movie name for the lecture panel; empty: keep the current one
    int toolbarFrame;   // -1: leave the toolbar on its frame
};

PageEntry pageEntry(int page);
