#include "editor/EditForm.h"
// STUB: a placeholder window until the editor is built.
TEditForm::TEditForm(ConfigurationOwner& owner, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), owner_(owner), prompts_(prompts) {
  setObjectName("EditForm");
  setWindowTitle("EditForm");
  resize(702, 403);
}
void TEditForm::ShowEditor() {
  if (isVisible()) {
    raise();
    activateWindow();
    return;
  }
  show();
}
