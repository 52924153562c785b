# Runs at install time: the desktop entry starts the program of this very install by absolute
# path, wherever the prefix is (a bundle in the home folder is not on PATH).
set(bundle "${CMAKE_INSTALL_PREFIX}")
set(quoted "${bundle}/bin/quorvella")
# Inside a quoted Exec argument ", `, $ and \ take a backslash, which the string type doubles;
# a % is doubled so that it is no field code.
string(REPLACE "\\" "\\\\\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\\\"" quoted "${quoted}")
string(REPLACE "`" "\\\\`" quoted "${quoted}")
string(REPLACE "$" "\\\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
set(QUORVELLA_EXEC "\"${quoted}\"")
set(target "$ENV{DESTDIR}${bundle}/share/applications/com.quorvella.desktop.Quorvella.desktop")
configure_file("${QUORVELLA_DESKTOP_TEMPLATE}" "${target}" @ONLY)
message(STATUS "Installing: ${target}")
