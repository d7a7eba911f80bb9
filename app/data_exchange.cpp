#include "app/data_exchange.h"

#include <QLabel>
#include <QLineEdit>

#include "app/dialog.h"

namespace app {

void DDX_Text(CDataExchange& dx, int id, std::string& value) {
  dx.m_idLastControl = id;
  QWidget* control = dx.m_pDlgWnd.GetDlgItem(id);
  auto* edit = dynamic_cast<QLineEdit*>(control);
  auto* label = dynamic_cast<QLabel*>(control);
  if (dx.m_bSaveAndValidate) {
    if (edit != nullptr) {
      value = edit->text().toStdString();
    } else if (label != nullptr) {
      value = label->text().toStdString();
    }
    return;
  }
  const QString text = QString::fromStdString(value);
  if (edit != nullptr) {
    edit->setText(text);
  } else if (label != nullptr) {
    label->setText(text);
  }
}

void DDV_MaxChars(CDataExchange& dx, const std::string& value, int count) {
  if (dx.m_bSaveAndValidate) {
    if (QString::fromStdString(value).size() > count) {
      dx.Fail();
    }
    return;
  }
  if (auto* edit = dynamic_cast<QLineEdit*>(
          dx.m_pDlgWnd.GetDlgItem(dx.m_idLastControl))) {
    edit->setMaxLength(count);
  }
}

}  // namespace app
