#pragma once

class QApplication;

// What the program sets up before its dialog opens: the program's icon on
// every window, Qt's own texts in Bulgarian, and no settings stored.
void PrepareApplication(QApplication& application);
