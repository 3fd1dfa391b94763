#pragma once

#include <QByteArray>
#include <QString>
#include <fuzzer/FuzzedDataProvider.h>

namespace qby::fuzz {

// Bytes as text: UTF-8 (invalid sequences become U+FFFD) or, to reach every UTF-16 code unit
// including lone surrogates, raw little-endian UTF-16.
QString textOf(const std::string& bytes, bool utf16);

// The next text of the input (libFuzzer's length-delimited string) and the rest of it.
QString nextText(FuzzedDataProvider& input, bool utf16, size_t maxBytes);
QString remainingText(FuzzedDataProvider& input, bool utf16);

// The text with every code unit outside printable ASCII written as \uXXXX, for reports.
QString visible(const QString& text);

// Stops the process with the broken property and the values involved, so that libFuzzer keeps
// the input as a crash.
void require(bool holds, const char* property, const QString& detail = QString());

}  // namespace qby::fuzz
