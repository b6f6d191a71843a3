#pragma once

#include <QString>
#include <QStringList>

namespace files {

// An atomic save writes a temporary file beside its target and renames it
// over the target. A save stopped in between (a kill, a power cut, a share
// that went away) leaves that file behind: the target's name, a dot and six
// letters or digits ("dect.chh.Ab3xYz"). Nothing else is ever taken for one;
// a name of letters of one case or of digits alone is taken for a person's
// copy (dect.chh.backup).

// True when fileName (a bare name) is such a leftover of targetName.
bool isSaveLeftoverName(const QString &targetName, const QString &fileName);

// The leftovers of target that lie beside it now (regular files only,
// symbolic links never), as absolute paths.
QStringList saveLeftovers(const QString &target);

// Removes the leftovers of target last written more than olderThanSecs
// seconds ago (by the local clock; a day leaves room for any clock skew of a
// file server). Returns how many went. Run at start-up: a save of another
// copy may be under way, so fresh files stay.
int removeOldSaveLeftovers(const QString &target, qint64 olderThanSecs = 24 * 60 * 60);

// After a failed save: removes the leftovers that were not there before it
// (before is what saveLeftovers() gave just ahead of the save). Returns how
// many went.
int removeNewSaveLeftovers(const QString &target, const QStringList &before);

} // namespace files
