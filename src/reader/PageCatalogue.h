#pragma once

#include <QString>

// Where a page number leads: its document, its lecture movie and the toolbar
// frame it wants. Numbers without a row of their own show the default page.
// The page numbers the program passes itself; every other number comes from a
// link, a bookmark or a history record.
namespace pages {
constexpr int kInfo = 0;          // how to work with the textbook
constexpr int kFirstLecture = 1;  // lectures are pages 1 to 8
constexpr int kLastLecture = 8;
constexpr int kContents = 9;      // the contents document
constexpr int kDictionary = 11;
constexpr int kIntroduction = 18;
constexpr int kHelp = 111;        // has no row: shows the default page
// The toolbar movie's frame for the lectures and for the information page.
constexpr int kToolbarFrameLecture = 0;
constexpr int kToolbarFrameInfo = 4;

struct PageEntry {
    QString document;   // relative to the current directory
    QString movie;      // movie name for the lecture panel; empty: keep the current one
    int toolbarFrame;   // -1: leave the toolbar on its frame
};

PageEntry pageEntry(int page);

} // namespace pages
