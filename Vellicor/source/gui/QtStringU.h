#pragma once
// The data side speaks std::string (UTF-8), the windows QString: the one conversion both ways.
#include <QString>
#include <string>

inline QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}

inline std::string ToStd(const QString& text) {
  return text.toStdString();
}
