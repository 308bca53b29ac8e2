// Qt's own French texts, so that the standard dialogs (file, colour, page
// set-up) speak the language of the program's windows. The program's message
// boxes name their buttons themselves and keep their English texts.
#pragma once

class QCoreApplication;

namespace kaptivus::dialogs {

// Installs Qt's French translation from Qt's translations folder; false when
// it is not there (the dialogs then stay in English).
bool InstallQtTranslation(QCoreApplication& app);

} // namespace kaptivus::dialogs
