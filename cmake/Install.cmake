# Installation and the Debian package.
#
#   bin/tarvel                       the launcher (packaging/tarvel.in): makes each
#                                    user's working copy of the course and starts
#                                    the program in it
#   libexec/tarvel/tarvel            the program; kept off PATH because started
#                                    by hand it would take any folder for a course
#   bin/tarvel-teacher               the teacher's program: reads the learners'
#                                    reports; needs no working copy
#   bin/tarvel-lab                   prepares a computer lab's class database,
#                                    imports and exports learners
#   share/tarvel/course              the shipped course, read-only, with a stamp
#                                    that tells the launcher when it has changed
#   share/applications, share/metainfo, share/icons/hicolor
#                                    the desktop entry, AppStream data and icon
#
# The icons are drawn in packaging/icons/org.tarvel.Tarvel.svg; the PNGs are
# rendered from it and committed:
#   rsvg-convert -w N -h N org.tarvel.Tarvel.svg -o NxN/org.tarvel.Tarvel.png

include(GNUInstallDirs)

set(TARVEL_APP_ID org.tarvel.Tarvel)
set(TARVEL_ICON_SIZES 16 32 48 64 128 256)
set(_tarvel_course_dest ${CMAKE_INSTALL_DATADIR}/tarvel/course)
set(_tarvel_program_dest ${CMAKE_INSTALL_LIBEXECDIR}/tarvel)
set(_tarvel_packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

install(TARGETS tarvel RUNTIME DESTINATION ${_tarvel_program_dest})
install(TARGETS tarvel-teacher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tarvel-lab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The course as the program reads it; its authoring sources and notes stay out.
set(_tarvel_course ${CMAKE_CURRENT_SOURCE_DIR}/course)
install(FILES ${_tarvel_course}/dect.chh ${_tarvel_course}/questions.qzt ${_tarvel_course}/ansvers.qzt
              ${_tarvel_course}/questions.sec
        DESTINATION ${_tarvel_course_dest})
install(DIRECTORY ${_tarvel_course}/lections ${_tarvel_course}/pictures
        DESTINATION ${_tarvel_course_dest}
        FILES_MATCHING PATTERN "*.rvf" PATTERN "*.qml" PATTERN "qmldir" PATTERN "*.png" PATTERN "*.jpg")

# The stamp is a digest of the installed course, so that any change to any
# file, without a change of version, reaches the users' copies.
set(TARVEL_COURSE_STAMP .course-version)
install(CODE "
  set(_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${_tarvel_course_dest}\")
  file(GLOB_RECURSE _files RELATIVE \"\${_dir}\" \"\${_dir}/*\")
  list(REMOVE_ITEM _files ${TARVEL_COURSE_STAMP})
  list(SORT _files)
  set(_all \"\")
  foreach(_f IN LISTS _files)
    file(SHA256 \"\${_dir}/\${_f}\" _sum)
    string(APPEND _all \"\${_f} \${_sum}\\n\")
  endforeach()
  string(SHA256 _digest \"\${_all}\")
  message(STATUS \"Stamping: \${_dir}/${TARVEL_COURSE_STAMP}\")
  file(WRITE \"\${_dir}/${TARVEL_COURSE_STAMP}\" \"${PROJECT_VERSION} \${_digest}\\n\")
")

# The launcher finds the tree from its own place, so one script serves any
# prefix, the package's staging folder included.
file(RELATIVE_PATH TARVEL_BIN_TO_PREFIX /prefix/${CMAKE_INSTALL_BINDIR} /prefix)
set(TARVEL_COURSE_DIR ${_tarvel_course_dest})
set(TARVEL_PROGRAM ${_tarvel_program_dest}/tarvel)
set(TARVEL_STAMP ${TARVEL_COURSE_STAMP})
configure_file(${_tarvel_packaging}/tarvel.in ${CMAKE_CURRENT_BINARY_DIR}/packaging/tarvel @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/packaging/tarvel DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${_tarvel_packaging}/${TARVEL_APP_ID}.desktop ${_tarvel_packaging}/${TARVEL_APP_ID}.Teacher.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_tarvel_packaging}/${TARVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_tarvel_packaging}/icons/${TARVEL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_size IN LISTS TARVEL_ICON_SIZES)
  install(FILES ${_tarvel_packaging}/icons/${_size}x${_size}/${TARVEL_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()

# The Debian package (scripts/package builds it).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME tarvel)
set(CPACK_PACKAGE_VENDOR "The Tarvel developers")
set(CPACK_PACKAGE_CONTACT "The Tarvel developers <team@tarvel.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "electronic textbook of fundamentals of computer science")
# Line breaks stay in the package's long description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tarvel (Тарвел) is a desktop electronic textbook for learners of the course"
  "«Основы информатики» (fundamentals of computer science, in Russian) and"
  "for the teachers who run it. A learner reads eight lectures with"
  "animations, sets bookmarks, takes tests and saves a report for the"
  "teacher. Each user's learner records are kept in the user's data folder"
  "across upgrades. The teacher's program, tarvel-teacher, opens the reports"
  "of a class as one table with a chart, and exports it to CSV.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to shlibdeps: the QML modules the movies
# import and the fonts the pages are set in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, \
qml6-module-qtquick-templates, qml6-module-qtquick-window, qml6-module-qtqml-workerscript, \
fonts-liberation2")
# Qt's translations put the file and print dialogs into Russian; Qt SQL's
# PostgreSQL driver serves a seat in a computer lab.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
