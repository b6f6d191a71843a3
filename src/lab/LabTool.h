#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <QTextStream>

namespace lab {

// tarvel-lab: prepares the class database and moves learners in and out.
//
//   tarvel-lab [--course DIR] [--class NAME] init
//   tarvel-lab [--course DIR] [--class NAME] import DECT.CHH
//   tarvel-lab [--course DIR] [--class NAME] export FILE
//
// The database is the one a seat of the course folder DIR (the current
// folder by default) would use: TARVEL_LAB, else DIR/lab.ini. Returns the
// exit code: 0 done, 1 failed, 2 wrong arguments.
int runLabTool(const QStringList &arguments, QTextStream &out, QTextStream &err,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace lab
