#pragma once
#include <QByteArray>
#include <QSettings>

namespace platform {

// The text of a settings file: "[section]" lines, then "name=value" lines ("[General]" holds the
// key's own values). Every value is a text, read exactly as written; nothing in the file is ever
// turned into binary data, so a damaged or hand-made file cannot make the reader allocate or
// build anything but texts. The file is for people too: a value is the text after the first '='
// as typed (a backslash or a quote in it is no escape; quotes around the whole value are taken
// away, and written where blanks at its ends must be kept); names are written as typed when they
// hold letters, digits, '_', '-', '.' and inner blanks, anything else as %XX, the form older files
// also have for blanks. A line that is not UTF-8 keeps its characters (read in the Windows code
// page, as Pelmora's ini reads it; the file is written in UTF-8).
// Lines starting with ';' or '#' are comments; a file composed from the values holds none.
QSettings::SettingsMap ParseRegistryFile(const QByteArray &text);
QByteArray ComposeRegistryFile(const QSettings::SettingsMap &values);

// The QSettings format that reads and writes files as above (registered once).
QSettings::Format RegistryFileFormat();

} // namespace platform
