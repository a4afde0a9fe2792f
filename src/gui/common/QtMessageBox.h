#pragma once

// Installs the message-box handler that shows real QMessageBox dialogs.
void installQtMessageBoxes();
