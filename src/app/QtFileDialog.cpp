#include "app/QtFileDialog.h"

namespace ql {

void QtFileDialog::ShowOpen() {}
void QtFileDialog::ShowSave() {}

} // namespace ql
