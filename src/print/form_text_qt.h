#pragma once
#include <string>
#include <string_view>

#include <QString>

class QLineEdit;

// The texts of the printing dialogs' controls: UTF-8 literals and
// Windows-1250 data on one side, Qt's strings on the other.
namespace print {

// A hint shown as typed: the voucher's hints hold "<br>" and "<b>", which a
// tool tip would otherwise take for markup.
QString plainHint(const char* utf8);

// An edit's text as Windows-1250. A character that the code page lacks is
// refused with mincar::Error naming the field ("Edit8: Character U+0416
// cannot be stored in Windows-1250").
std::string fieldText(const QLineEdit& edit, std::string_view fieldName);
void setFieldText(QLineEdit& edit, std::string_view cp1250);

}  // namespace print
