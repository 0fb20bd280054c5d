#pragma once
#include <QByteArray>
#include <QSettings>

namespace platform {

// The text of a settings file: "[section]" lines, then "name=value" lines ("[General]" holds the
// key's own values). Every value is a text, read exactly as written; nothing in the file is ever
// turned into binary data, so a damaged or hand-made file cannot make the reader allocate or
// build anything but texts. The format is the one the files have always had: names escape
// anything but letters, digits, '_', '-' and '.' as %XX; values are quoted when they hold ';',
// ',' or '=' or begin or end with a blank, with backslash escapes for quotes, backslashes and
// control characters, and a leading '@' doubled. Lines starting with ';' or '#' are comments.
QSettings::SettingsMap ParseRegistryFile(const QByteArray &text);
QByteArray ComposeRegistryFile(const QSettings::SettingsMap &values);

// The QSettings format that reads and writes files as above (registered once).
QSettings::Format RegistryFileFormat();

} // namespace platform
