// Conversion between the program's GBK texts and Qt's strings, at the widget boundary only.
// GB18030 is used both ways: it agrees with GBK on every GBK character and holds every other one,
// so nothing typed is lost; bytes that are not valid GBK are shown as U+FFFD but never rewritten.
#pragma once

#include <QString>

#include "platform/text.h"

namespace quorvel {

QString textToQString(const Text& text);
Text qStringToText(const QString& string);
// The text in the locale's encoding (UTF-8 here), for the terminal.
std::string textToUtf8(const Text& text);

}  // namespace quorvel
