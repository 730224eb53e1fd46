// The workbench window's hosted actions connected to the hosted dialogs and the build work:
// each dialog runs as one change of the window's document (one undo step when the project
// changed), each build job holds the document's library work while it runs, and the project
// tree learns the panel model from the panel setup the project keeps.
#pragma once

namespace kestra::workbench {

class MainWindow;

// Connects the window's hosted actions and keeps them enabled while the window has a project
// its driver serves (the keyboard editor and the card's contents need no project).
void ConnectHostedActions(MainWindow& window);

}  // namespace kestra::workbench
