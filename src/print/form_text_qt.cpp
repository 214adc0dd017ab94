#include "print/form_text_qt.h"

#include <QLineEdit>
#include <QTextDocument>

#include "text/cp1250.h"
#include "text/error.h"

namespace print {

QString plainHint(const char* utf8) { return Qt::convertFromPlainText(QString::fromUtf8(utf8)); }

std::string fieldText(const QLineEdit& edit, std::string_view fieldName) {
  try {
    return text::toCp1250(edit.text().toStdString());
  } catch (const mincar::Error& e) {
    throw mincar::Error(std::string(fieldName) + ": " + e.what());
  }
}

void setFieldText(QLineEdit& edit, std::string_view cp1250) {
  edit.setText(QString::fromStdString(text::toUtf8(cp1250)));
}

}  // namespace print
